#include "db.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <mysql.h>
#include <poll.h>
#include <vector>

namespace kalinda {
namespace {

void libraryInit() {
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

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

// ---------------------------------------------------------------- Recordset

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

// ---------------------------------------------------------------- Connection

Connection::Connection()
    : handle_(nullptr, mysql_close) {
    libraryInit();
}

Connection::~Connection() = default;

void Connection::connect(const QString& host, const QString& user, const QString& password,
                         const QString& database, int port) {
    ConnectParams params;
    params.host = host;
    params.user = user;
    params.password = password;
    params.database = database;
    params.port = port;
    connect(params);
}

void Connection::connect(const ConnectParams& params) {
    params_ = params;
    inTransaction_ = false;
    connected_ = false;
    lastError_.clear();
    handle_.reset(mysql_init(nullptr));
    if (!handle_) {
        lastError_ = QStringLiteral("Out of memory");
        return;
    }
    const auto seconds = [](int value) { return static_cast<unsigned>(std::max(1, value)); };
    const unsigned connectTimeout = seconds(params.connectTimeoutSeconds);
    const unsigned readTimeout = seconds(params.readTimeoutSeconds);
    const unsigned writeTimeout = seconds(params.writeTimeoutSeconds);
    mysql_options(handle_.get(), MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(handle_.get(), MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    mysql_options(handle_.get(), MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
    mysql_options(handle_.get(), MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray lockWait = "SET SESSION innodb_lock_wait_timeout = " +
                                QByteArray::number(seconds(params.lockWaitTimeoutSeconds));
    mysql_options(handle_.get(), MYSQL_INIT_COMMAND, lockWait.constData());
    if (!params.unixSocket.isEmpty()) {
        const unsigned protocol = MYSQL_PROTOCOL_SOCKET;
        mysql_options(handle_.get(), MYSQL_OPT_PROTOCOL, &protocol);
    } else {
        const unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_options(handle_.get(), MYSQL_OPT_PROTOCOL, &protocol);
    }

    // Without a server name or a valid port the client library would fall back to its own
    // defaults and might reach a server the profile never named.
    if (params.unixSocket.isEmpty() &&
        (params.host.trimmed().isEmpty() || params.port <= 0 || params.port > 65535)) {
        lastError_ = QStringLiteral("Alamat atau port server tidak valid");
        handle_.reset();
        return;
    }

    const QByteArray host = params.host.toUtf8();
    const QByteArray user = params.user.toUtf8();
    const QByteArray password = params.password.toUtf8();
    const QByteArray database = params.database.toUtf8();
    const QByteArray socket = params.unixSocket.toUtf8();
    const unsigned port = params.unixSocket.isEmpty() ? static_cast<unsigned>(params.port) : 0;
    MYSQL* ok = mysql_real_connect(
        handle_.get(), params.unixSocket.isEmpty() ? host.constData() : "localhost",
        user.constData(), password.constData(), database.isEmpty() ? nullptr : database.constData(),
        port, socket.isEmpty() ? nullptr : socket.constData(), CLIENT_MULTI_RESULTS);
    if (!ok) {
        lastError_ = QString::fromUtf8(mysql_error(handle_.get()));
        handle_.reset();
        return;
    }
    connected_ = true;
    session_ = mysql_thread_id(handle_.get());
}

bool Connection::reconnect() {
    if (!params_)
        return false;
    const unsigned long lost = session_;
    const ConnectParams params = *params_;
    connect(params);
    if (!connected_)
        return false;
    ++reconnects_;
    // A session behind a broken network link lives on at the server with its locks until the
    // server notices; end it so it cannot hold the account rows. Nothing to do when it is gone.
    if (lost != 0)
        query("KILL " + QByteArray::number(static_cast<qulonglong>(lost)));
    return true;
}

QString Connection::server() const {
    if (!params_)
        return {};
    if (!params_->unixSocket.isEmpty())
        return params_->unixSocket;
    return params_->host + QLatin1Char(':') + QString::number(params_->port);
}

unsigned long Connection::sessionId() const {
    return connected_ ? session_ : 0;
}

bool Connection::serverHungUp() const {
    // Between statements the server sends nothing; anything to read, or the end of the stream,
    // means it has closed the session (idle timeout, KILL, restart). A local check, no round trip.
    const int fd = static_cast<int>(mysql_get_socket(handle_.get()));
    if (fd < 0)
        return true;
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0;
}

int Connection::status() const {
    return connected_ ? 0 : 1;
}

QByteArray Connection::escape(const QString& text) const {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() * 2 + 1, Qt::Uninitialized);
    unsigned long length = 0;
    if (connected_ && handle_) {
        length = mysql_real_escape_string(handle_.get(), out.data(), utf8.constData(),
                                          static_cast<unsigned long>(utf8.size()));
    } else {
        length = mysql_escape_string(out.data(), utf8.constData(),
                                     static_cast<unsigned long>(utf8.size()));
    }
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

void Connection::send(const QByteArray& text, Resend resend) {
    notifyRecorders(text);
    const auto goneBeforeSending = [this] { return !connected_ || !handle_ || serverHungUp(); };
    if (goneBeforeSending()) {
        connected_ = false;
        // Inside a transaction the statements before this one are lost: never carry on silently
        // on a new connection.
        if (inTransaction_ || resend == Resend::Never)
            throw DbError(DbError::Kind::Connection, 2006,
                          QStringLiteral("Koneksi ke server terputus"));
        if (!reconnect())
            throw DbError(DbError::Kind::Connection, 2006,
                          lastError_.isEmpty() ? QStringLiteral("Tidak ada koneksi ke server")
                                               : lastError_);
    }
    const auto started = std::chrono::steady_clock::now();
    if (!mysql_real_query(handle_.get(), text.constData(), static_cast<unsigned long>(text.size())))
        return;
    const unsigned code = mysql_errno(handle_.get());
    const bool lost = kindOf(code) == DbError::Kind::Connection;
    const bool timedOut = std::chrono::steady_clock::now() - started >=
                          std::chrono::seconds(params_ ? params_->readTimeoutSeconds : 0);
    const bool again =
        lost && !inTransaction_ &&
        ((resend == Resend::Read && !timedOut) || (resend == Resend::IfNotSent && code == 2006));
    if (again && reconnect() &&
        !mysql_real_query(handle_.get(), text.constData(), static_cast<unsigned long>(text.size())))
        return;
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
    send(render(statement), Resend::IfNotSent);
    affectedRows_ = mysql_affected_rows(handle_.get());
    drainResults();
}

Recordset Connection::open(const Sql& statement) {
    send(render(statement), Resend::Read);
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
        send("SET TRANSACTION ISOLATION LEVEL READ COMMITTED", Resend::Read);
        drainResults();
        // On a new connection the level set above would be gone.
        send("START TRANSACTION", Resend::Never);
    } else {
        send("START TRANSACTION", Resend::Read);
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
