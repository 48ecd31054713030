#include "db.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <errmsg.h>
#include <mutex>
#include <mysql.h>
#include <poll.h>

// Opening the connection, and opening it again after the server or the network dropped it.

namespace kalinda {
namespace {

void libraryInit() {
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

QString field(MYSQL_ROW row, int i) {
    return row[i] ? QString::fromUtf8(row[i]) : QString();
}

} // namespace

bool SessionIdentity::sameServerAs(const SessionIdentity& other) const {
    // NOW() and Uptime tick in whole seconds, each on its own: one start may read one apart.
    return server == other.server && gcommUuid == other.gcommUuid &&
           std::abs(serverStart - other.serverStart) <= 1;
}

QString serverRefusal(const ServerState& server, const QString& firstCluster) {
    if (server.readOnly)
        return QStringLiteral("Server hanya dapat dibaca (read_only), tidak menerima transaksi");
    if (!server.galera) {
        if (firstCluster.isEmpty())
            return {};
        return QStringLiteral("Server bukan node cluster %1").arg(firstCluster);
    }
    if (server.status != QLatin1String("Primary"))
        return QStringLiteral("Node cluster tidak di komponen Primary (%1)").arg(server.status);
    if (server.state != QLatin1String("Synced"))
        return QStringLiteral("Node cluster belum sinkron (%1)").arg(server.state);
    if (!firstCluster.isEmpty() && server.cluster != firstCluster)
        return QStringLiteral("Node dari cluster lain (%1)").arg(server.cluster);
    return {};
}

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
    untrustedServer_ = false;
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
    QByteArray init = "SET SESSION innodb_lock_wait_timeout = " +
                      QByteArray::number(seconds(params.lockWaitTimeoutSeconds));
    if (params.idleTransactionTimeoutSeconds > 0)
        init += ", idle_transaction_timeout = " +
                QByteArray::number(params.idleTransactionTimeoutSeconds);
    mysql_options(handle_.get(), MYSQL_INIT_COMMAND, init.constData());
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
    if (params.tls.isSet() && !useTls(params.tls)) {
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
        if (params.tls.isSet())
            explainTlsFailure(params.tls);
        handle_.reset();
        return;
    }
    if (!readServer(params)) {
        handle_.reset();
        return;
    }
    connected_ = true;
}

bool Connection::useTls(const TlsFiles& tls) {
    // A file the kiosk cannot read would leave the library to go on without it; refuse instead.
    for (const QString& file : {tls.ca, tls.cert, tls.key}) {
        if (!file.isEmpty() && !QFileInfo(file).isReadable()) {
            untrustedServer_ = true;
            lastError_ = QStringLiteral("file %1 tidak dapat dibaca").arg(file);
            return false;
        }
    }
    const QByteArray ca = tls.ca.toLocal8Bit();
    const QByteArray cert = tls.cert.toLocal8Bit();
    const QByteArray key = tls.key.toLocal8Bit();
    mysql_options(handle_.get(), MYSQL_OPT_SSL_CA, ca.constData());
    if (!cert.isEmpty())
        mysql_options(handle_.get(), MYSQL_OPT_SSL_CERT, cert.constData());
    if (!key.isEmpty())
        mysql_options(handle_.get(), MYSQL_OPT_SSL_KEY, key.constData());
    // Debian 12's Connector/C neither insists on TLS nor checks the certificate's name unless
    // told: without these a server without TLS, or anyone on the way, gets the password.
    const my_bool on = 1;
    mysql_options(handle_.get(), MYSQL_OPT_SSL_ENFORCE, &on);
    mysql_options(handle_.get(), MYSQL_OPT_SSL_VERIFY_SERVER_CERT, &on);
    return true;
}

void Connection::explainTlsFailure(const TlsFiles& tls) {
    if (mysql_errno(handle_.get()) != CR_SSL_CONNECTION_ERROR)
        return;
    untrustedServer_ = true;
    // The greeting came before TLS: it says whether the server offered TLS at all.
    if (!(handle_->server_capabilities & CLIENT_SSL))
        lastError_ = QStringLiteral("server tidak memakai TLS");
    else
        lastError_ = QStringLiteral("sertifikat server tidak ditandatangani CA %1 untuk alamat "
                                    "%2 (%3)")
                         .arg(tls.ca, params_->host, lastError_);
}

bool Connection::readServer(const ConnectParams& params) {
    // One round trip at connecting, none later: who this session is, and what the server is.
    static const QByteArray query =
        "SELECT CONNECTION_ID(), (SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = "
        "CONNECTION_ID()), UNIX_TIMESTAMP(), @@GLOBAL.wsrep_on, @@GLOBAL.read_only, "
        "VARIABLE_NAME, VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS WHERE VARIABLE_NAME "
        "IN ('UPTIME', 'WSREP_GCOMM_UUID', 'WSREP_LOCAL_STATE_COMMENT', 'WSREP_CLUSTER_STATUS', "
        "'WSREP_CLUSTER_STATE_UUID', 'WSREP_LOCAL_INDEX', 'WSREP_INCOMING_ADDRESSES')";
    SessionIdentity identity;
    identity.id = mysql_thread_id(handle_.get());
    identity.server = server();
    ServerState state;
    bool read = false;
    MYSQL_RES* result = nullptr;
    if (!mysql_real_query(handle_.get(), query.constData(),
                          static_cast<unsigned long>(query.size())))
        result = mysql_store_result(handle_.get());
    if (result) {
        qint64 now = 0;
        qint64 uptime = 0;
        int localIndex = -1;
        QStringList incoming;
        while (MYSQL_ROW row = mysql_fetch_row(result)) {
            read = true;
            identity.host = field(row, 1);
            now = field(row, 2).toLongLong();
            state.galera = field(row, 3) == QLatin1String("1");
            state.readOnly = field(row, 4) == QLatin1String("1");
            const QString name = field(row, 5);
            const QString value = field(row, 6);
            if (name == QLatin1String("UPTIME"))
                uptime = value.toLongLong();
            else if (name == QLatin1String("WSREP_GCOMM_UUID"))
                identity.gcommUuid = value;
            else if (name == QLatin1String("WSREP_LOCAL_STATE_COMMENT"))
                state.state = value;
            else if (name == QLatin1String("WSREP_CLUSTER_STATUS"))
                state.status = value;
            else if (name == QLatin1String("WSREP_CLUSTER_STATE_UUID"))
                state.cluster = value;
            else if (name == QLatin1String("WSREP_LOCAL_INDEX"))
                localIndex = value.toInt();
            else if (name == QLatin1String("WSREP_INCOMING_ADDRESSES"))
                incoming = value.split(QLatin1Char(','));
        }
        // The list is in the order of the members, which wsrep_local_index counts.
        if (state.galera && localIndex >= 0 && localIndex < incoming.size())
            identity.incomingAddress = incoming[localIndex].trimmed();
        mysql_free_result(result);
        identity.serverStart = now - uptime;
    }
    if (!read && params.soundServerOnly) {
        lastError_ = QString::fromUtf8(mysql_error(handle_.get()));
        return false;
    }
    if (params.soundServerOnly) {
        if (const QString refusal = serverRefusal(state, cluster_); !refusal.isEmpty()) {
            lastError_ = refusal;
            return false;
        }
        if (state.galera && cluster_.isEmpty())
            cluster_ = state.cluster;
    }
    identity_ = identity;
    return true;
}

bool Connection::reconnect() {
    if (!params_)
        return false;
    const SessionIdentity lost = identity_;
    const ConnectParams params = *params_;
    connect(params);
    if (!connected_)
        return false;
    ++reconnects_;
    // A session behind a broken network link lives on at the server with its locks until the
    // server notices; end it so it cannot hold the account rows, if it is still there and ours.
    try {
        endIfStillThere(lost);
    } catch (const DbError&) {
        // The next statement finds the connection gone.
    }
    return connected_;
}

bool Connection::endSession(const SessionIdentity& lost) {
    if (!connected_ || !handle_ || serverHungUp()) {
        connected_ = false;
        if (inTransaction_ || !reconnect())
            throw DbError(DbError::Kind::Connection, 2006,
                          lastError_.isEmpty() ? QStringLiteral("Tidak ada koneksi ke server")
                                               : lastError_);
    }
    return endIfStillThere(lost);
}

bool Connection::endIfStillThere(const SessionIdentity& lost) {
    // After a restart, or on another server, the same id is somebody else's session.
    if (lost.id == 0 || lost.id == identity_.id || !lost.sameServerAs(identity_))
        return false;
    const QByteArray id = QByteArray::number(static_cast<qulonglong>(lost.id));
    const QByteArray find = "SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = " + id;
    if (mysql_real_query(handle_.get(), find.constData(), static_cast<unsigned long>(find.size())))
        fail();
    MYSQL_RES* result = mysql_store_result(handle_.get());
    if (!result)
        fail();
    const MYSQL_ROW row = mysql_fetch_row(result);
    const bool there = row && field(row, 0) == lost.host;
    mysql_free_result(result);
    // Ended meanwhile, the KILL finds nothing: no matter.
    if (there)
        query("KILL " + id);
    return there;
}

QString Connection::server() const {
    if (!params_)
        return {};
    if (!params_->unixSocket.isEmpty())
        return params_->unixSocket;
    return params_->host + QLatin1Char(':') + QString::number(params_->port);
}

std::chrono::microseconds Connection::longestIdleInTransaction() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(longestIdle_);
}

unsigned long Connection::sessionId() const {
    return connected_ ? identity_.id : 0;
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

} // namespace kalinda
