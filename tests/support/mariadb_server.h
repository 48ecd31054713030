#pragma once

#include "app/db.h"
#include "support/printers.h"

#include <QDate>
#include <QRegularExpression>
#include <QStringList>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace kalinda::test {

// A private MariaDB server for one test program: own data folder under /tmp, the unix socket
// for root and 127.0.0.1 on a free port for the kiosk's user. It is started on first use and
// stopped when the program ends, also when the program dies (the server follows its parent).
class MariaDbServer {
public:
    static MariaDbServer& instance();

    ~MariaDbServer();

    int port() const { return port_; }
    QString socketPath() const { return dir_ + QStringLiteral("/mysqld.sock"); }
    QString folder() const { return dir_; }

    // The kiosk's user over TCP, default schema the kiosk's own.
    ConnectParams kioskParams() const;
    // root over the unix socket, for setting up and inspecting.
    ConnectParams adminParams() const;

    // Drops the three schemas and loads them again with the demo data.
    void resetDatabase();
    // Runs statements as root through the mariadb client (DELIMITER and all).
    void runAdminScript(const QString& sql);

    void start();
    void stop();
    // Stops the server and starts it again on the same port and data, with these options
    // added (they stay until the next restart).
    void restart(const std::vector<std::string>& extraArgs = {});

private:
    MariaDbServer();
    void install();
    bool ping() const;

    QString dir_;
    int port_ = 0;
    pid_t pid_ = 0;
    bool installed_ = false;
    std::vector<std::string> extraArgs_;
};

// The kiosk's user over TCP at `host`:`port`, root over a unix socket.
ConnectParams kioskParamsAt(const QString& host, int port);
ConnectParams adminParamsAt(const QString& socket);
// Drops the three schemas and creates them again with the demo data (a script for the client).
QString demoDatabaseScript();
// Runs a script as root through the mariadb client on `socket`; files go to `workDir`.
void runAdminScriptOn(const QString& socket, const QString& workDir, const QString& sql);

// Where test programs put their servers' folders: $KALINDA_TEST_TMPDIR or /tmp.
QByteArray testTempRoot();
// Removes a server's folder at exit, unless a test failed or KALINDA_KEEP_TEST_DATA is set.
void removeFolderIfPassed(const QString& dir);

// A connection as root, for test set-up and checks.
std::unique_ptr<Connection> adminConnection();
// A connection as the kiosk's user.
std::unique_ptr<Connection> kioskConnection();

// Ends `victim`'s session at the server, as an operator's KILL does.
void killSession(Connection& admin, const Connection& victim);

// The value of the first column of the first row, as text.
QString scalar(Connection& connection, const Sql& query);
long long scalarInt(Connection& connection, const Sql& query);

// The server takes the kiosk's rows only on its own day, so tests post today; expected ids are
// written for 7 December 2026 ("20261207", "261207") and moved to today here.
inline QStringList onToday(QStringList texts) {
    const QDate day = QDate::currentDate();
    return texts.replaceInStrings(QStringLiteral("20261207"), day.toString(u"yyyyMMdd"))
        .replaceInStrings(QStringLiteral("261207"), day.toString(u"yyMMdd"));
}
inline QString onToday(const QString& text) {
    return onToday(QStringList{text}).first();
}

// A debit of `amount` from a demo student's `account` (its card "00044170" and the account's
// last two digits) to the canteen, and its credit, as the product payment writes them under the
// random id number `number`: what one holding the kiosk's password sends without its lock.
std::vector<Sql> kioskShapedPair(const QString& account, long long amount, int number);

// Statements as sent, with each posting's random mark written as <tanda>.
inline QStringList maskMarks(QStringList statements) {
    return statements.replaceInStrings(QRegularExpression(QStringLiteral("'[0-9a-f]{32}'")),
                                       QStringLiteral("'<tanda>'"));
}
inline const QString kMarkStatement =
    QStringLiteral("INSERT INTO data_posting_tanda (tanda_kode) VALUES ('<tanda>')");

} // namespace kalinda::test
