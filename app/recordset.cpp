#include "db.h"

#include <mysql.h>
#include <utility>

namespace kalinda {

Recordset::Recordset(st_mysql_res* result)
    : result_(result) {
    const unsigned count = mysql_num_fields(result_);
    const MYSQL_FIELD* fields = mysql_fetch_fields(result_);
    columns_.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        columns_.push_back({QString::fromUtf8(fields[i].name), static_cast<int>(fields[i].type),
                            fields[i].charsetnr == 63, (fields[i].flags & UNSIGNED_FLAG) != 0});
    }
    moveFirst();
}

Recordset::Recordset(Recordset&& other) noexcept {
    *this = std::move(other);
}

Recordset& Recordset::operator=(Recordset&& other) noexcept {
    if (this != &other) {
        close();
        result_ = std::exchange(other.result_, nullptr);
        columns_ = std::move(other.columns_);
        row_ = std::move(other.row_);
        rowNull_ = std::move(other.rowNull_);
        eof_ = std::exchange(other.eof_, true);
    }
    return *this;
}

Recordset::~Recordset() {
    close();
}

bool Recordset::isOpen() const {
    return result_ != nullptr;
}

bool Recordset::eof() const {
    return eof_;
}

int Recordset::rowCount() const {
    return result_ ? static_cast<int>(mysql_num_rows(result_)) : 0;
}

void Recordset::moveFirst() {
    if (!result_)
        return;
    mysql_data_seek(result_, 0);
    fetchCurrent();
}

void Recordset::moveNext() {
    if (!result_ || eof_)
        return;
    fetchCurrent();
}

void Recordset::fetchCurrent() {
    MYSQL_ROW row = mysql_fetch_row(result_);
    row_.clear();
    rowNull_.clear();
    if (!row) {
        eof_ = true;
        return;
    }
    eof_ = false;
    const unsigned long* lengths = mysql_fetch_lengths(result_);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        rowNull_.push_back(row[i] == nullptr);
        row_.push_back(row[i] ? QByteArray(row[i], static_cast<qsizetype>(lengths[i]))
                              : QByteArray());
    }
}

void Recordset::close() {
    if (result_) {
        mysql_free_result(result_);
        result_ = nullptr;
    }
    row_.clear();
    rowNull_.clear();
    eof_ = true;
}

bool Recordset::hasColumn(const QString& column) const {
    return std::any_of(columns_.begin(), columns_.end(), [&](const Column& c) {
        return c.name.compare(column, Qt::CaseInsensitive) == 0;
    });
}

int Recordset::columnIndex(const QString& column) const {
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name.compare(column, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    throw DbError(DbError::Kind::Rejected, 0,
                  QStringLiteral("Kolom %1 tidak ada dalam hasil query").arg(column));
}

QVariant Recordset::value(const QString& column) const {
    return value(columnIndex(column));
}

QVariant Recordset::value(int index) const {
    if (index < 0 || index >= columnCount())
        throw DbError(DbError::Kind::Rejected, 0, QStringLiteral("Kolom %1 tidak ada").arg(index));
    if (eof_)
        throw DbError(DbError::Kind::Rejected, 0, QStringLiteral("Tidak ada baris aktif"));
    if (rowNull_[index])
        return {};
    const QByteArray& raw = row_[index];
    const Column& c = columns_[index];
    switch (c.type) {
    case MYSQL_TYPE_TINY:
    case MYSQL_TYPE_SHORT:
    case MYSQL_TYPE_LONG:
    case MYSQL_TYPE_INT24:
    case MYSQL_TYPE_LONGLONG:
    case MYSQL_TYPE_YEAR:
        if (c.isUnsigned)
            return QVariant(raw.toULongLong());
        return QVariant(raw.toLongLong());
    case MYSQL_TYPE_FLOAT:
    case MYSQL_TYPE_DOUBLE:
        return QVariant(raw.toDouble());
    case MYSQL_TYPE_DECIMAL:
    case MYSQL_TYPE_NEWDECIMAL:
        return QVariant(QString::fromLatin1(raw));
    default:
        if (c.binary && c.type != MYSQL_TYPE_DATE && c.type != MYSQL_TYPE_DATETIME &&
            c.type != MYSQL_TYPE_TIME && c.type != MYSQL_TYPE_TIMESTAMP)
            return QVariant(raw);
        return QVariant(QString::fromUtf8(raw));
    }
}

QString Recordset::text(const QString& column) const {
    const QVariant v = value(column);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

QByteArray Recordset::bytes(const QString& column) const {
    const int index = columnIndex(column);
    if (eof_)
        throw DbError(DbError::Kind::Rejected, 0, QStringLiteral("Tidak ada baris aktif"));
    return row_[index];
}

} // namespace kalinda
