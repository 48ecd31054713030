// Times shop orders of five lines the way the shop form makes them after BAYAR (the PIN check,
// then storing and paying the order up to its commit) and counts the statements each sends.
// Several kiosks may order from the one account at once. Runs against the demo database of
// scripts/db; first raises the account's quota and balance as root over that server's socket.
//
//   build/tools/kalinda_bench_shop_order [--count N] [--kiosks K] [--port P] [--admin-socket S]

#include "app/connection.h"
#include "app/settings.h"
#include "bench_server.h"
#include "postings/shop_order.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <iostream>
#include <limits>
#include <thread>
#include <vector>

using namespace kalinda;

namespace {

const QString kAccount = QStringLiteral("010100000010");

ShopOrderInput order(Rupiah balance) {
    ShopOrderInput in;
    in.NoRekening = in.txtNorek = kAccount;
    in.NoCif = QStringLiteral("240100010");
    in.Rfid = in.txtRfid = QStringLiteral("0004417010");
    in.txtNama = QStringLiteral("Budi Santoso");
    in.txtKelas = QStringLiteral("10 IPA 1");
    in.deliverySlot = QStringLiteral("Malam");
    in.channel = QStringLiteral("KLD01");
    in.version = QStringLiteral("1.0.1");
    in.shopAccount = QStringLiteral("020100000099");
    in.balance = balance;
    const struct {
        const char* entry;
        Rupiah price;
    } items[] = {{"K001 : Air Mineral 600ml", 3500},
                 {"K002 : Roti Coklat", 5000},
                 {"K003 : Mie Instan", 3500},
                 {"K007 : Pulpen", 2500},
                 {"K009 : Biskuit", 2500}};
    for (const auto& item : items)
        in.cart.add(
            ShopCart::lineFromEntry(QString::fromUtf8(item.entry), item.price, 1, item.price));
    return in;
}

Rupiah activeBalance(Connection& db) {
    Sql s;
    s << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(kAccount) << "', CURDATE()) as S";
    return toRupiah(db.open(s).value(QStringLiteral("S")));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOption({QStringLiteral("count"), QStringLiteral("Orders per kiosk."),
                       QStringLiteral("N"), QStringLiteral("100")});
    options.addOption({QStringLiteral("kiosks"), QStringLiteral("Kiosks ordering at once."),
                       QStringLiteral("K"), QStringLiteral("1")});
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.process(app);
    const int count = options.value(QStringLiteral("count")).toInt();
    const int kiosks = std::max(1, options.value(QStringLiteral("kiosks")).toInt());

    const ConnectParams params = bench::serverParams(options);
    const bench::KioskLimitsLifted unlimited(bench::adminParams(options, params));

    {
        // The demo account's daily limit and balance would soon refuse the orders.
        Connection admin;
        if (!bench::connectAdminOrSay(admin, bench::adminParams(options, params)))
            return 1;
        Sql s;
        s << "UPDATE `cashless-adm`.data_tabungan_master SET tab_limit_jajan = 1000000000 "
          << "WHERE tab_rekening = '" << esc(kAccount) << "'";
        admin.execute(s);
        Sql deposit;
        deposit
            << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = CONCAT('BN', RIGHT("
               "UUID_SHORT(), 12)), trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = "
               "'"
            << esc(kAccount) << "', trans_jumlah_masuk = 100000000, trans_status = 1";
        admin.execute(deposit);
    }

    std::vector<std::vector<double>> times(kiosks);
    std::atomic<long long> statements{0};
    std::atomic<int> posted{0};
    std::atomic<int> refused{0};
    std::atomic<int> failed{0};
    std::atomic<Rupiah> lowest{std::numeric_limits<Rupiah>::max()};
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
                // Every kiosk shows the balance it read when its form opened.
                const Rupiah shown = activeBalance(db);
                StatementRecorder recorder;
                QElapsedTimer t;
                t.start();
                try {
                    if (!transactionPinMatches(db, kAccount, QStringLiteral("555555")))
                        throw std::runtime_error("PIN refused");
                    const auto r = postShopOrder(db, order(shown));
                    (r.outcome == ShopOrderResult::Outcome::Posted ? posted : refused)++;
                    if (r.outcome == ShopOrderResult::Outcome::Posted) {
                        Rupiah low = lowest;
                        while (r.balanceAfter < low &&
                               !lowest.compare_exchange_weak(low, r.balanceAfter)) {
                        }
                    }
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
    Connection check;
    check.connect(params);
    std::cout << "kiosks " << kiosks << ", five-line orders " << all.size() << ": paid " << posted
              << ", refused " << refused << ", failed " << failed << '\n'
              << "ms per order (BAYAR: PIN check to commit): median " << at(0.5) << ", p90 "
              << at(0.9) << ", max " << all.back() << '\n'
              << "throughput " << all.size() * 1000.0 / wall.elapsed() << " orders/s\n"
              << "lowest balance after a paid order " << lowest.load() << ", balance now "
              << activeBalance(check) << '\n';
    if (kiosks == 1)
        std::cout << "statements (round trips) per order: "
                  << static_cast<double>(statements) / all.size() << '\n';
    return failed == 0 ? 0 : 1;
}
