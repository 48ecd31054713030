// kalinda_chaos: K simulated kiosks post against a private server (or a private three-node
// Galera cluster) while a fault driver cuts, kills, holds and restarts under them; then every
// kiosk settles what it holds in doubt and the ledger is checked against what each student was
// told. Prints one table and exits non-zero on any violation; see docs/benchmarks.md.
//
//   build/tools/kalinda_chaos [--seed N] [--seconds S] [--kiosks K] [--faults N] [--pause MS]
//                             [--cluster] [--long-outage]

#include "chaos.h"

#include "postings/block_account.h"
#include "support/galera_cluster.h"
#include "support/mariadb_server.h"
#include "support/tcp_proxy.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <random>

using namespace kalinda;
using namespace kalinda::chaos;

namespace {

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

struct Options {
    quint64 seed = 0;
    int seconds = 30;
    int kiosks = 4;
    int faults = -1; // at most; -1: one per 3 s of the run
    bool cluster = false;
    bool longOutage = false; // with --cluster always
    int pause = 500;
};

const char* const kFaultNames[] = {"cut before COMMIT", "cut after COMMIT", "KILL of a session",
                                   "held link",         "server SIGKILL",   "node stopped",
                                   "node isolated",     "long outage"};
enum Fault {
    CutBefore,
    CutAfter,
    Kill,
    Hold,
    ServerKill,
    NodeStop,
    NodeIsolate,
    LongOutage,
    kFaultKinds
};

// A long outage keeps a kiosk from its server (on the cluster from every node) for longer than
// one settlement of its posting in doubt can take (connect 3 s, read 10 s, the wait for the
// lost session 5 s): the kiosk must keep it in doubt and try again, never give up on it.
constexpr int kLongOutageMs[] = {30000, 45000};

struct Window {
    qint64 from = 0;
    qint64 to = 0;
    int kiosk = -1; // the kiosk whose link it met (0-based); -1: every kiosk's
    // The accounts that kiosk's postings touched meanwhile: a session it left behind may hold
    // their locks, so the other kiosks' postings of them may wait and fail too.
    QSet<QString> touched;
};

// The servers of the run, one or a cluster, as the driver reaches them.
class Servers {
public:
    explicit Servers(bool cluster)
        : cluster_(cluster) {
        if (cluster_) {
            if (const QString why = test::GaleraCluster::unavailableReason(); !why.isEmpty())
                throw std::runtime_error("no cluster here: " + why.toStdString());
            test::GaleraCluster::instance().resetDatabase();
        } else {
            // Commits reach the log before the answer, so a killed server keeps what it
            // reported stored, as a real one does.
            test::MariaDbServer::instance().restart({"--innodb-flush-log-at-trx-commit=2"});
            test::MariaDbServer::instance().resetDatabase();
        }
    }
    bool cluster() const { return cluster_; }
    int port() const {
        return cluster_ ? test::GaleraCluster::instance().sqlPort()
                        : test::MariaDbServer::instance().port();
    }
    // The servers kiosk `kiosk` (0-based) may use, its own first: on the cluster node k mod 3
    // first, then the next ones round.
    QStringList hosts(int kiosk) const {
        if (!cluster_)
            return {QStringLiteral("127.0.0.1")};
        QStringList all;
        for (int j = 0; j < test::GaleraCluster::kNodes; ++j)
            all << test::GaleraCluster::instance().host((kiosk + j) % test::GaleraCluster::kNodes);
        return all;
    }
    ConnectParams kioskParams() const {
        return cluster_ ? test::GaleraCluster::instance().kioskParams(0)
                        : test::MariaDbServer::instance().kioskParams();
    }
    // The administrator on a running node (the server itself without a cluster).
    Connection& admin() {
        int n = 0;
        if (cluster_) {
            while (!test::GaleraCluster::instance().isRunning(n))
                ++n;
        }
        auto& a = admins_[n];
        if (!a) {
            a = cluster_ ? test::GaleraCluster::instance().adminConnection(n)
                         : test::adminConnection();
        }
        return *a;
    }
    // A new administrator's connection to node `n` (the server without a cluster), or none when
    // that node is down.
    std::unique_ptr<Connection> adminOn(int n) const {
        if (!cluster_)
            return test::adminConnection();
        if (!test::GaleraCluster::instance().isRunning(n))
            return {};
        return test::GaleraCluster::instance().adminConnection(n);
    }
    int nodes() const { return cluster_ ? test::GaleraCluster::kNodes : 1; }

private:
    bool cluster_;
    std::map<int, std::unique_ptr<Connection>> admins_;
};

Sql& inList(Sql& s, const QStringList& values) {
    s << "(''";
    for (const QString& v : values)
        s << ", '" << esc(v) << "'";
    return s << ")";
}

QStringList allAccounts(int kiosks) {
    QStringList all;
    for (int k = 1; k <= kiosks; ++k) {
        for (int n = 1; n <= kAccountsPerKiosk; ++n)
            all << runAccount(k, n).account;
    }
    return all;
}

// The run's students: a few rich, a few who soon meet their balance, quota and limit.
void createAccounts(Connection& admin, int kiosks) {
    for (int k = 1; k <= kiosks; ++k) {
        for (int n = 1; n <= kAccountsPerKiosk; ++n) {
            const RunAccount a = runAccount(k, n);
            Sql holder;
            holder << "INSERT INTO `cashless-adm`.data_nasabah (nasabah_id, nasabah_nama, "
                   << "nasabah_kelas) VALUES ('" << esc(a.holder) << "', 'Santri Chaos', '8C')";
            admin.execute(holder);
            Sql account;
            account << "INSERT INTO `cashless-adm`.data_tabungan_master (tab_rekening, tab_rfid, "
                    << "tab_nasabah, tab_jenis, tab_saldo_minimum, tab_limit_jajan, "
                    << "tab_limit_transfer, tab_status, tab_pin, tab_alternatif) VALUES ('"
                    << esc(a.account) << "', '" << esc(a.card) << "', '" << esc(a.holder)
                    << "', 1, " << (a.rich ? 0 : 10000) << ", " << (a.rich ? 50000000 : 60000)
                    << ", " << (a.rich ? 20000000 : 40000) << ", 1, '" << esc(a.firstPin) << "', '"
                    << esc(a.alternative) << "')";
            admin.execute(account);
            Sql deposit;
            deposit << "INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, "
                    << "trans_kode, trans_rekening, trans_jumlah_masuk, trans_status) VALUES "
                    << "('CHAOSDEP" << esc(a.account) << "', CURDATE() - INTERVAL 1 DAY, '15', '"
                    << esc(a.account) << "', " << (a.rich ? 100000000 : 150000) << ", 1)";
            admin.execute(deposit);
            Sql recompute;
            recompute << "CALL `cashless-adm`.HitungTabSaldoNasabah('" << esc(a.account) << "')";
            admin.execute(recompute);
        }
    }
}

// The office: every blocked account of the run gets its card back and its office PIN.
void office(Connection& admin) {
    try {
        admin.execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = "
                          "SUBSTRING(tab_rfid, 2), tab_pin = CONCAT('4', SUBSTRING(tab_rekening, "
                          "5, 2), '1', RIGHT(tab_rekening, 2)) WHERE tab_rekening LIKE '0197%' "
                          "AND tab_rfid LIKE '#%'"));
    } catch (const DbError&) {
        // the server is down: the next round unblocks them
    }
}

std::map<QString, qint64> balances(Connection& admin, const QStringList& accounts) {
    Sql s;
    s << "SELECT tab_rekening, COALESCE((SELECT saldo_buku FROM `cashless-adm`.data_tabungan_saldo "
         "WHERE saldo_rekening = tab_rekening), 0) FROM `cashless-adm`.data_tabungan_master "
         "WHERE tab_rekening IN ";
    inList(s, accounts);
    std::map<QString, qint64> got;
    for (Recordset rs = admin.open(s); !rs.eof(); rs.moveNext())
        got[rs.value(0).toString()] = rs.value(1).toLongLong();
    return got;
}

qint64 ledgerTotal(Connection& admin) {
    return admin
        .open(Sql("SELECT COALESCE(SUM(trans_jumlah_masuk - trans_jumlah_keluar), 0) FROM "
                  "`cashless-adm`.data_tabungan_trans WHERE trans_status <> 9"))
        .value(0)
        .toLongLong();
}

QSet<QString> auditFindings(Connection& admin, const QString& kioskSchema) {
    Sql s;
    s << "CALL `cashless-adm`.AuditTransaksiKiosk(CURDATE() - INTERVAL 1 DAY, CURDATE() + "
         "INTERVAL 1 DAY, NULL, '"
      << esc(kioskSchema) << "')";
    QSet<QString> found;
    for (Recordset rs = admin.open(s); !rs.eof(); rs.moveNext()) {
        QStringList row;
        for (int c = 0; c < rs.columnCount(); ++c)
            row << rs.value(c).toString();
        found.insert(row.join(u' '));
    }
    return found;
}

class Driver {
public:
    Driver(const Options& o, Servers& servers)
        : o_(o)
        , servers_(servers)
        , rng_(o.seed) {}

    int run(const QString& self);

private:
    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }
    void pause(qint64 ms); // runs the office meanwhile
    void inject(Fault f);
    bool check(const QString& kioskSchema);
    void violation(const QString& kind, const QString& detail) {
        ++violations_[kind];
        if (violations_[kind] <= 5)
            std::cerr << "violation: " << kind.toStdString() << ": " << detail.toStdString()
                      << '\n';
    }

    Options o_;
    Servers& servers_;
    std::mt19937_64 rng_;
    // Each kiosk's links, one per server it may use; every fault on a kiosk's link meets them
    // all, so it meets the one the kiosk uses after any move.
    std::vector<std::vector<std::unique_ptr<test::TcpProxy>>> links_;
    std::vector<Window> windows_;
    int faults_[kFaultKinds] = {};
    std::map<QString, int> violations_;
    std::map<QString, qint64> before_;
    qint64 totalBefore_ = 0;
    QSet<QString> auditBefore_;
    QString folder_;
    std::vector<Attempt> attempts_;
    std::map<QString, QString> settled_; // id -> stored, notbooked, unpaid
    int settlements_ = 0;
    std::map<QString, std::pair<QString, bool>> pins_;
    int kiosksEnded_ = 0;
    int moves_ = 0;
};

void Driver::pause(qint64 ms) {
    const qint64 end = nowMs() + ms;
    while (nowMs() < end) {
        office(servers_.admin());
        QThread::msleep(std::uint64_t(std::min<qint64>(200, std::max<qint64>(1, end - nowMs()))));
    }
}

void Driver::inject(Fault f) {
    Window w;
    w.from = nowMs();
    const int kiosk = pick(0, o_.kiosks - 1);
    if (f == CutBefore || f == CutAfter || f == Hold || f == LongOutage)
        w.kiosk = kiosk;
    const auto& links = links_[std::size_t(kiosk)];
    const auto cuts = [&] {
        int n = 0;
        for (const auto& link : links)
            n += link->cuts();
        return n;
    };
    switch (f) {
    case CutBefore:
    case CutAfter:
    case LongOutage: {
        const int before = cuts();
        // Half of them leave the link down for a while: the kiosk cannot ask at once (on the
        // cluster it may move to another node and ask there). A long outage holds all its links.
        const bool thenHold = f == LongOutage || pick(0, 1) == 1;
        // Long outages alternate, after the COMMIT reached the server first: a kiosk that
        // gave up on its posting would tell a stored one not booked.
        const bool sent = f == CutAfter || (f == LongOutage && faults_[LongOutage] % 2 == 0);
        using Cut = test::TcpProxy::Cut;
        for (const auto& link : links)
            link->cutAt(QByteArray("\x03"
                                   "COMMIT"),
                        !sent ? (thenHold ? Cut::BeforeSendingThenHold : Cut::BeforeSending)
                              : (thenHold ? Cut::AfterSendingThenHold : Cut::AfterSending));
        const qint64 giveUp = nowMs() + 8000;
        while (cuts() == before && nowMs() < giveUp)
            pause(50);
        // One cut is the fault: the other links are disarmed.
        for (const auto& link : links)
            link->cutAt("\x01never sent", Cut::BeforeSending);
        if (cuts() == before)
            return; // no COMMIT came: no fault
        if (f == LongOutage) {
            for (const auto& link : links)
                link->hold(true);
        }
        if (thenHold) {
            pause(f == LongOutage ? pick(kLongOutageMs[0], kLongOutageMs[1]) : pick(1000, 8000));
            for (const auto& link : links)
                link->hold(false);
        }
        break;
    }
    case Kill: {
        Sql list;
        list << "SELECT ID FROM information_schema.PROCESSLIST WHERE USER IN (SELECT akun_nama "
                "FROM `cashless-adm`.data_kiosk_akun)";
        // Kiosks move and stay where they moved: their sessions may be on any node.
        std::vector<std::pair<int, qlonglong>> ids;
        try {
            for (int n = 0; n < servers_.nodes(); ++n) {
                const std::unique_ptr<Connection> admin = servers_.adminOn(n);
                if (!admin)
                    continue;
                for (Recordset rs = admin->open(list); !rs.eof(); rs.moveNext())
                    ids.emplace_back(n, rs.value(0).toLongLong());
            }
            if (ids.empty())
                return;
            const auto [node, id] = ids[std::size_t(pick(0, int(ids.size()) - 1))];
            Sql kill;
            kill << "KILL " << id;
            if (const std::unique_ptr<Connection> admin = servers_.adminOn(node))
                admin->execute(kill);
            else
                return;
        } catch (const std::exception&) {
            return; // gone already
        }
        break;
    }
    case Hold:
        // The kiosk's own cable: every server it could move to is behind it.
        for (const auto& link : links)
            link->hold(true);
        pause(pick(1000, 12000));
        for (const auto& link : links)
            link->hold(false);
        break;
    case ServerKill: {
        test::MariaDbServer& server = test::MariaDbServer::instance();
        QFile pidFile(server.folder() + QStringLiteral("/mysqld.pid"));
        if (!pidFile.open(QIODevice::ReadOnly))
            return;
        const pid_t pid = pid_t(pidFile.readAll().trimmed().toInt());
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        QThread::msleep(std::uint64_t(pick(500, 3000)));
        server.restart({"--innodb-flush-log-at-trx-commit=2"});
        break;
    }
    case NodeStop:
    case NodeIsolate: {
        test::GaleraCluster& cluster = test::GaleraCluster::instance();
        const int node = pick(0, test::GaleraCluster::kNodes - 1);
        if (f == NodeIsolate) {
            try {
                cluster.adminConnection(node)->execute(
                    Sql("SET GLOBAL wsrep_provider_options = 'gmcast.isolate=1'"));
            } catch (const DbError&) {
                return;
            }
            pause(pick(2000, 6000));
        }
        cluster.stopNode(node); // an isolated node joins again as it starts
        pause(pick(1000, 4000));
        cluster.startNode(node);
        break;
    }
    default:
        return;
    }
    w.to = nowMs();
    windows_.push_back(w);
    ++faults_[f];
}

int Driver::run(const QString& self) {
    Connection& admin = servers_.admin();
    createAccounts(admin, o_.kiosks);
    // Each kiosk logs in with an account of its own, as a school's kiosks do, under the
    // watchdog of every node: an event and KILL reach only their own node's sessions.
    for (int k = 1; k <= o_.kiosks; ++k) {
        Sql add;
        add << "CALL TambahAkunKiosk('" << esc(kioskAccount(k)) << "', '%', '"
            << esc(kioskPassword(k)) << "', NULL)";
        admin.execute(add);
    }
    admin.execute(Sql("UPDATE `cashless-adm`.data_kiosk_akun SET akun_nomor_per_menit = 1000000"));
    for (int n = 0; n < servers_.nodes(); ++n) {
        const std::unique_ptr<Connection> node = servers_.adminOn(n);
        Sql watchdog;
        watchdog << "CREATE EVENT IF NOT EXISTS `cashless-adm`.awasi_sesi_kiosk_node" << n
                 << " ON SCHEDULE EVERY 2 SECOND DO CALL `cashless-adm`.AkhiriSesiKiosk()";
        node->execute(watchdog);
        node->execute(Sql("SET GLOBAL event_scheduler = ON"));
    }
    QStringList accounts = allAccounts(o_.kiosks);
    accounts << kCanteen << kInfaq << kShop;
    before_ = balances(admin, accounts);
    totalBefore_ = ledgerTotal(admin);
    const QString kioskSchema = servers_.kioskParams().database;
    auditBefore_ = auditFindings(admin, kioskSchema);

    folder_ = QString::fromLocal8Bit(test::testTempRoot()) + QStringLiteral("/chaos-") +
              QString::number(QCoreApplication::applicationPid());
    QDir().mkpath(folder_);
    const qint64 start = nowMs();
    const qint64 until = start + qint64(o_.seconds) * 1000;
    std::vector<std::unique_ptr<QProcess>> kiosks;
    for (int k = 0; k < o_.kiosks; ++k) {
        // The kiosk's settings give all its servers one port: each link listens at that port on
        // an address of its own, 127.97.(server).(kiosk).
        const QStringList hosts = servers_.hosts(k);
        QStringList addresses;
        auto& links = links_.emplace_back();
        for (int j = 0; j < int(hosts.size()); ++j) {
            addresses << (servers_.cluster() ? QStringLiteral("127.97.%1.%2").arg(j + 1).arg(k + 1)
                                             : QStringLiteral("127.0.0.1"));
            links.push_back(std::make_unique<test::TcpProxy>(
                servers_.port(), addresses.back().toLatin1().constData(),
                links.empty() ? 0 : links.front()->port(), hosts[j].toLatin1().constData()));
        }
        const QString state = folder_ + QStringLiteral("/kiosk%1").arg(k + 1);
        QDir().mkpath(state);
        QFile::setPermissions(state, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("STATE_DIRECTORY"), state);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(self,
                 {QStringLiteral("--kiosk"), QString::number(k + 1), QStringLiteral("--kiosks"),
                  QString::number(o_.kiosks), QStringLiteral("--hosts"), addresses.join(u','),
                  QStringLiteral("--port"), QString::number(links.front()->port()),
                  QStringLiteral("--seed"), QString::number(o_.seed * 1000003ULL + quint64(k)),
                  QStringLiteral("--until"), QString::number(until), QStringLiteral("--record"),
                  state + QStringLiteral("/record.tsv"), QStringLiteral("--pause"),
                  QString::number(o_.pause)});
        kiosks.push_back(std::move(p));
    }

    // Faults from 2 s in until 15 s before the end, so the last one is over before the kiosks
    // settle; bounded in number.
    const int most = o_.faults >= 0 ? o_.faults : o_.seconds / 3;
    std::vector<Fault> kinds = {CutBefore, CutAfter, Kill, Hold};
    kinds.push_back(o_.cluster ? NodeStop : ServerKill);
    if (o_.cluster)
        kinds.push_back(NodeIsolate);
    // Long outages: the first 10 s in, then one per 150 s, each over before the faults end.
    const int longOutages = o_.longOutage ? std::max(1, o_.seconds / 150) : 0;
    pause(2000);
    for (int made = 0; made < most && nowMs() < until - 15000; ++made) {
        const bool longOne = faults_[LongOutage] < longOutages &&
                             nowMs() >= start + 10000 + faults_[LongOutage] * 150000LL &&
                             nowMs() + kLongOutageMs[1] + 9000 < until - 15000;
        inject(longOne ? LongOutage : kinds[std::size_t(pick(0, int(kinds.size()) - 1))]);
        pause(pick(500, 3000));
    }
    while (nowMs() < until)
        pause(200);
    for (auto& p : kiosks) {
        while (!p->waitForFinished(1000))
            office(servers_.admin());
    }
    office(servers_.admin());
    if (servers_.cluster())
        test::GaleraCluster::instance().waitForSync();

    for (int k = 0; k < o_.kiosks; ++k) {
        QFile f(folder_ + QStringLiteral("/kiosk%1/record.tsv").arg(k + 1));
        if (!f.open(QIODevice::ReadOnly)) {
            violation(QStringLiteral("kiosk stuck"),
                      QStringLiteral("kiosk %1 left no record").arg(k + 1));
            continue;
        }
        bool ended = false;
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const QStringList fields = QString::fromUtf8(raw).split(u'\t');
            if (fields[0] == QLatin1String("A")) {
                attempts_.push_back(parseAttempt(fields));
                attempts_.back().kiosk = k;
            } else if (fields[0] == QLatin1String("S") && fields.size() >= 3) {
                // A PIN change's id names its account: the latest settlement is the one asked.
                settled_[fields[1]] = fields[2];
                ++settlements_;
            } else if (fields[0] == QLatin1String("M"))
                ++moves_;
            else if (fields[0] == QLatin1String("P") && fields.size() >= 4)
                pins_[fields[1]] = {fields[2], fields[3] == QLatin1String("1")};
            else if (fields[0] == QLatin1String("E") && fields.size() >= 4) {
                ended = true;
                if (fields[2] != QLatin1String("0") || fields[1].toInt() == 0)
                    violation(QStringLiteral("kiosk stuck"),
                              QStringLiteral("kiosk %1: %2 attempts, %3")
                                  .arg(k + 1)
                                  .arg(fields[1], fields[3]));
            }
        }
        if (!ended || kiosks[std::size_t(k)]->exitCode() != 0)
            violation(QStringLiteral("kiosk stuck"),
                      QStringLiteral("kiosk %1 did not end").arg(k + 1));
    }
    const bool clean = check(kioskSchema);
    if (clean)
        QDir(folder_).removeRecursively();
    else
        std::printf("  the kiosks' records: %s\n", qPrintable(folder_));
    return clean ? 0 : 1;
}

double percentile(std::vector<qint64> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return double(v[std::min(v.size() - 1, std::size_t(p * double(v.size())))]);
}

bool Driver::check(const QString& kioskSchema) {
    Connection& admin = servers_.admin();
    // What the kiosks' user wrote in the run, as the server holds it now.
    struct Row {
        QString account, other, kuitansi;
        qint64 in = 0, out = 0, after = 0;
    };
    std::map<QString, Row> debits, credits;
    Sql rows;
    rows << "SELECT trans_id, trans_kode, trans_rekening, trans_ob_rekening, trans_jumlah_masuk, "
            "trans_jumlah_keluar, COALESCE(trans_saldo_akhir, 0), COALESCE(trans_kuitansi, '') "
            "FROM `cashless-adm`.data_tabungan_trans WHERE trans_status = 0 AND trans_id LIKE "
            "'KLD%' AND (trans_rekening LIKE '0197%' OR trans_ob_rekening LIKE '0197%')";
    for (Recordset rs = admin.open(rows); !rs.eof(); rs.moveNext()) {
        Row r{rs.value(2).toString(),   rs.value(3).toString(),   rs.value(7).toString(),
              rs.value(4).toLongLong(), rs.value(5).toLongLong(), rs.value(6).toLongLong()};
        (rs.value(1).toString() == QLatin1String("14") ? debits : credits)[rs.value(0).toString()] =
            r;
    }
    QSet<QString> copies;
    // The kiosk's copies, in the kiosk's own schema (its user's default).
    Connection kiosk;
    kiosk.connect(servers_.kioskParams());
    for (Recordset rs = kiosk.open(Sql("SELECT trans_id FROM data_transaksi WHERE trans_rekening "
                                       "LIKE '0197%'"));
         !rs.eof(); rs.moveNext())
        copies.insert(rs.value(0).toString());
    // Each order's lines: how many, what they add up to, and its price.
    struct Order {
        int lines = 0;
        qint64 sum = 0, price = 0;
    };
    std::map<QString, Order> orderLines;
    QHash<QString, QString> orderPayer;
    for (Recordset rs =
             admin.open(Sql("SELECT o.order_kode, o.order_rekening, COUNT(l.list_order), "
                            "COALESCE(SUM(l.list_jumlah), 0), o.order_harga FROM `aio-kirna`."
                            "data_barang_order o LEFT JOIN `aio-kirna`.data_barang_order_list l ON "
                            "l.list_order = o.order_kode WHERE o.order_rekening LIKE '0197%' "
                            "GROUP BY o.order_kode, o.order_rekening, o.order_harga"));
         !rs.eof(); rs.moveNext()) {
        orderPayer[rs.value(0).toString()] = rs.value(1).toString();
        orderLines[rs.value(0).toString()] = {rs.value(2).toInt(), rs.value(3).toLongLong(),
                                              rs.value(4).toLongLong()};
    }
    QSet<QString> shopCopies;
    for (Recordset rs = admin.open(Sql("SELECT trans_order FROM `aio-kirna`.data_transaksi WHERE "
                                       "trans_rekening LIKE '0197%'"));
         !rs.eof(); rs.moveNext())
        shopCopies.insert(rs.value(0).toString());

    // The postings the students were told are stored, and what each moves.
    std::map<QString, qint64> expected = before_;
    QSet<QString> stored, orders;
    // The balance each stored posting found under the payer's lock, by account.
    struct Seen {
        qint64 before = 0, t0 = 0, t1 = 0;
        QString id;
    };
    std::map<QString, std::vector<Seen>> seen;
    int posted = 0, refused = 0, failed = 0, doubt = 0, design = 0;
    std::vector<qint64> calm, stormy;
    const auto money = [](const Attempt& a) {
        return a.kind != QLatin1String("pin") && a.kind != QLatin1String("block");
    };
    const auto during = [](const Attempt& a, const Window& w) {
        return a.t0 <= w.to + 1000 && a.t1 >= w.from;
    };
    for (Window& w : windows_) {
        for (const Attempt& a : attempts_) {
            if (a.kiosk == w.kiosk && during(a, w))
                w.touched << a.account << a.other;
        }
    }
    for (const Attempt& a : attempts_) {
        const qint64 ms = a.t1 - a.t0;
        // A fault on a kiosk's link meets that kiosk and whoever waits for the locks of its
        // postings; one on a server (a KILL, whoever's session it ended) every kiosk.
        const bool inFault = std::any_of(windows_.begin(), windows_.end(), [&](const Window& w) {
            return during(a, w) && (w.kiosk < 0 || w.kiosk == a.kiosk ||
                                    w.touched.contains(a.account) || w.touched.contains(a.other));
        });
        (inFault ? stormy : calm).push_back(ms);
        if (a.outcome == QLatin1String("refused") && a.reason.isEmpty())
            violation(QStringLiteral("refused without a reason"), a.kind + QLatin1Char(' ') + a.id);
        // The kiosk checks every rule of the ledger's guard first: a row the guard refused is a
        // kiosk that broke one. Nothing booked with no fault around it has no excuse either.
        const QString what =
            a.kind + QLatin1Char(' ') + a.account + QStringLiteral(": ") + a.reason;
        if (a.reason.contains(QLatin1String("ditolak untuk pengguna kiosk")))
            violation(QStringLiteral("refused by the ledger's guard"), what);
        else if (a.outcome == QLatin1String("failed") && !inFault)
            violation(QStringLiteral("nothing booked, and no fault explains it"), what);
        bool isStored = a.outcome == QLatin1String("posted");
        if (a.outcome == QLatin1String("refused")) {
            ++refused;
            if (a.reason == QLatin1String("right PIN refused") ||
                a.reason == QLatin1String("payer refused"))
                violation(QStringLiteral("PIN or card not as the kiosk holds it"),
                          a.kind + QLatin1Char(' ') + a.account);
            // A refusal by a rule must be one: the spendable balance it found is at most the
            // amount, the limit or quota left below it.
            const QString rule = a.reason.section(u' ', 0, 0);
            bool number = false;
            const qint64 found = a.reason.section(u' ', 1, 1).toLongLong(&number);
            if (number && (rule == QLatin1String("balance") ? a.amount < found
                           : rule == QLatin1String("limit") || rule == QLatin1String("quota")
                               ? a.amount <= found
                               : false))
                violation(QStringLiteral("refused, but its rule allowed it"), what);
        } else if (a.outcome == QLatin1String("failed"))
            ++failed;
        else if (a.outcome == QLatin1String("design"))
            ++design;
        else if (a.outcome == QLatin1String("doubt")) {
            ++doubt;
            const auto s = settled_.find(a.id);
            if (s == settled_.end()) {
                violation(QStringLiteral("in doubt, never settled"), a.id);
                continue;
            }
            if (money(a)) {
                // A daily id or order code undone with our posting may since be another kiosk's.
                const auto d = debits.find(a.id);
                const bool truth =
                    a.kind == QLatin1String("shop") && s->second != QLatin1String("stored")
                        ? orderPayer.value(a.id) == a.account
                        : d != debits.end() && d->second.account == a.account &&
                              d->second.out == a.amount;
                const bool told = s->second != QLatin1String("notbooked");
                if (truth != told)
                    violation(QStringLiteral("in doubt, settled against the truth"),
                              a.id + QLatin1Char(' ') + s->second);
            }
            isStored = s->second == QLatin1String("stored");
        } else
            ++posted;
        if (a.kind == QLatin1String("shop") && !a.order.isEmpty()) {
            if (orders.contains(a.order))
                violation(QStringLiteral("id used twice"), a.order);
            orders.insert(a.order);
        }
        if (!isStored || !money(a))
            continue;
        if (stored.contains(a.id)) {
            violation(QStringLiteral("id used twice"), a.id);
            continue;
        }
        stored.insert(a.id);
        expected[a.account] -= a.amount;
        expected[a.other] += a.amount;
        const auto d = debits.find(a.id);
        if (d == debits.end() || d->second.account != a.account || d->second.out != a.amount ||
            d->second.other != a.other) {
            violation(QStringLiteral("stored posting missing or wrong in the ledger"), a.id);
            continue;
        }
        seen[a.account].push_back({d->second.after + d->second.out, a.t0, a.t1, a.id});
        // A product payment's copy carries "#" after its id and its credit "##"; a transfer's
        // credit "#".
        const bool product = a.kind == QLatin1String("product");
        if (!copies.contains(product ? a.id + QLatin1Char('#') : a.id))
            violation(QStringLiteral("stored posting without the kiosk's copy"), a.id);
        const QString creditId = product                               ? a.id + QStringLiteral("##")
                                 : a.kind == QLatin1String("transfer") ? a.id + QLatin1Char('#')
                                                                       : a.credit;
        if (!creditId.isEmpty()) {
            const auto c = credits.find(creditId);
            if (c == credits.end() || c->second.account != a.other || c->second.in != a.amount)
                violation(QStringLiteral("stored posting without its credit"), a.id);
        }
        if (a.kind == QLatin1String("shop")) {
            const QString code = d->second.kuitansi;
            const Order& o = orderLines[code];
            if (o.lines < 2 || !shopCopies.contains(code))
                violation(QStringLiteral("paid order without its lines or the shop's copy"), code);
            else if (o.sum != o.price || o.price != a.amount)
                violation(QStringLiteral("paid order whose lines are not its price"),
                          QStringLiteral("%1: lines %2, price %3, paid %4")
                              .arg(code)
                              .arg(o.sum)
                              .arg(o.price)
                              .arg(a.amount));
        }
    }
    // Two postings of one account at the same time queue for its lock, so the second finds the
    // balance the first left: both finding one balance means one read it without the lock.
    for (auto& [account, postings] : seen) {
        std::sort(postings.begin(), postings.end(),
                  [](const Seen& x, const Seen& y) { return x.before < y.before; });
        for (std::size_t i = 0; i < postings.size(); ++i) {
            const Seen& x = postings[i];
            for (std::size_t j = i + 1; j < postings.size() && postings[j].before == x.before;
                 ++j) {
                const Seen& y = postings[j];
                if (x.t0 <= y.t1 && y.t0 <= x.t1)
                    violation(QStringLiteral("two postings at once found one balance"),
                              QStringLiteral("%1: %2 and %3 both found %4")
                                  .arg(account, x.id, y.id)
                                  .arg(x.before));
            }
        }
    }
    for (const auto& [id, row] : debits) {
        if (!stored.contains(id))
            violation(QStringLiteral("ledger row of a posting not reported stored"),
                      id + QLatin1Char(' ') + row.account);
        if (row.after <= 0)
            violation(QStringLiteral("below the minimum balance"), id);
    }
    for (const QString& copyId : copies) {
        const QString id = copyId.endsWith(QLatin1Char('#')) ? copyId.chopped(1) : copyId;
        if (!stored.contains(id))
            violation(QStringLiteral("kiosk copy of a posting not reported stored"), copyId);
    }
    if (credits.size() != debits.size())
        violation(QStringLiteral("credits and debits not as many"),
                  QStringLiteral("%1 credits, %2 debits").arg(credits.size()).arg(debits.size()));

    QStringList accounts;
    for (const auto& [account, amount] : expected)
        accounts << account;
    for (const auto& [account, amount] : balances(admin, accounts)) {
        if (amount != expected[account])
            violation(QStringLiteral("balance not what the students were told"),
                      QStringLiteral("%1: %2, expected %3")
                          .arg(account)
                          .arg(amount)
                          .arg(expected[account]));
    }
    Sql minimum;
    minimum << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening "
               "LIKE '0197%' AND COALESCE((SELECT saldo_buku FROM `cashless-adm`."
               "data_tabungan_saldo WHERE saldo_rekening = tab_rekening), 0) <= tab_saldo_minimum";
    for (Recordset rs = admin.open(minimum); !rs.eof(); rs.moveNext())
        violation(QStringLiteral("below the minimum balance"), rs.value(0).toString());
    if (ledgerTotal(admin) != totalBefore_)
        violation(QStringLiteral("money made or lost"),
                  QStringLiteral("%1 before, %2 after").arg(totalBefore_).arg(ledgerTotal(admin)));
    for (Recordset rs = admin.open(Sql("CALL `cashless-adm`.RekonsiliasiSaldo(NULL, 0)"));
         !rs.eof(); rs.moveNext())
        violation(QStringLiteral("running total not the ledger's sum"), rs.value(0).toString());
    // A session the watchdog ended is a finding too: no real posting may last that long. A
    // simulated kiosk changes the PINs of its accounts far faster than students at a kiosk do,
    // more in a minute than the audit lets one writer.
    for (const QString& finding : auditFindings(admin, kioskSchema)) {
        if (!auditBefore_.contains(finding) &&
            !finding.startsWith(QLatin1String("UBAH_KARTU_PIN_BANYAK")))
            violation(QStringLiteral("AuditTransaksiKiosk finding"), finding);
    }
    Sql pins;
    pins << "SELECT tab_rekening, tab_pin FROM `cashless-adm`.data_tabungan_master WHERE "
            "tab_rekening LIKE '0197%'";
    for (Recordset rs = admin.open(pins); !rs.eof(); rs.moveNext()) {
        const auto held = pins_.find(rs.value(0).toString());
        if (held == pins_.end())
            continue;
        const QString want = held->second.second
                                 ? runAccount(rs.value(0).toString().mid(4, 2).toInt(),
                                              rs.value(0).toString().right(2).toInt())
                                       .officePin
                                 : held->second.first;
        if (rs.value(1).toString() != want)
            violation(QStringLiteral("PIN or card not as the kiosk holds it"), held->first);
    }

    int total = 0;
    for (const auto& [kind, n] : violations_)
        total += n;
    std::printf("kalinda_chaos: seed %llu, %d kiosks, %s, %d s\n",
                static_cast<unsigned long long>(o_.seed), o_.kiosks,
                o_.cluster ? "three-node cluster" : "one server", o_.seconds);
    std::printf("  attempts %zu: posted %d, refused %d, failed (nothing booked) %d, in doubt %d, "
                "refused by design %d\n",
                attempts_.size(), posted, refused, failed, doubt, design);
    std::printf("  in doubt settled: %d\n", settlements_);
    std::printf("  faults:\n");
    for (int f = 0; f < kFaultKinds; ++f) {
        if (faults_[f] > 0 || (f < ServerKill) || (o_.cluster ? f >= NodeStop : f == ServerKill) ||
            (f == LongOutage && o_.longOutage))
            std::printf("    %-20s %d\n", kFaultNames[f], faults_[f]);
    }
    if (o_.cluster)
        std::printf("  kiosk moved to another node: %d\n", moves_);
    std::printf("  violations: %d\n", total);
    for (const auto& [kind, n] : violations_)
        std::printf("    %-50s %d\n", kind.toUtf8().constData(), n);
    std::printf("  latency ms      p50      p99   attempts\n");
    std::printf("    no fault  %7.0f  %7.0f   %zu\n", percentile(calm, 0.5), percentile(calm, 0.99),
                calm.size());
    std::printf("    fault     %7.0f  %7.0f   %zu\n", percentile(stormy, 0.5),
                percentile(stormy, 0.99), stormy.size());
    std::fflush(stdout);
    return total == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const QStringList args = [&] {
        QStringList a;
        for (int i = 0; i < argc; ++i)
            a << QString::fromLocal8Bit(argv[i]);
        return a;
    }();
    const auto value = [&](const char* name, const QString& fallback) {
        const int i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
    };
    if (args.contains(QStringLiteral("--kiosk"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        KioskOptions k;
        k.kiosk = value("--kiosk", QStringLiteral("1")).toInt();
        k.kiosks = value("--kiosks", QStringLiteral("1")).toInt();
        k.hosts = value("--hosts", QStringLiteral("127.0.0.1")).split(u',');
        k.port = value("--port", QStringLiteral("0")).toInt();
        k.seed = value("--seed", QStringLiteral("0")).toULongLong();
        k.until = value("--until", QStringLiteral("0")).toLongLong();
        k.record = value("--record", QString());
        k.pause = std::max(1, value("--pause", QStringLiteral("500")).toInt());
        try {
            return runKiosk(k);
        } catch (const std::exception& e) {
            std::cerr << "kiosk " << k.kiosk << ": " << e.what() << '\n';
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    if (args.contains(QStringLiteral("--help"))) {
        std::printf("kalinda_chaos [--seed N] [--seconds S] [--kiosks K] [--faults N] [--pause MS] "
                    "[--cluster] [--long-outage]\n");
        return 0;
    }
    Options o;
    o.seed = value("--seed", QString::number(std::random_device{}())).toULongLong();
    o.seconds = std::max(20, value("--seconds", QStringLiteral("30")).toInt());
    o.kiosks = std::clamp(value("--kiosks", QStringLiteral("4")).toInt(), 1, 99);
    o.faults = value("--faults", QStringLiteral("-1")).toInt();
    o.cluster = args.contains(QStringLiteral("--cluster"));
    o.longOutage = o.cluster || args.contains(QStringLiteral("--long-outage"));
    o.pause = value("--pause", QStringLiteral("500")).toInt();
    std::printf("kalinda_chaos: seed %llu\n", static_cast<unsigned long long>(o.seed));
    std::fflush(stdout);
    try {
        Servers servers(o.cluster);
        Driver driver(o, servers);
        return driver.run(QCoreApplication::applicationFilePath());
    } catch (const std::exception& e) {
        std::cerr << "kalinda_chaos: " << e.what() << '\n';
        return 2;
    }
}
