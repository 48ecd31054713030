#include "db.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <mysql.h>
#include <vector>

namespace kalinda {
namespace {

DbError::Kind kindOf(unsigned code) {
    switch (code) {
    case 2002: // can't connect through socket
    case 2003: // can't connect to server
    case 2005: // unknown host
    case 2006: // server has gone away
    case 2013: // lost connection during query
    case 2055: // lost connection at reading
    case 1053: // server shutdown in progress
    case 1927: // connection was killed
    case 1047: // a Galera node out of the Primary component: gone for us, the statement not run
    case 1040: // too many connections
    case 1203: // the server's max_user_connections
    case 1226: // the account's MAX_USER_CONNECTIONS: its lingering sessions end, try later
        return DbError::Kind::Connection;
    case 1205: // lock wait timeout
    case 1213: // deadlock
        return DbError::Kind::Conflict;
    case 1062: // duplicate key
    case 1048: // column cannot be null
    case 1451:
    case 1452: // foreign keys
        return DbError::Kind::Constraint;
    default:
        return DbError::Kind::Rejected;
    }
}

std::mutex recorderMutex;
std::vector<StatementRecorder*> recorders;

void notifyRecorders(const QByteArray& text) {
    std::lock_guard lock(recorderMutex);
    if (recorders.empty())
        return;
    const QString statement = QString::fromUtf8(text);
    for (auto* recorder : recorders)
        recorder->record(statement);
}

} // namespace

DbError::DbError(Kind kind, unsigned code, const QString& message)
    : std::runtime_error(message.toStdString())
    , kind_(kind)
    , code_(code)
    , message_(message) {}

// ---------------------------------------------------------------- Connection

QByteArray Connection::escape(const QString& text) const {
    // Without a session there is no telling whether the server takes a backslash as an escape;
    // a guess either way lets a quote end the value.
    if (!connected_ || !handle_)
        throw DbError(DbError::Kind::Connection, 2006,
                      QStringLiteral("Koneksi ke server terputus"));
    const QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() * 2 + 1, Qt::Uninitialized);
    const unsigned long length = mysql_real_escape_string(
        handle_.get(), out.data(), utf8.constData(), static_cast<unsigned long>(utf8.size()));
    out.resize(static_cast<qsizetype>(length));
    return out;
}

QByteArray Connection::render(const Sql& statement) const {
    QByteArray out;
    for (const auto& part : statement.parts()) {
        if (part.kind == Sql::Kind::Escaped)
            out += escape(part.text);
        else
            out += part.text.toUtf8();
    }
    return out;
}

void Connection::fail() {
    const unsigned code = handle_ ? mysql_errno(handle_.get()) : 2006;
    const QString message = handle_                ? QString::fromUtf8(mysql_error(handle_.get()))
                            : lastError_.isEmpty() ? QStringLiteral("Tidak ada koneksi ke server")
                                                   : lastError_;
    lastError_ = message;
    const auto kind = kindOf(code);
    if (kind == DbError::Kind::Connection)
        connected_ = false;
    throw DbError(kind, code, message);
}

bool Connection::query(const QByteArray& text) {
    if (mysql_real_query(handle_.get(), text.constData(), static_cast<unsigned long>(text.size())))
        return false;
    drainResults();
    return true;
}

void Connection::send(const Sql& statement, Resend resend) {
    using Clock = std::chrono::steady_clock;
    if (inTransaction_)
        longestIdle_ = std::max(longestIdle_, Clock::now() - answered_);
    QByteArray text;
    const auto sent = [&] {
        const bool ok = !mysql_real_query(handle_.get(), text.constData(),
                                          static_cast<unsigned long>(text.size()));
        answered_ = Clock::now();
        return ok;
    };
    // A read may be asked on another server once this one is gone; a write never.
    const auto movedAway = [&] { return resend == Resend::Read && moveAway_ && moveAway_(); };
    const auto goneBeforeSending = [this] { return !connected_ || !handle_ || serverHungUp(); };
    if (goneBeforeSending()) {
        connected_ = false;
        // Inside a transaction the statements before this one are lost: never carry on silently
        // on a new connection.
        if (inTransaction_ || resend == Resend::Never)
            throw DbError(DbError::Kind::Connection, 2006,
                          QStringLiteral("Koneksi ke server terputus"));
        if (!reconnect() && !movedAway())
            throw DbError(DbError::Kind::Connection, 2006,
                          lastError_.isEmpty() ? QStringLiteral("Tidak ada koneksi ke server")
                                               : lastError_);
    }
    // Rendered only now, on the session that runs it.
    text = render(statement);
    notifyRecorders(text);
    const auto started = std::chrono::steady_clock::now();
    if (sent())
        return;
    const unsigned code = mysql_errno(handle_.get());
    const bool lost = kindOf(code) == DbError::Kind::Connection;
    const bool timedOut = std::chrono::steady_clock::now() - started >=
                          std::chrono::seconds(params_ ? params_->readTimeoutSeconds : 0);
    const bool again =
        lost && !inTransaction_ &&
        ((resend == Resend::Read && !timedOut) || (resend == Resend::IfNotSent && code == 2006));
    // After a read timeout this server would only make the user wait twice; another may answer.
    if (lost && !inTransaction_ && ((again && reconnect()) || movedAway())) {
        text = render(statement); // the new session may read quotes otherwise
        if (sent())
            return;
    }
    fail();
}

void Connection::drainResults() {
    // CALL leaves a status result (and any result sets) behind; all must be read before the
    // next statement, or the server answers "Commands out of sync".
    for (;;) {
        if (MYSQL_RES* extra = mysql_store_result(handle_.get()))
            mysql_free_result(extra);
        const int next = mysql_next_result(handle_.get());
        if (next == -1)
            return;
        if (next > 0)
            fail();
    }
}

void Connection::execute(const Sql& statement) {
    send(statement, Resend::IfNotSent);
    affectedRows_ = mysql_affected_rows(handle_.get());
    drainResults();
}

Recordset Connection::open(const Sql& statement) {
    send(statement, Resend::Read);
    MYSQL_RES* result = mysql_store_result(handle_.get());
    if (!result) {
        if (mysql_field_count(handle_.get()) != 0)
            fail();
        drainResults();
        throw DbError(DbError::Kind::Rejected, 0,
                      QStringLiteral("Perintah tidak menghasilkan data: %1")
                          .arg(statement.plainText().left(80)));
    }
    Recordset rs(result);
    drainResults();
    return rs;
}

void Connection::begin(Isolation isolation) {
    if (isolation == Isolation::ReadCommitted) {
        // For this transaction only: on a server whose binary log uses the STATEMENT format,
        // READ COMMITTED refuses every write, and the kiosk's other writes must keep working.
        send(Sql("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"), Resend::Read);
        drainResults();
        // On a new connection the level set above would be gone.
        send(Sql("START TRANSACTION"), Resend::Never);
    } else {
        send(Sql("START TRANSACTION"), Resend::Read);
    }
    drainResults();
    inTransaction_ = true;
}

void Connection::commit() {
    // Whatever happens, the transaction is over: stored, rolled back, or lost with the link.
    struct End {
        bool& open;
        ~End() { open = false; }
    } end{inTransaction_};
    execute(Sql("COMMIT"));
}

void Connection::rollback() {
    struct End {
        bool& open;
        ~End() { open = false; }
    } end{inTransaction_};
    if (!connected_)
        return;
    execute(Sql("ROLLBACK"));
}

// ---------------------------------------------------------------- Transaction

Transaction::Transaction(Connection& connection, Isolation isolation)
    : connection_(connection) {
    connection_.begin(isolation);
}

Transaction::~Transaction() {
    if (!open_)
        return;
    try {
        connection_.rollback();
    } catch (...) {
        // The server drops an unfinished transaction with the connection anyway.
    }
}

void Transaction::commit() {
    open_ = false;
    connection_.commit();
}

// ---------------------------------------------------------------- StatementRecorder

struct StatementRecorder::Impl {
    mutable std::mutex mutex;
    QStringList statements;
};

StatementRecorder::StatementRecorder()
    : impl_(std::make_unique<Impl>()) {
    std::lock_guard lock(recorderMutex);
    recorders.push_back(this);
}

StatementRecorder::~StatementRecorder() {
    std::lock_guard lock(recorderMutex);
    recorders.erase(std::remove(recorders.begin(), recorders.end(), this), recorders.end());
}

void StatementRecorder::record(const QString& statement) {
    std::lock_guard lock(impl_->mutex);
    impl_->statements.append(statement);
}

QStringList StatementRecorder::statements() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->statements;
}

void StatementRecorder::clear() {
    std::lock_guard lock(impl_->mutex);
    impl_->statements.clear();
}

} // namespace kalinda
