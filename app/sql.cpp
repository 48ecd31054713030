#include "sql.h"

namespace kalinda {

Sql& Sql::operator<<(SqlText fixed) {
    parts_.push_back({Kind::Fixed, QString::fromUtf8(fixed.text())});
    return *this;
}

Sql& Sql::operator<<(const SqlEscaped& value) {
    parts_.push_back({Kind::Escaped, value.text});
    return *this;
}

Sql& Sql::operator<<(long long number) {
    parts_.push_back({Kind::Number, QString::number(number)});
    return *this;
}

Sql& Sql::operator<<(const Sql& other) {
    parts_.insert(parts_.end(), other.parts_.begin(), other.parts_.end());
    return *this;
}

Sql Sql::fromParts(std::vector<Part> parts) {
    Sql s;
    s.parts_ = std::move(parts);
    return s;
}

QString Sql::plainText() const {
    QString out;
    for (const auto& part : parts_)
        out += part.text;
    return out;
}

} // namespace kalinda
