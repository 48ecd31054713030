#pragma once

#include "money.h"

#include <QLocale>
#include <QString>
#include <optional>

namespace kalinda {

// What a student types to name an account or to prove it is theirs: a card number, a PIN, a
// registration id. These are printable ASCII without blanks (0x21 to 0x7E), and nothing else is
// sent: the server compares them under the column's collation, which ignores case, and would
// also take blanks for the empty card, PIN and id of the school's own accounts, ignore control
// characters and take full-width digits and other look-alikes for ASCII ones. Anything else
// names no account.
bool isLookupKey(const QString& text);

// An account number as typed: ASCII digits only.
bool isAccountNumber(const QString& text);

// A typed amount: ASCII digits and the locale's group separator between them, nothing else
// (no sign, no fraction, no blanks). nullopt for anything else.
std::optional<Rupiah> parseTypedAmount(const QString& text, const QLocale& locale = QLocale());

} // namespace kalinda
