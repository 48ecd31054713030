#include "benchmark_run.h"
#include "support/galera_cluster.h"

using namespace kalinda::test;

TEST(Benchmarks, TheClusterOneRunsOnAClusterOfItsOwn) {
    if (const QString reason = GaleraCluster::unavailableReason(); !reason.isEmpty())
        GTEST_SKIP() << reason.toStdString();
    GaleraCluster& cluster = GaleraCluster::instance();
    QStringList hosts;
    for (int n = 0; n < GaleraCluster::kNodes; ++n)
        hosts << cluster.host(n);
    expectBenchmarkRuns(QStringLiteral("kalinda_bench_cluster"),
                        {QStringLiteral("--hosts"), hosts.join(QLatin1Char(',')),
                         QStringLiteral("--port"), QString::number(cluster.sqlPort()),
                         QStringLiteral("--admin-socket"), cluster.adminParams(0).unixSocket,
                         QStringLiteral("--rounds"), QStringLiteral("1"),
                         QStringLiteral("--per-kiosk"), QStringLiteral("2")});
}
