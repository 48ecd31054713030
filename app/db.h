#pragma once

#include "sql.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

struct st_mysql;
struct st_mysql_res;

namespace kalinda {

// A statement the server refused, or a connection that failed, with the server's own words.
class DbError : public std::runtime_error {
public:
    enum class Kind {
        Connection, // no connection, or it broke: worth trying again later
        Conflict,   // deadlock or lock wait timeout: worth trying again at once
        Constraint, // duplicate key or another integrity rule
        Rejected,   // any other refusal (syntax, privilege, signal from a routine)
    };

    DbError(Kind kind, unsigned code, const QString& message);

    Kind kind() const { return kind_; }
    unsigned code() const { return code_; }
    QString message() const { return message_; }
    bool isDuplicateKey() const { return code_ == 1062; }

private:
    Kind kind_;
    unsigned code_;
    QString message_;
};

// The result of a SELECT, fully fetched. Column lookup ignores case, as the kiosk's forms expect.
class Recordset {
public:
    Recordset() = default;
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    bool eof() const;
    int rowCount() const;
    void moveFirst();
    void moveNext();
    void close();
    bool isOpen() const;

    // The current row's value: NULL is a null QVariant, whole numbers are qlonglong, exact
    // decimals are their text, binary columns QByteArray, everything else QString.
    QVariant value(const QString& column) const;
    QVariant value(int index) const;
    int columnCount() const { return static_cast<int>(columns_.size()); }
    // The current row's value as text ("" for NULL).
    QString text(const QString& column) const;
    // The raw bytes of a column (a photo).
    QByteArray bytes(const QString& column) const;
    bool hasColumn(const QString& column) const;

private:
    friend class Connection;
    struct Column {
        QString name;
        int type;
        bool binary;
        bool isUnsigned;
    };
    explicit Recordset(st_mysql_res* result);
    int columnIndex(const QString& column) const;
    void fetchCurrent();

    st_mysql_res* result_ = nullptr;
    std::vector<Column> columns_;
    std::vector<QByteArray> row_;
    std::vector<bool> rowNull_;
    bool eof_ = true;
};

struct ConnectParams {
    QString host;
    QString user;
    QString password;
    QString database;
    int port = 0;
    QString unixSocket; // used instead of host/port when set
    int connectTimeoutSeconds = 3;
};

// One connection to the server. Every statement goes through execute() or open().
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the connection; success or failure is read with status().
    void connect(const QString& host, const QString& user, const QString& password,
                 const QString& database, int port);
    void connect(const ConnectParams& params);
    // The option value the start-up sets right after connecting. Results are always fetched
    // whole on the client, which is what that value asks for, so there is nothing to do.
    void setOption(int /*value*/) {}
    // 0 = connected, 1 = the connection failed (or was never made).
    int status() const;
    QString lastError() const { return lastError_; }

    void execute(const Sql& statement);
    Recordset open(const Sql& statement);
    quint64 affectedRows() const { return affectedRows_; }

    void begin();
    void commit();
    void rollback();

    // Escapes text for use between single quotes in this connection's character set.
    QByteArray escape(const QString& text) const;
    // The statement exactly as it is sent.
    QByteArray render(const Sql& statement) const;

private:
    void send(const QByteArray& text);
    void drainResults();
    [[noreturn]] void fail();

    std::unique_ptr<st_mysql, void (*)(st_mysql*)> handle_;
    bool connected_ = false;
    quint64 affectedRows_ = 0;
    QString lastError_;
};

// Rolls back in its destructor unless commit() ran. Never throws from there.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection& connection_;
    bool open_ = true;
};

// Records every statement sent on any connection while it lives (for tests and diagnostics).
class StatementRecorder {
public:
    StatementRecorder();
    ~StatementRecorder();
    StatementRecorder(const StatementRecorder&) = delete;
    StatementRecorder& operator=(const StatementRecorder&) = delete;

    QStringList statements() const;
    void clear();
    void record(const QString& statement);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace kalinda
