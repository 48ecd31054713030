// Times product payments the way the kiosk makes them (PIN check, then the posting up to its
// commit) and counts the statements each sends. Runs against the demo database of scripts/db
// unless told otherwise; the demo data gets the payments, `scripts/db reset` removes them.
//
//   build/tools/kalinda_bench_posting [--count N] [--kiosks K] [--port P] [--host H]

#include "app/connection.h"
#include "app/settings.h"
#include "postings/product_payment.h"
#include "visit/card_lookup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <iostream>
#include <thread>
#include <vector>

using namespace kalinda;

namespace {

ProductPaymentInput payment(Rupiah balance) {
    ProductPaymentInput in;
    in.NoRekening = in.txtNorek = QStringLiteral("010100000010"); // Budi Santoso
    in.NoCif = QStringLiteral("240100010");
    in.Rfid = in.txtRfid = QStringLiteral("0004417010");
    in.txtNama = QStringLiteral("Budi Santoso");
    in.txtKelas = QStringLiteral("10 IPA 1");
    in.cboJenis = QStringLiteral("003 : Jajan Kantin");
    in.txtRekTujuan = QStringLiteral("020100000003");
    in.channel = QStringLiteral("KLD01");
    in.amount = 100;
    in.balance = balance;
    return in;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("count"), QStringLiteral("Payments per kiosk."),
                       QStringLiteral("N"), QStringLiteral("200")});
    options.addOption({QStringLiteral("kiosks"), QStringLiteral("Kiosks posting at once."),
                       QStringLiteral("K"), QStringLiteral("1")});
    options.addOption({QStringLiteral("host"), QStringLiteral("Server."), QStringLiteral("H"),
                       DecodeSetting(builtInSettings().hosts[0])});
    options.addOption({QStringLiteral("port"), QStringLiteral("Port."), QStringLiteral("P"),
                       DecodeSetting(builtInSettings().portLocal)});
    options.process(app);
    const int count = options.value(QStringLiteral("count")).toInt();
    const int kiosks = std::max(1, options.value(QStringLiteral("kiosks")).toInt());

    ConnectParams params;
    params.host = options.value(QStringLiteral("host"));
    params.port = options.value(QStringLiteral("port")).toInt();
    params.user = DecodeSetting(builtInSettings().user);
    params.password = DecodeSetting(builtInSettings().password);
    params.database = DecodeSetting(builtInSettings().database);

    std::vector<std::vector<double>> times(kiosks);
    std::atomic<long long> statements{0};
    std::atomic<int> posted{0};
    std::atomic<int> refused{0};
    std::atomic<int> failed{0};
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    for (int k = 0; k < kiosks; ++k) {
        threads.emplace_back([&, k] {
            Connection db;
            db.connect(params);
            if (db.status() != 0) {
                std::cerr << "cannot connect: " << db.lastError().toStdString() << '\n';
                ++failed;
                return;
            }
            for (int i = 0; i < count; ++i) {
                StatementRecorder recorder;
                QElapsedTimer t;
                t.start();
                try {
                    const auto balance = checkPaymentPin(db, QStringLiteral("010100000010"),
                                                         QStringLiteral("555555"));
                    const auto r = postProductPayment(db, payment(balance.value_or(0)));
                    (r.outcome == ProductPaymentResult::Outcome::Posted ? posted : refused)++;
                } catch (const std::exception& e) {
                    std::cerr << e.what() << '\n';
                    ++failed;
                }
                times[k].push_back(t.nsecsElapsed() / 1e6);
                if (kiosks == 1)
                    statements += recorder.statements().size();
            }
        });
    }
    for (auto& t : threads)
        t.join();
    std::vector<double> all;
    for (const auto& t : times)
        all.insert(all.end(), t.begin(), t.end());
    if (all.empty())
        return 1;
    std::sort(all.begin(), all.end());
    const auto at = [&](double q) { return all[static_cast<std::size_t>(q * (all.size() - 1))]; };
    std::cout << "kiosks " << kiosks << ", payments " << all.size() << ": posted " << posted
              << ", refused " << refused << ", failed " << failed << '\n'
              << "ms per payment (PIN check to commit): median " << at(0.5) << ", p90 " << at(0.9)
              << ", max " << all.back() << '\n'
              << "throughput " << all.size() * 1000.0 / wall.elapsed() << " payments/s\n";
    if (kiosks == 1)
        std::cout << "statements (round trips) per payment: "
                  << static_cast<double>(statements) / all.size() << '\n';
    return failed == 0 ? 0 : 1;
}
