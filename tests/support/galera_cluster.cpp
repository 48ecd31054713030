#include "galera_cluster.h"

#include "child_process.h"
#include "mariadb_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <arpa/inet.h>
#include <cstdlib>
#include <iostream>
#include <netinet/in.h>
#include <random>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalinda::test {
namespace {

const char* const kProvider = "/usr/lib/galera/libgalera_smm.so";

bool haveTools() {
    return QFile::exists(QString::fromLatin1(kProvider)) &&
           runShell("command -v rsync >/dev/null 2>&1") == 0;
}

// The rsync state transfer runs its daemon as the server's user, which must own the folders:
// under root the nodes run as mysql, otherwise as whoever runs the tests.
const char* nodeUser() {
    return ::geteuid() == 0 ? "mysql" : nullptr;
}

std::unique_ptr<Connection> connected(const ConnectParams& params, const char* who) {
    auto c = std::make_unique<Connection>();
    c->connect(params);
    if (c->status() != 0)
        throw std::runtime_error(std::string(who) +
                                 " connection to a node failed: " + c->lastError().toStdString());
    return c;
}

// A port that nothing holds at that address now, below the range the kernel gives outgoing
// connections and freePort() (on 127.0.0.1 only): another cluster on this machine, or a
// connection of our own, may have taken a port since it was last free.
int portFreeAt(const std::string& host) {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> pick(20000, 32000);
    for (int tries = 0; tries < 200; ++tries) {
        const int port = pick(random);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
        // Without SO_REUSEADDR the bind also fails on a port in TIME_WAIT.
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (free)
            return port;
    }
    throw std::runtime_error("no free port at " + host);
}

// The lines of a node's error log written since `from`, that say what went wrong.
std::string errorsSince(const QString& log, qint64 from) {
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(from))
        return "(no error log)";
    QStringList errors;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.contains("[ERROR]") || line.contains("error"))
            errors << QString::fromLocal8Bit(line.trimmed());
    }
    return errors.mid(std::max<qsizetype>(0, errors.size() - 4))
        .join(QStringLiteral("\n  "))
        .toStdString();
}

void stopClusterAtExit() {
    GaleraCluster::instance().stopAll();
    removeFolderIfPassed(GaleraCluster::instance().folder());
}

} // namespace

QString GaleraCluster::unavailableReason() {
    static const QString reason = [] {
        if (haveTools())
            return QString();
        if (::geteuid() == 0)
            runShell("DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "
                     "galera-4 rsync >/dev/null 2>&1");
        if (haveTools())
            return QString();
        return QStringLiteral("galera-4 and rsync are not installed and could not be installed "
                              "(apt-get install galera-4 rsync): no cluster to test against");
    }();
    return reason;
}

GaleraCluster& GaleraCluster::instance() {
    // A cluster that failed to start is not tried again by every test.
    static std::string failure;
    static GaleraCluster* cluster = nullptr;
    if (!cluster && failure.empty()) {
        try {
            cluster = new GaleraCluster();
            std::atexit(stopClusterAtExit);
        } catch (const std::exception& e) {
            failure = e.what();
        }
    }
    if (!cluster)
        throw std::runtime_error(failure);
    return *cluster;
}

GaleraCluster::GaleraCluster() {
    QByteArray root = testTempRoot();
    // The nodes run as another user, who must be able to reach their folders.
    struct stat st {};
    if (::stat(root.constData(), &st) == 0 && !(st.st_mode & S_IXOTH))
        ::chmod(root.constData(), (st.st_mode & 07777) | S_IXGRP | S_IXOTH);
    QByteArray tmpl = root + "/galera-XXXXXX";
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    dir_ = QString::fromLocal8Bit(tmpl);
    ::chmod(tmpl.constData(), 0755);
    for (int n = 0; n < kNodes; ++n) {
        Node& node = nodes_[n];
        node.dir = dir_ + QStringLiteral("/node%1").arg(n);
        QDir().mkpath(node.dir + QStringLiteral("/tmp"));
        // Empty for the joiners: they receive node 0's data by state transfer.
        if (n > 0)
            QDir().mkpath(node.dir + QStringLiteral("/data"));
        node.sqlPort = n == 0 ? freePort() : nodes_[0].sqlPort;
        node.gcommPort = portFreeAt(hostOf(n));
    }
    if (nodeUser())
        runShell(
            QStringLiteral("chown -R %1: %2").arg(QLatin1String(nodeUser()), dir_).toStdString());

    const QString install =
        QStringLiteral("mariadb-install-db --no-defaults --datadir=%1/data --tmpdir=%1/tmp "
                       "%2 --skip-test-db --auth-root-authentication-method=socket "
                       ">%1/install.log 2>&1")
            .arg(nodes_[0].dir, nodeUser() ? QStringLiteral("--user=mysql") : QString());
    if (runShell(install.toStdString()) != 0)
        throw std::runtime_error("mariadb-install-db failed in " + dir_.toStdString());
    pickTransferPorts(0);
    launch(0, true);
    waitSynced(0);
    runAdminScriptOn(socketPath(0), dir_, demoDatabaseScript());
    for (int n = 1; n < kNodes; ++n)
        startNode(n);
    warmLedger(0);
}

GaleraCluster::~GaleraCluster() {
    stopAll();
}

QString GaleraCluster::socketPath(int node) const {
    return nodes_[node].dir + QStringLiteral("/mysqld.sock");
}

void GaleraCluster::launch(int n, bool newCluster) {
    const Node& node = nodes_[n];
    std::string members;
    for (const Node& other : nodes_)
        members += (members.empty() ? "" : ",") + hostOf(&other - nodes_.data()) + ":" +
                   std::to_string(other.gcommPort);
    const std::string dir = node.dir.toStdString();
    const std::string host = hostOf(n);
    std::vector<std::string> args = {
        "mariadbd",
        "--no-defaults",
        "--datadir=" + dir + "/data",
        "--tmpdir=" + dir + "/tmp",
        "--socket=" + socketPath(n).toStdString(),
        "--port=" + std::to_string(node.sqlPort),
        "--bind-address=" + host,
        // The pid files lie where scripts/test looks for servers left behind by a crash.
        "--pid-file=" + dir_.toStdString() + "/node" + std::to_string(n) + ".pid",
        "--log-error=" + dir + "/mysqld.err",
        "--character-set-server=utf8mb4",
        "--collation-server=utf8mb4_unicode_ci",
        "--innodb-buffer-pool-size=32M",
        "--innodb-log-file-size=16M",
        "--innodb-flush-log-at-trx-commit=0",
        "--innodb-lock-wait-timeout=20",
        // One list of free table instances, so that warmLedger() fills the one every session uses.
        "--table-open-cache-instances=1",
        "--binlog-format=ROW",
        "--innodb-autoinc-lock-mode=2",
        "--wsrep-on=ON",
        std::string("--wsrep-provider=") + kProvider,
        "--wsrep-cluster-name=kalinda-test",
        "--wsrep-cluster-address=gcomm://" + members,
        "--wsrep-node-name=node" + std::to_string(n),
        "--wsrep-node-address=" + host + ":" + std::to_string(node.gcommPort),
        "--wsrep-provider-options=gmcast.listen_addr=tcp://" + host + ":" +
            std::to_string(node.gcommPort) + ";ist.recv_addr=" + host + ":" +
            std::to_string(node.istPort) + ";gcache.size=32M",
        "--wsrep-sst-receive-address=" + host + ":" + std::to_string(node.sstPort),
        "--wsrep-sst-method=rsync",
        "--wsrep-sync-wait=1",
    };
    if (nodeUser())
        args.push_back(std::string("--user=") + nodeUser());
    if (newCluster)
        args.push_back("--wsrep-new-cluster");
    nodes_[n].pid = startChild(args, dir + "/mysqld.out", nodeUser());
}

QString GaleraCluster::state(int node) const {
    if (!isRunning(node))
        return QStringLiteral("stopped");
    Connection c;
    ConnectParams p = adminParams(node);
    p.database.clear();
    c.connect(p);
    if (c.status() != 0)
        return QStringLiteral("unreachable");
    try {
        Recordset rs = c.open(Sql("SHOW STATUS LIKE 'wsrep_local_state_comment'"));
        return rs.eof() ? QString() : rs.text(QStringLiteral("Value"));
    } catch (const DbError& e) {
        return e.message();
    }
}

void GaleraCluster::waitSynced(int n) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 120000) {
        if (state(n) == QLatin1String("Synced"))
            return;
        if (childExited(nodes_[n].pid)) {
            nodes_[n].pid = 0;
            break;
        }
        QThread::msleep(100);
    }
    throw std::runtime_error("Galera node " + std::to_string(n) + " did not reach Synced, see " +
                             nodes_[n].dir.toStdString() + "/mysqld.err");
}

void GaleraCluster::waitForSync() {
    // With wsrep_sync_wait a read waits until its node has applied what was committed before.
    for (int n = 0; n < kNodes; ++n) {
        if (isRunning(n))
            adminConnection(n)->open(Sql("SELECT 1"));
    }
}

void GaleraCluster::resetDatabase() {
    int node = 0;
    while (!isRunning(node))
        ++node;
    runAdminScriptOn(socketPath(node), dir_, demoDatabaseScript());
    waitForSync();
    // The tables are new: their cached instances went with the old ones.
    for (int n = 0; n < kNodes; ++n) {
        if (isRunning(n))
            warmLedger(n);
    }
}

void GaleraCluster::pickTransferPorts(int n) {
    nodes_[n].istPort = portFreeAt(hostOf(n));
    nodes_[n].sstPort = portFreeAt(hostOf(n));
}

// The server parses a table's triggers whenever it opens a new instance of it for its table
// cache. A local transaction aborted for a replicated one while it does so (only under write
// conflicts between nodes) leaves that instance with its triggers marked unparseable, and every
// write that gets it fails until the instance leaves the cache. Here one session, which no
// replicated transaction can abort, opens and checks more instances of every table a posting
// runs triggers of than the tests ever use at once, so that their sessions never open one. A
// probe takes the most recently released instance; a handler holds it so that the next probe
// takes another. Returns false when one of them was broken.
bool GaleraCluster::warmLedger(int n) {
    constexpr int kInstances = 12;
    // Each table with a write that runs its triggers (the server checks them only for a row it
    // writes), undone.
    const struct {
        SqlText table, write;
    } tables[] = {
        {"`cashless-adm`.data_tabungan_trans",
         "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'CACHE-CHECK', "
         "trans_tanggal = CURDATE(), trans_kode = '00', trans_rekening = '', trans_status = 9"},
        {"`cashless-adm`.data_tabungan_master",
         "UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = tab_pin LIMIT 1"},
        {"`aio-kirna`.data_barang_order",
         "INSERT INTO `aio-kirna`.data_barang_order SET order_kode = 'CACHE-CHECK', "
         "order_tanggal = NOW(), order_rekening = ''"},
        {"`aio-kirna`.data_barang_order_list",
         "INSERT INTO `aio-kirna`.data_barang_order_list SET list_order = 'CACHE-CHECK', "
         "list_barang = ''"},
        {"`aio-kirna`.data_transaksi",
         "INSERT INTO `aio-kirna`.data_transaksi SET trans_id = 'CACHE-CHECK', trans_tanggal = "
         "CURDATE(), trans_kode = '00', trans_rekening = ''"},
        {"data_transaksi", "INSERT INTO data_transaksi SET trans_id = 'CACHE-CHECK', "
                           "trans_tanggal = CURDATE(), trans_kode = '00', trans_rekening = ''"},
    };
    auto probe = adminConnection(n);
    auto holder = adminConnection(n);
    bool healthy = true;
    int held = 0;
    for (const auto& [table, write] : tables) {
        for (int i = 0; i < kInstances; ++i) {
            probe->execute(Sql("START TRANSACTION"));
            try {
                probe->execute(Sql(write));
            } catch (const DbError& e) {
                if (!e.message().contains(QLatin1String("has an error in its body")))
                    throw;
                healthy = false;
            }
            probe->execute(Sql("ROLLBACK"));
            Sql hold("HANDLER ");
            hold << Sql(table) << " OPEN AS held" << ++held;
            holder->execute(hold);
        }
    }
    // Closing the holder gives every instance back to the cache.
    return healthy;
}

std::vector<int> GaleraCluster::mendLedgerTriggers() {
    std::vector<int> mended;
    for (int n = 0; n < kNodes; ++n) {
        if (!isRunning(n) || warmLedger(n))
            continue;
        std::cerr << "[ cluster  ] node " << n
                  << ": triggers broken in the table cache (\"has an error in its body\"), "
                     "flushing the tables there\n";
        auto admin = adminConnection(n);
        admin->execute(Sql("SET SESSION wsrep_on = OFF"));
        admin->execute(Sql("FLUSH TABLES `cashless-adm`.data_tabungan_trans, "
                           "`cashless-adm`.data_tabungan_master, `aio-kirna`.data_barang_order, "
                           "`aio-kirna`.data_barang_order_list, `aio-kirna`.data_transaksi, "
                           "data_transaksi"));
        if (!warmLedger(n))
            throw std::runtime_error("node " + std::to_string(n) +
                                     ": triggers still broken after FLUSH TABLES");
        mended.push_back(n);
    }
    return mended;
}

void GaleraCluster::stopNode(int node) {
    stopChild(nodes_[node].pid);
}

void GaleraCluster::startNode(int node) {
    if (isRunning(node))
        return;
    const QString log = nodes_[node].dir + QStringLiteral("/mysqld.err");
    // The state-transfer daemon says why it stopped (a port taken) in a log of its own.
    const QString rsyncLog = nodes_[node].dir + QStringLiteral("/tmp/rsyncd.log");
    for (int attempt = 1;; ++attempt) {
        // Fresh state-transfer ports: those of the last start may be taken by now.
        pickTransferPorts(node);
        const qint64 logStart = QFileInfo(log).size();
        const qint64 rsyncStart = QFileInfo(rsyncLog).size();
        launch(node, false);
        try {
            waitSynced(node);
            break;
        } catch (const std::runtime_error&) {
            // A node still running did not fail to start: it is too slow, and that is reported.
            if (isRunning(node) || attempt == 3)
                throw;
            std::cerr << "[ cluster  ] node " << node << " failed to join (start " << attempt
                      << "):\n  " << errorsSince(log, logStart) << "\n  "
                      << errorsSince(rsyncLog, rsyncStart)
                      << "\n[ cluster  ] starting it again on new state-transfer ports\n";
        }
    }
    warmLedger(node);
}

void GaleraCluster::stopAll() {
    for (int n = kNodes - 1; n >= 0; --n)
        stopChild(nodes_[n].pid);
}

std::string GaleraCluster::hostOf(std::ptrdiff_t node) {
    return "127.0.0." + std::to_string(2 + node);
}

QString GaleraCluster::host(int node) const {
    return QString::fromStdString(hostOf(node));
}

ConnectParams GaleraCluster::kioskParams(int node) const {
    return kioskParamsAt(host(node), nodes_[node].sqlPort);
}

ConnectParams GaleraCluster::adminParams(int node) const {
    return adminParamsAt(socketPath(node));
}

std::unique_ptr<Connection> GaleraCluster::kioskConnection(int node) const {
    return connected(kioskParams(node), "kiosk");
}

std::unique_ptr<Connection> GaleraCluster::adminConnection(int node) const {
    return connected(adminParams(node), "admin");
}

} // namespace kalinda::test
