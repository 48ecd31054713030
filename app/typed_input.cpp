#include "typed_input.h"

#include <algorithm>

namespace kalinda {

namespace {

bool asciiDigits(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

} // namespace

bool isLookupKey(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x21 && c.unicode() <= 0x7E;
    });
}

bool isAccountNumber(const QString& text) {
    return asciiDigits(text);
}

std::optional<Rupiah> parseTypedAmount(const QString& text, const QLocale& locale) {
    QString digits = text;
    digits.remove(locale.groupSeparator());
    if (!asciiDigits(digits))
        return std::nullopt;
    // The separators must stand between digits, as parseRupiah reads them.
    return parseRupiah(text, locale);
}

} // namespace kalinda
