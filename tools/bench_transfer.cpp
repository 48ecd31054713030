// Times transfers the way the transfer form makes them (PIN check, then the posting up to its
// commit) and counts the statements each sends. Two students of the demo database send 100
// back and forth, so their balances stay; `scripts/db reset` removes the rows.
//
//   build/tools/kalinda_bench_transfer [--count N] [--port P] [--host H]

#include "app/connection.h"
#include "app/settings.h"
#include "bench_server.h"
#include "postings/transfer.h"

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
    options.addOption({QStringLiteral("count"), QStringLiteral("Transfers."), QStringLiteral("N"),
                       QStringLiteral("200")});
    bench::addServerOptions(options);
    options.process(app);
    const int count = options.value(QStringLiteral("count")).toInt();

    const ConnectParams params = bench::serverParams(options);
    Connection db;
    if (!bench::connectOrSay(db, params))
        return 1;

    // Budi Santoso and Zahra Khairunnisa, 200.000 transfer limit each.
    TransferInput budi;
    budi.NoRekening = budi.txtNorek = QStringLiteral("010100000010");
    budi.NoCif = QStringLiteral("240100010");
    budi.Rfid = budi.txtRfid = QStringLiteral("0004417010");
    budi.txtNama = QStringLiteral("Budi Santoso");
    budi.txtKelas = QStringLiteral("10 IPA 1");
    TransferInput zahra = budi;
    zahra.NoRekening = zahra.txtNorek = QStringLiteral("010100000011");
    zahra.NoCif = QStringLiteral("240100011");
    zahra.Rfid = zahra.txtRfid = QStringLiteral("0004417011");
    zahra.txtNama = QStringLiteral("Zahra Khairunnisa");
    budi.txtRekening = zahra.NoRekening;
    budi.targetName = zahra.txtNama;
    zahra.txtRekening = budi.NoRekening;
    zahra.targetName = budi.txtNama;
    for (TransferInput* in : {&budi, &zahra}) {
        in->channel = QStringLiteral("KLD01");
        in->amount = 100;
    }

    std::vector<double> times;
    long long statements = 0;
    int posted = 0;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        TransferInput& in = i % 2 ? zahra : budi;
        const QString pin = i % 2 ? QStringLiteral("666666") : QStringLiteral("555555");
        StatementRecorder recorder;
        QElapsedTimer t;
        t.start();
        try {
            in.balance = checkTransferPin(db, in.NoRekening, pin).value_or(0);
            posted += postTransfer(db, in).outcome == TransferResult::Outcome::Posted;
        } catch (const std::exception& e) {
            std::cerr << e.what() << '\n';
            ++failed;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
        statements += recorder.statements().size();
    }
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    const auto at = [&](double q) {
        return times[static_cast<std::size_t>(q * (times.size() - 1))];
    };
    std::cout << "transfers " << times.size() << ": posted " << posted << ", failed " << failed
              << "\nms per transfer (PIN check to commit): median " << at(0.5) << ", p90 "
              << at(0.9) << ", max " << times.back() << "\nstatements (round trips) per transfer: "
              << static_cast<double>(statements) / times.size() << '\n';
    return failed == 0 ? 0 : 1;
}
