// Times product payments on a Galera cluster the way the kiosk makes them (PIN check, then the
// posting up to its commit): K kiosks, each with its own payer, all paying one receiver, on one
// node and spread over the nodes; payments per second, median latency and the conflicts the
// kiosks retried. Runs against the three nodes of `scripts/db cluster` and seeds its accounts
// as root over node 1's socket; see docs/benchmarks.md.
//
//   build/tools/kalinda_bench_cluster [--hosts 127.0.0.2,127.0.0.3,127.0.0.4] [--port 3306]
//                                     [--rounds N] [--per-kiosk N] [--admin-socket S]

#include "app/settings.h"
#include "bench_fixture.h"
#include "bench_server.h"
#include "postings/posting.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

using namespace kalinda;
using namespace kalinda::bench;

namespace {

struct Level {
    Level(const char* n, std::vector<int> k)
        : name(n)
        , nodes(std::move(k)) {}
    const char* name;
    std::vector<int> nodes; // the node of each kiosk
    std::vector<double> ms;
    double wallMs = 0;
    int posted = 0, failed = 0, retries = 0, mostRetries = 0;
};

void runLevel(Level& level, const std::vector<ConnectParams>& nodes, const BenchAccounts& a,
              int perKiosk) {
    std::vector<std::unique_ptr<Connection>> kiosks;
    for (int node : level.nodes) {
        kiosks.push_back(std::make_unique<Connection>());
        kiosks.back()->connect(nodes[std::size_t(node)]);
        if (kiosks.back()->status() != 0)
            throw std::runtime_error("cannot connect: " + kiosks.back()->lastError().toStdString());
    }
    std::mutex mutex;
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < kiosks.size(); ++k) {
        threads.emplace_back([&, k] {
            for (int n = 0; n < perKiosk; ++n) {
                QElapsedTimer t;
                t.start();
                bool posted = false;
                try {
                    posted = kioskPayment(*kiosks[k], a.payers[k], a.smallReceiver);
                } catch (const std::exception& e) {
                    std::cerr << "kiosk " << k + 1 << ": " << e.what() << '\n';
                }
                const std::lock_guard lock(mutex);
                level.ms.push_back(double(t.nsecsElapsed()) / 1e6);
                (posted ? level.posted : level.failed)++;
                level.retries += lastConflictRetries;
                level.mostRetries = std::max(level.mostRetries, lastConflictRetries);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    level.wallMs += double(wall.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Product payments on a Galera cluster"));
    options.addHelpOption();
    options.addOption({QStringLiteral("hosts"), QStringLiteral("The nodes."), QStringLiteral("H"),
                       QStringLiteral("127.0.0.2,127.0.0.3,127.0.0.4")});
    options.addOption({QStringLiteral("port"), QStringLiteral("Port of every node."),
                       QStringLiteral("P"), DecodeSetting(builtInSettings().portServer)});
    options.addOption({QStringLiteral("rounds"), QStringLiteral("Interleaved rounds."),
                       QStringLiteral("N"), QStringLiteral("5")});
    options.addOption({QStringLiteral("per-kiosk"), QStringLiteral("Payments per kiosk and round."),
                       QStringLiteral("N"), QStringLiteral("20")});
    bench::addAdminOptions(options,
                           bench::scriptsDbFolder("KALINDA_CLUSTER_DIR", ".kalinda/cluster") +
                               QStringLiteral("/node1/mysqld.sock"));
    options.process(app);

    std::vector<ConnectParams> nodes;
    for (const QString& host : options.value(QStringLiteral("hosts")).split(QLatin1Char(','))) {
        ConnectParams p;
        p.host = host.trimmed();
        p.port = options.value(QStringLiteral("port")).toInt();
        p.user = DecodeSetting(builtInSettings().user);
        p.password = DecodeSetting(builtInSettings().password);
        p.database = DecodeSetting(builtInSettings().database);
        nodes.push_back(p);
    }
    const int last = int(nodes.size()) - 1;
    std::vector<Level> levels = {
        {"1 kiosk, one node", {0}},
        {"2 kiosks, one node", {0, 0}},
        {"4 kiosks, one node", {0, 0, 0, 0}},
        {"2 kiosks, spread", {0, std::min(1, last)}},
        {"4 kiosks, spread", {0, std::min(1, last), std::min(2, last), 0}},
    };
    try {
        Connection admin;
        if (!connectAdminOrSay(admin, adminParams(options, nodes[0])))
            return 1;
        const BenchAccounts accounts = benchAccounts(4);
        prepare(admin, accounts, 1000, 1000, [](const QString&) {});
        const int rounds = options.value(QStringLiteral("rounds")).toInt();
        const int perKiosk = options.value(QStringLiteral("per-kiosk")).toInt();
        for (int r = 0; r < rounds; ++r) {
            for (Level& level : levels)
                runLevel(level, nodes, accounts, perKiosk);
        }
        std::printf("K kiosks, different payers, one receiver (%d interleaved rounds of %d "
                    "payments per kiosk)\n",
                    rounds, perKiosk);
        int failed = 0;
        for (const Level& l : levels) {
            std::printf("  %-20s %7.1f payments/s, median %6.2f ms; posted %d, failed %d, "
                        "conflict retries %d (at most %d for one payment)\n",
                        l.name, l.posted * 1000.0 / l.wallMs, median(l.ms), l.posted, l.failed,
                        l.retries, l.mostRetries);
            failed += l.failed;
        }
        const int differences = reconciliationDifferences(admin, accounts);
        std::printf("reconciliation of the benchmark's accounts: %d differences\n", differences);
        return differences == 0 && failed == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
