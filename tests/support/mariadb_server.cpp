#include "mariadb_server.h"

#include "child_process.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QTime>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace kalinda::test {
namespace {

int run(const QString& command) {
    return runShell(command.toStdString());
}

QString shellQuote(const QString& s) {
    QString out = s;
    out.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

void stopAtExit() {
    MariaDbServer::instance().stop();
    removeFolderIfPassed(MariaDbServer::instance().folder());
}

} // namespace

void removeFolderIfPassed(const QString& dir) {
    // A failed run keeps the server's folder and logs to read; a passing one leaves no trace.
    if (::testing::UnitTest::GetInstance()->Passed() &&
        qEnvironmentVariableIsEmpty("KALINDA_KEEP_TEST_DATA"))
        QDir(dir).removeRecursively();
}

QByteArray testTempRoot() {
    // scripts/test gives each run a folder of its own, so it can clean up after crashes
    // without touching another run.
    const QByteArray root = qgetenv("KALINDA_TEST_TMPDIR");
    if (!root.isEmpty()) {
        QDir().mkpath(QString::fromLocal8Bit(root));
        return root;
    }
    return QByteArrayLiteral("/tmp");
}

MariaDbServer& MariaDbServer::instance() {
    static MariaDbServer* server = [] {
        auto* s = new MariaDbServer();
        std::atexit(stopAtExit);
        return s;
    }();
    return *server;
}

MariaDbServer::MariaDbServer() {
    QByteArray tmpl = testTempRoot() + "/db-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = QString::fromLocal8Bit(tmpl);
    start();
    resetDatabase();
}

MariaDbServer::~MariaDbServer() {
    stop();
}

void MariaDbServer::install() {
    // Bootstraps running side by side collide on temporary table names in a shared /tmp.
    QDir().mkpath(dir_ + QStringLiteral("/tmp"));
    const QString cmd =
        QStringLiteral("mariadb-install-db --no-defaults --datadir=%1/data --tmpdir=%1/tmp "
                       "--user=root --skip-test-db "
                       "--auth-root-authentication-method=socket >%1/install.log 2>&1")
            .arg(dir_);
    if (run(cmd) != 0)
        throw std::runtime_error("mariadb-install-db failed, see " + dir_.toStdString());
    installed_ = true;
}

bool MariaDbServer::ping() const {
    return run(QStringLiteral("mariadb-admin --no-defaults --socket=%1 -uroot ping >/dev/null 2>&1")
                   .arg(socketPath())) == 0;
}

void MariaDbServer::start() {
    if (pid_ > 0)
        return;
    if (!installed_)
        install();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (port_ == 0 || attempt > 0)
            port_ = freePort();
        std::vector<std::string> args = {
            "mariadbd",
            "--no-defaults",
            "--datadir=" + dir_.toStdString() + "/data",
            "--tmpdir=" + dir_.toStdString() + "/tmp",
            "--socket=" + socketPath().toStdString(),
            "--port=" + std::to_string(port_),
            "--bind-address=127.0.0.1",
            "--user=root",
            "--pid-file=" + dir_.toStdString() + "/mysqld.pid",
            "--log-error=" + dir_.toStdString() + "/mysqld.err",
            "--skip-log-bin",
            "--character-set-server=utf8mb4",
            "--collation-server=utf8mb4_unicode_ci",
            "--innodb-buffer-pool-size=32M",
            "--innodb-flush-log-at-trx-commit=0",
            "--innodb-lock-wait-timeout=20",
        };
        args.insert(args.end(), extraArgs_.begin(), extraArgs_.end());
        // The server goes down with the test program, whatever way that ends.
        const pid_t pid = startChild(args, dir_.toStdString() + "/mysqld.out");
        pid_ = pid;
        for (int i = 0; i < 200; ++i) {
            if (ping())
                return;
            if (childExited(pid_)) {
                pid_ = 0;
                break;
            }
            QThread::msleep(50);
        }
        stop();
    }
    throw std::runtime_error("could not start mariadbd in " + dir_.toStdString());
}

void MariaDbServer::stop() {
    stopChild(pid_);
}

void MariaDbServer::restart(const std::vector<std::string>& extraArgs) {
    stop();
    extraArgs_ = extraArgs;
    start();
}

ConnectParams MariaDbServer::kioskParams() const {
    return kioskParamsAt(QStringLiteral("127.0.0.1"), port_);
}

ConnectParams MariaDbServer::adminParams() const {
    return adminParamsAt(socketPath());
}

void MariaDbServer::runAdminScript(const QString& sql) {
    runAdminScriptOn(socketPath(), dir_, sql);
}

void runAdminScriptOn(const QString& socket, const QString& workDir, const QString& sql) {
    const QString file = workDir + QStringLiteral("/script.sql");
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write " + file.toStdString());
    f.write(sql.toUtf8());
    f.close();
    const int rc =
        run(QStringLiteral("mariadb --no-defaults --socket=%1 -uroot <%2 2>%3/script.err")
                .arg(socket, shellQuote(file), workDir));
    if (rc != 0) {
        QFile err(workDir + QStringLiteral("/script.err"));
        err.open(QIODevice::ReadOnly);
        throw std::runtime_error("SQL script failed: " + err.readAll().toStdString());
    }
}

void MariaDbServer::resetDatabase() {
    // Tests read today's date on the kiosk's side, their own and the server's: none starts in a
    // day's last two minutes, so all three read the same day.
    const QTime now = QTime::currentTime();
    if (now >= QTime(23, 58))
        QThread::msleep(now.msecsTo(QTime(23, 59, 59, 999)) + 50);
    start();
    runAdminScript(demoDatabaseScript());
}

QString demoDatabaseScript() {
    QFile f(QStringLiteral(KALINDA_TEST_SQL));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing " + std::string(KALINDA_TEST_SQL));
    QString script = QStringLiteral("DROP DATABASE IF EXISTS `cashless-adm`;\n"
                                    "DROP DATABASE IF EXISTS `aio-kirna`;\n"
                                    "DROP DATABASE IF EXISTS `" KALINDA_TEST_DB_NAME "`;\n");
    script += QString::fromUtf8(f.readAll());
    // Tests post far faster than a student can; the limit is tried where it is set.
    script += QStringLiteral(
        "UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = 1000000;\n");
    return script;
}

std::vector<Sql> kioskShapedPair(const QString& account, long long amount, int number) {
    Sql vars;
    vars << "SET @id = CONCAT('KLD', DATE_FORMAT(CURDATE(), '%y%m%d'), " << number << "), @dari = '"
         << esc(account) << "', @keluar = " << amount;
    return {vars,
            Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = @id, trans_tanggal "
                "= NOW(), trans_kode = '14', trans_rekening = @dari, trans_rfid = "
                "CONCAT('00044170', RIGHT(@dari, 2)), trans_ob_jenis = 1, trans_ob_rekening = "
                "'020100000003', trans_jumlah_keluar = @keluar, trans_saldo_akhir = 1, "
                "trans_reg_date = NOW(), trans_reg_time = NOW(), trans_reg_alias = 'KLD|'"),
            Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = CONCAT(@id, '##'), "
                "trans_tanggal = NOW(), trans_kode = '15', trans_rekening = '020100000003', "
                "trans_ob_jenis = 1, trans_ob_rekening = @dari, trans_jumlah_masuk = @keluar, "
                "trans_reg_date = NOW(), trans_reg_time = NOW(), trans_reg_alias = 'KLD|'")};
}

ConnectParams kioskParamsAt(const QString& host, int port) {
    ConnectParams p;
    p.host = host;
    p.port = port;
    p.user = QStringLiteral(KALINDA_TEST_DB_USER);
    p.password = QStringLiteral(KALINDA_TEST_DB_PASSWORD);
    p.database = QStringLiteral(KALINDA_TEST_DB_NAME);
    return p;
}

ConnectParams adminParamsAt(const QString& socket) {
    ConnectParams p;
    p.unixSocket = socket;
    p.user = QStringLiteral("root");
    p.idleTransactionTimeoutSeconds = 0;
    p.soundServerOnly = false;
    p.database = QStringLiteral(KALINDA_TEST_DB_NAME);
    return p;
}

std::unique_ptr<Connection> adminConnection() {
    auto c = std::make_unique<Connection>();
    c->connect(MariaDbServer::instance().adminParams());
    if (c->status() != 0)
        throw std::runtime_error("admin connection failed: " + c->lastError().toStdString());
    return c;
}

std::unique_ptr<Connection> kioskConnection() {
    auto c = std::make_unique<Connection>();
    c->connect(MariaDbServer::instance().kioskParams());
    if (c->status() != 0)
        throw std::runtime_error("kiosk connection failed: " + c->lastError().toStdString());
    return c;
}

void killSession(Connection& admin, const Connection& victim) {
    Sql kill;
    kill << "KILL " << static_cast<long long>(victim.sessionId());
    admin.execute(kill);
}

QString scalar(Connection& connection, const Sql& query) {
    Recordset rs = connection.open(query);
    if (rs.eof())
        return {};
    const QVariant v = rs.value(0);
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

long long scalarInt(Connection& connection, const Sql& query) {
    bool ok = false;
    const long long value = scalar(connection, query).toLongLong(&ok);
    if (!ok)
        throw std::runtime_error("not a number");
    return value;
}

} // namespace kalinda::test
