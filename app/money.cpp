#include "money.h"

#include <cmath>
#include <limits>

namespace kalinda {

QString formatRupiah(Rupiah amount, const QLocale& locale) {
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(amount);
}

std::optional<Rupiah> parseRupiah(const QString& text, const QLocale& locale) {
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    const QString group = locale.groupSeparator();
    const QString decimal = locale.decimalPoint();
    const QString minus = locale.negativeSign();

    qsizetype i = 0;
    bool negative = false;
    if (s.startsWith(minus) || s.startsWith(QLatin1Char('-'))) {
        negative = true;
        i = s.startsWith(minus) ? minus.size() : 1;
    } else if (s.startsWith(QLatin1Char('+'))) {
        i = 1;
    }

    constexpr Rupiah kMax = std::numeric_limits<Rupiah>::max() / 10 - 10;
    Rupiah whole = 0;
    int digits = 0;
    bool lastWasDigit = false;
    for (; i < s.size(); ++i) {
        const QChar c = s.at(i);
        // ASCII only: other scripts' digits are no amount the kiosk writes or takes.
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (whole > kMax)
                return std::nullopt;
            whole = whole * 10 + c.digitValue();
            ++digits;
            lastWasDigit = true;
        } else if (s.mid(i, group.size()) == group && lastWasDigit) {
            // A separator must stand between digits.
            i += group.size() - 1;
            lastWasDigit = false;
        } else {
            break;
        }
    }
    if (digits == 0 || !lastWasDigit)
        return std::nullopt;

    bool roundUp = false;
    if (i < s.size()) {
        if (s.mid(i, decimal.size()) != decimal)
            return std::nullopt;
        i += decimal.size();
        if (i >= s.size())
            return std::nullopt;
        const qsizetype fractionStart = i;
        for (; i < s.size(); ++i) {
            if (s.at(i) < QLatin1Char('0') || s.at(i) > QLatin1Char('9'))
                return std::nullopt;
        }
        roundUp = s.at(fractionStart).digitValue() >= 5;
    }
    const Rupiah value = whole + (roundUp ? 1 : 0);
    return negative ? -value : value;
}

Rupiah toRupiah(const QVariant& value) {
    if (value.isNull())
        return 0;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
        return value.toLongLong();
    case QMetaType::Double:
        return std::llround(value.toDouble());
    default:
        // Exact decimals arrive as text with "." as the decimal point.
        return parseRupiah(value.toString(), QLocale::c()).value_or(0);
    }
}

} // namespace kalinda
