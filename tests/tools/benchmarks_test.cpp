#include "benchmark_run.h"
#include "support/mariadb_server.h"

using namespace kalinda::test;

// Each benchmark as a developer runs it against scripts/db's server (the private one stands in
// for it through KALINDA_DB_DIR), with counts small enough for seconds.
TEST(Benchmarks, EveryOneRunsAgainstAServerOfScriptsDb) {
    MariaDbServer& server = MariaDbServer::instance();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KALINDA_DB_DIR"), server.folder());
    const QStringList at = {QStringLiteral("--port"), QString::number(server.port())};
    const struct {
        const char* name;
        QStringList args;
    } runs[] = {
        {"kalinda_bench_posting",
         {"--rounds", "2", "--small", "20", "--large", "40", "--kiosk-rounds", "1", "--per-kiosk",
          "1", "--callgrind", "0", "--guard-blocks", "1"}},
        {"kalinda_bench_transfer", {"--count", "2"}},
        {"kalinda_bench_fee_payment", {"--count", "2"}},
        {"kalinda_bench_shop_order", {"--count", "2", "--kiosks", "2"}},
        {"kalinda_bench_statement", {"--rows", "20", "--repeat", "1"}},
        {"kalinda_bench_heartbeat", {"--kiosks", "3", "--interval", "1", "--seconds", "2"}},
        {"kalinda_bench_report",
         {"--seed", "5", "--pdf", server.folder() + QStringLiteral("/report.pdf")}},
        {"kalinda_bench_ledger_size",
         {"--count", "2", "--small", "100", "--large", "300", "--history", "20"}},
        // The two sizes interleaved, the "second server" being the same one.
        {"kalinda_bench_ledger_size",
         {"--count", "2", "--small", "100", "--large", "400", "--large-port",
          QString::number(server.port()), "--large-admin-socket", server.socketPath()}},
    };
    for (const auto& run : runs)
        expectBenchmarkRuns(QString::fromLatin1(run.name), run.args + at, env);
}
