#pragma once

#include "sql.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
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

// The files that make a connection TLS-only. With `ca` set the server must speak TLS and show a
// certificate that this CA signed for the address dialled; a client certificate and its key
// are sent when the server asks for one (REQUIRE X509).
struct TlsFiles {
    QString ca;
    QString cert;
    QString key;
    bool isSet() const { return !ca.isEmpty(); }
};

struct ConnectParams {
    QString host;
    QString user;
    QString password;
    QString database;
    int port = 0;
    QString unixSocket; // used instead of host/port when set
    int connectTimeoutSeconds = 3;
    // A hung server or a pulled cable ends a statement after these, with a message instead of
    // a frozen screen. Long jobs (reports, benchmarks) raise them.
    int readTimeoutSeconds = 10;
    int writeTimeoutSeconds = 10;
    // Waiting for another kiosk's lock ends well before the read timeout, as a conflict that
    // the posting retries or refuses rather than as a lost connection.
    int lockWaitTimeoutSeconds = 5;
    // The server ends a session that sits idle inside a transaction after this long, so a kiosk
    // that vanished mid-posting (power, cable) frees the rows it locked. Below the lock wait: a
    // payment queued behind such a kiosk gets the rows within its first wait. A posting sends
    // its statements back to back (docs/deployment.md has the measured gap). 0: the server's.
    int idleTransactionTimeoutSeconds = 3;
    // Refuses a server that must not take postings (serverRefusal()). Off only for tools that
    // watch servers as they are, joining nodes included.
    bool soundServerOnly = true;
    TlsFiles tls;
};

// What identifies a session at the server, read once right after connecting. Session ids start
// again after a restart, so an id alone may name another kiosk's session by then.
struct SessionIdentity {
    unsigned long id = 0;
    QString host;           // the client's address as the server's process list shows it
    qint64 serverStart = 0; // the server's start, NOW() - Uptime, in seconds since 1970
    QString gcommUuid;      // a Galera node's start: new at every start ("" without Galera)
    QString server;         // where the connection went (Connection::server())
    // A Galera node's client address as the cluster lists it (wsrep_incoming_addresses), so
    // its membership can be checked from another node ("" without Galera).
    QString incomingAddress;

    // The same start of the same server: its session ids are still the same sessions.
    bool sameServerAs(const SessionIdentity& other) const;
};

// What the kiosk checks of a server before it uses it.
struct ServerState {
    bool galera = false;   // a Galera node (wsrep_on)
    bool readOnly = false; // read_only: an async replica, say
    QString state;         // wsrep_local_state_comment, "Synced" when it serves the cluster
    QString status;        // wsrep_cluster_status, "Primary" in the majority's component
    QString cluster;       // wsrep_cluster_state_uuid
};

// Why the kiosk must not use this server, or "" when it may: a read_only server never takes
// postings; a Galera node must be Synced, in the Primary component and of `firstCluster` (the
// cluster seen at the first connection; "" before it). A server without Galera is taken as it
// is, unless the kiosk started on a cluster.
QString serverRefusal(const ServerState& server, const QString& firstCluster);

enum class Isolation { Default, ReadCommitted };

// One connection to the server. Every statement goes through execute() or open().
//
// A connection the server dropped is opened again with the same parameters, quietly, as long
// as no transaction is open: a read is sent again after any loss (unless it ran into the read
// timeout: a hung server would only make the user wait twice); a write only when the
// connection was already gone before it was sent, never when it was lost while the server may
// have run it. Inside a transaction a loss is reported and the connection stays down until the
// transaction is ended (commit or rollback), so no statement of it lands outside it.
// Values are escaped only once the session that runs the statement is open, by its rules: a
// statement that finds the connection down and may not open it again is refused unrendered.
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
    // The last connect failed because the link could not be made secure: a server without TLS,
    // a certificate the CA does not vouch for, or an unreadable file. lastError() says which.
    bool untrustedServer() const { return untrustedServer_; }

    void execute(const Sql& statement);
    Recordset open(const Sql& statement);
    quint64 affectedRows() const { return affectedRows_; }

    void begin(Isolation isolation = Isolation::Default);
    // Ends the transaction also when it fails: a lost COMMIT may or may not have been stored.
    void commit();
    // Nothing to send when the connection was lost: the server dropped the transaction with it.
    void rollback();
    bool inTransaction() const { return inTransaction_; }

    // The server's id of the current session (0 when there is none).
    unsigned long sessionId() const;
    // The last session's identity, also once it is lost.
    SessionIdentity identity() const { return identity_; }
    // Ends `lost` (a session of this connection left behind at the server) when it still runs
    // there: its id, its client address and the server's start must all match, else the id may
    // be another kiosk's. True while it is still there. Opens the connection again if need be;
    // throws DbError when the server cannot be asked.
    bool endSession(const SessionIdentity& lost);
    // Where a read goes when the server is gone and does not come back: moves the connection to
    // another server and says whether it did (the server switch installs it). A write never
    // goes there: it is never sent again.
    void setMoveAway(std::function<bool()> moveAway) { moveAway_ = std::move(moveAway); }
    const std::function<bool()>& moveAway() const { return moveAway_; }
    // The longest a transaction on this connection sat idle between the answer to one statement
    // and the next statement (for measuring).
    std::chrono::microseconds longestIdleInTransaction() const;
    // How many times the connection was opened again after a loss.
    int reconnects() const { return reconnects_; }
    // Opens the connection again with the same parameters, as a lost one is reopened; false
    // when the server does not answer. Ends any open transaction.
    bool reconnect();
    ConnectParams params() const { return params_.value_or(ConnectParams{}); }
    // Where the connection goes: "host:port", or the socket path ("" before any connect).
    QString server() const;

private:
    enum class Resend { Read, IfNotSent, Never };
    // Escapes text for use between single quotes, as the open session reads it (its character
    // set, and backslashes or not by its NO_BACKSLASH_ESCAPES). Throws without an open session.
    QByteArray escape(const QString& text) const;
    // The statement exactly as it is sent; only on an open session.
    QByteArray render(const Sql& statement) const;
    // Opens the connection again first where the rules above allow, then renders and sends.
    void send(const Sql& statement, Resend resend);
    bool query(const QByteArray& text);
    bool serverHungUp() const;
    bool readServer(const ConnectParams& params);
    bool useTls(const TlsFiles& tls);
    void explainTlsFailure(const TlsFiles& tls);
    bool endIfStillThere(const SessionIdentity& lost);
    void drainResults();
    [[noreturn]] void fail();

    std::unique_ptr<st_mysql, void (*)(st_mysql*)> handle_;
    std::optional<ConnectParams> params_;
    bool connected_ = false;
    bool inTransaction_ = false;
    bool untrustedServer_ = false;
    SessionIdentity identity_; // the last session, also once it is lost
    QString cluster_;          // the Galera cluster of the first connection
    std::function<bool()> moveAway_;
    std::chrono::steady_clock::time_point answered_;
    std::chrono::steady_clock::duration longestIdle_{};
    int reconnects_ = 0;
    quint64 affectedRows_ = 0;
    QString lastError_;
};

// Rolls back in its destructor unless commit() ran. Never throws from there.
class Transaction {
public:
    explicit Transaction(Connection& connection, Isolation isolation = Isolation::Default);
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
