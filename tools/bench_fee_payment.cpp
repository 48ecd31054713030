// Times fee payments the way the fee form makes them (PIN check, then the posting up to its
// commit) and counts the statements each sends. Runs against the demo database of scripts/db
// unless told otherwise; the demo data gets the payments, `scripts/db reset` removes them.
//
//   build/tools/kalinda_bench_fee_payment [--count N] [--port P] [--host H] [--admin-socket S]

#include "app/connection.h"
#include "app/settings.h"
#include "bench_server.h"
#include "postings/fee_payment.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <iostream>
#include <vector>

using namespace kalinda;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("count"), QStringLiteral("Payments."), QStringLiteral("N"),
                       QStringLiteral("200")});
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.process(app);

    const ConnectParams params = bench::serverParams(options);
    Connection db;
    if (!bench::connectOrSay(db, params))
        return 1;
    const bench::KioskLimitsLifted unlimited(bench::adminParams(options, params));

    FeePaymentInput in;
    in.NoRekening = in.txtNorek = QStringLiteral("010100000010"); // Budi Santoso
    in.NoCif = QStringLiteral("240100010");
    in.Rfid = in.txtRfid = QStringLiteral("0004417010");
    in.txtNama = QStringLiteral("Budi Santoso");
    in.txtKelas = QStringLiteral("10 IPA 1");
    in.judul = in.jenis = QStringLiteral("INFAQ");
    in.rekTujuan = QStringLiteral("020100000010");
    in.purposeName = QStringLiteral("Infaq");
    in.channel = QStringLiteral("KLD01");
    in.amount = 100;
    in.balance = 1000000000; // the posting reads the real balance under its lock

    const int count = options.value(QStringLiteral("count")).toInt();
    std::vector<double> times;
    std::vector<qsizetype> statements;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        StatementRecorder recorder;
        QElapsedTimer t;
        t.start();
        try {
            if (!transactionPinMatches(db, in.txtNorek, QStringLiteral("555555")) ||
                postFeePayment(db, in).outcome != FeePaymentResult::Outcome::Posted)
                ++failed;
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            ++failed;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
        statements.push_back(recorder.statements().size());
    }
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    std::sort(statements.begin(), statements.end());
    const auto at = [&](double q) {
        return times[static_cast<std::size_t>(q * (times.size() - 1))];
    };
    std::cout << "fee payments " << times.size() << ", failed " << failed << '\n'
              << "ms per payment (PIN check to commit): median " << at(0.5) << ", p90 " << at(0.9)
              << ", max " << times.back() << '\n'
              << "statements (round trips) per payment: median "
              << statements[statements.size() / 2] << '\n';
    return failed == 0 ? 0 : 1;
}
