#pragma once

#include "money.h"

#include <QLocale>
#include <QString>
#include <optional>

namespace kalinda {

// What a student types to name an account or to prove it is theirs: a card number, a PIN, a
// registration id. The school's accounts of its own have an empty card, PIN and registration
// id, and the server's collation takes blanks, invisible characters and other scripts' digits
// for what they resemble. So a key that is empty, or holds a blank, a control character or an
// invisible format character anywhere, names no account and is never sent; every other key is
// compared byte for byte.
bool isLookupKey(const QString& text);

// An account number as typed: ASCII digits only.
bool isAccountNumber(const QString& text);

// A typed amount: ASCII digits and the locale's group separator between them, nothing else
// (no sign, no fraction, no blanks). nullopt for anything else.
std::optional<Rupiah> parseTypedAmount(const QString& text, const QLocale& locale = QLocale());

} // namespace kalinda
