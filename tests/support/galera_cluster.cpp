#include "galera_cluster.h"

#include "child_process.h"
#include "mariadb_server.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdlib>
#include <stdexcept>
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

void stopClusterAtExit() {
    GaleraCluster::instance().stopAll();
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
        node.gcommPort = freePort();
        node.istPort = freePort();
        node.sstPort = freePort();
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
    launch(0, true);
    waitSynced(0);
    runAdminScriptOn(socketPath(0), dir_, demoDatabaseScript());
    for (int n = 1; n < kNodes; ++n)
        launch(n, false);
    for (int n = 1; n < kNodes; ++n)
        waitSynced(n);
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
}

void GaleraCluster::stopNode(int node) {
    stopChild(nodes_[node].pid);
}

void GaleraCluster::startNode(int node) {
    if (isRunning(node))
        return;
    launch(node, false);
    waitSynced(node);
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
