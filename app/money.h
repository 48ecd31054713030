#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

namespace kalinda {

// Money is whole rupiah in a 64-bit integer, never a floating-point number.
using Rupiah = qint64;

// "#,##0" under the given regional settings: "1.234.567" with Indonesian settings.
QString formatRupiah(Rupiah amount, const QLocale& locale = QLocale());

// Reads a shown amount back under the regional settings: group separators are accepted, a
// fraction is rounded half away from zero to whole rupiah. nullopt for text that is not a
// number (empty text included).
std::optional<Rupiah> parseRupiah(const QString& text, const QLocale& locale = QLocale());

// A money value as the server returns it (whole number, exact decimal text or floating
// point), rounded to whole rupiah; 0 for NULL or anything else.
Rupiah toRupiah(const QVariant& value);

// Amounts in SQL text: plain digits, no grouping.
inline QString plainDigits(Rupiah amount) {
    return QString::number(amount);
}

} // namespace kalinda
