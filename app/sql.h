#pragma once

#include <QString>
#include <cstddef>
#include <vector>

namespace kalinda {

// A fixed piece of SQL. Only string literals convert to it, so typed text can never
// become statement text by accident: it has to go through esc().
class SqlText {
public:
    template <std::size_t N>
    consteval SqlText(const char (&text)[N])
        : text_(text) {} // NOLINT: implicit by design

    const char* text() const { return text_; }

private:
    const char* text_;
};

// A value that the connection escapes and places between the quotes of the statement.
struct SqlEscaped {
    QString text;
};

inline SqlEscaped esc(const QString& text) {
    return SqlEscaped{text};
}

// A statement made of fixed fragments, escaped values and whole numbers, in order.
class Sql {
public:
    enum class Kind { Fixed, Escaped, Number };
    struct Part {
        Kind kind;
        QString text;
    };

    Sql() = default;
    Sql(SqlText fixed) { *this << fixed; } // NOLINT: a literal is a statement

    Sql& operator<<(SqlText fixed);
    Sql& operator<<(const SqlEscaped& value);
    Sql& operator<<(long long number);
    Sql& operator<<(long number) { return *this << static_cast<long long>(number); }
    Sql& operator<<(int number) { return *this << static_cast<long long>(number); }
    Sql& operator<<(const Sql& other);

    const std::vector<Part>& parts() const { return parts_; }
    // A statement the kiosk wrote down itself and reads back (a posting kept on disk while its
    // outcome is in doubt), never typed text: its fixed parts become statement text.
    static Sql fromParts(std::vector<Part> parts);

    // The plain join of every part without escaping, as a reader would write it.
    QString plainText() const;

private:
    std::vector<Part> parts_;
};

} // namespace kalinda
