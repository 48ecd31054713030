// Times the six postings (product payment, transfer, fee payment, shop order, PIN change and
// block) the kiosk's own way, from the PIN check to the commit, on a small and on a large
// ledger, and counts their round trips. The large ledger's rows are past days' sequence ids,
// most of them on the receiving institution accounts; each size has a payer of its own with a
// history of a few hundred rows. Every kind is measured in the same run, round after round.
// Runs against the demo database of scripts/db (start from `scripts/db reset` for a small
// ledger), first the small ledger, then the same ledger grown; with a second server
// (--large-port) the large ledger lives there and the two sizes run interleaved, so that a
// busy machine slows both alike. Seeds as root over the servers' sockets; see
// docs/benchmarks.md.
//
//   build/tools/kalinda_bench_ledger_size [--count N] [--small ROWS] [--large ROWS]
//       [--history ROWS] [--host H] [--port P]
//       [--admin-socket S | --admin-user U --admin-password P]
//       [--large-host H --large-port P --large-admin-socket S]

#include "app/settings.h"
#include "bench_fixture.h"
#include "bench_server.h"
#include "postings/block_account.h"
#include "postings/fee_payment.h"
#include "postings/identifiers.h"
#include "postings/pin_change.h"
#include "postings/posting.h"
#include "postings/product_payment.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "visit/card_lookup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <vector>

using namespace kalinda;

namespace {

// The demo data's receiving accounts: the canteen (product "003"), infaq and the shop.
const QString kCanteen = QStringLiteral("020100000003");
const QString kInfaq = QStringLiteral("020100000010");
const QString kShop = QStringLiteral("020100000099");
// The friend every transfer goes to.
const QString kFriend = QStringLiteral("019900000120");

constexpr Rupiah kDeposit = 1000000000000;

// The accounts of one ledger size: a payer with a history and two PINs it changes between,
// and an account that the block posting blocks (and the benchmark unblocks again), at the
// server of that size.
struct Side {
    Connection* db = nullptr; // the kiosk
    Connection* admin = nullptr;
    QString label;
    int index = 0;
    long long rows = 0; // the whole ledger's rows to measure at
    QString payer, holder, card;
    QString pins[2];
    int pin = 0; // the payer's PIN now: pins[pin]
    QString blocked, blockedCard, blockedReg, blockedPin;
};

Side side(int n, const QString& label, long long rows) {
    const QString d = QString::number(n);
    return {nullptr,
            nullptr,
            label,
            n - 1,
            rows,
            QStringLiteral("01990000010") + d,
            QStringLiteral("BENCH10") + d,
            QStringLiteral("000990010") + d,
            {QStringLiteral("81000") + d, QStringLiteral("82000") + d},
            0,
            QStringLiteral("01990000011") + d,
            QStringLiteral("000990011") + d,
            QStringLiteral("BENCHREG1") + d,
            QStringLiteral("83000") + d};
}

long long count(Connection& db, const Sql& query) {
    return toRupiah(db.open(query).value(0));
}

long long ledgerRows(Connection& db) {
    return count(db, Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans"));
}

// The day's sequence ids so far: what the daily sequence query reads.
long long sequenceIdsToday(Connection& db) {
    Sql s;
    s << "SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_id LIKE '"
      << esc(sequencePrefix(kTransactionIds, QDate::currentDate())) << "%'";
    return count(db, s);
}

void addStudent(Connection& admin, const QString& account, const QString& card,
                const QString& holder, const QString& pin, const QString& reg) {
    Sql s;
    s << "INSERT INTO `cashless-adm`.data_tabungan_master (tab_rekening, tab_rfid, tab_nasabah, "
      << "tab_jenis, tab_limit_jajan, tab_limit_transfer, tab_pin, tab_alternatif) VALUES ('"
      << esc(account) << "', '" << esc(card) << "', '" << esc(holder) << "', 1, " << kDeposit
      << ", " << kDeposit << ", '" << esc(pin) << "', '" << esc(reg) << "') "
      << "ON DUPLICATE KEY UPDATE tab_rfid = VALUES(tab_rfid), tab_pin = VALUES(tab_pin), "
      << "tab_status = 1";
    admin.execute(s);
}

// The side's accounts as a run starts: PINs and cards back to their first values, the payer's
// history (a deposit, then spending at the canteen on past days) up to `history` rows, and
// what earlier runs posted today moved to yesterday, so that every run's payer starts the day
// with nothing spent or sent (the day's spending and transfers are read row by row).
void prepareSide(Connection& admin, Side& side, long long history) {
    addStudent(admin, side.payer, side.card, side.holder, side.pins[0], {});
    side.pin = 0;
    addStudent(admin, side.blocked, side.blockedCard, side.holder, side.blockedPin,
               side.blockedReg);
    Sql yesterday;
    yesterday << "UPDATE `cashless-adm`.data_tabungan_trans SET trans_tanggal = CURDATE() - "
              << "INTERVAL 1 DAY WHERE trans_rekening = '" << esc(side.payer)
              << "' AND trans_tanggal = CURDATE()";
    admin.execute(yesterday);
    Sql have;
    have << "SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_rekening = '"
         << esc(side.payer) << "'";
    const long long from = count(admin, have) + 1;
    if (from > history)
        return;
    Sql s;
    s << "INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, trans_kode, "
      << "trans_rekening, trans_nasabah, trans_channel, trans_jumlah_masuk, "
      << "trans_jumlah_keluar, trans_ob_jenis, trans_ob_rekening, trans_uraian, trans_status, "
      << "trans_reg_alias) SELECT CONCAT('BH', '" << esc(side.payer)
      << "', LPAD(seq, 5, '0')), CURDATE() - INTERVAL (1 + seq MOD 365) DAY, "
      << "IF(seq = 1, '15', '14'), '" << esc(side.payer) << "', '" << esc(side.holder)
      << "', 'BENCH', IF(seq = 1, " << kDeposit << ", 0), IF(seq = 1, 0, 1000), 1, '"
      << esc(kCanteen) << "', 'Jajan Kantin', 1, 'KLD|' FROM seq_" << from << "_to_" << history;
    admin.execute(s);
    Sql recompute;
    recompute << "CALL `cashless-adm`.HitungTabSaldoNasabah('" << esc(side.payer) << "')";
    admin.execute(recompute);
}

// Tops the whole ledger up to `target` rows: 1,000 a day on past days, under the sequence ids
// the kiosks would have given them (numbers 9000 and up, above a real day's), credits spread
// over the three receiving accounts, through the ledger's triggers like any posting.
void fillLedger(Connection& admin, long long target) {
    long long missing = target - ledgerRows(admin);
    if (missing <= 0)
        return;
    const bool many = missing >= 100000;
    long long next = count(admin, Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans "
                                      "WHERE trans_channel = 'BENCHSEED'")) +
                     1;
    Sql select;
    select << "SELECT CONCAT('KLD', DATE_FORMAT(CURDATE() - INTERVAL (2 + (seq - 1) DIV 1000) "
           << "DAY, '%Y%m%d'), 9000 + (seq - 1) MOD 1000), "
           << "CURDATE() - INTERVAL (2 + (seq - 1) DIV 1000) DAY, '15', ELT(1 + (seq - 1) MOD 3, '"
           << esc(kCanteen) << "', '" << esc(kInfaq) << "', '" << esc(kShop)
           << "'), 'BENCH', 'BENCHSEED', 1000, 1, '010100000001', 'Setoran', 1, 'KLD|'";
    const long long have = target - missing;
    bench::insertLedgerRows(admin, next, missing, select, [&](long long written) {
        std::cerr << "ledger: " << have + written << " of " << target << " rows\n";
    });
    // Many fresh rows leave the server writing pages out for a while; a school's server grew
    // its ledger over years. Measure once it is done (or after two minutes).
    const Sql dirty("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                    "WHERE VARIABLE_NAME = 'INNODB_BUFFER_POOL_PAGES_DIRTY'");
    const Sql total("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                    "WHERE VARIABLE_NAME = 'INNODB_BUFFER_POOL_PAGES_TOTAL'");
    for (int second = 0; many && second < 120 && count(admin, dirty) * 20 > count(admin, total);
         ++second)
        QThread::sleep(1);
}

template <typename Input>
void fillPayer(Input& in, const Side& side) {
    in.NoRekening = in.txtNorek = side.payer;
    in.NoCif = side.holder;
    in.Rfid = in.txtRfid = side.card;
    in.txtNama = QStringLiteral("Santri Bench");
    in.txtKelas = QStringLiteral("10 IPA 1");
    in.channel = QStringLiteral("KLD01");
}

struct Kind {
    const char* name;
    std::function<void(Side&)> before; // not timed
    std::function<bool(Side&)> post;   // the PIN check to the commit; true when posted
};

std::vector<Kind> kinds() {
    const auto pay = [](Side& s) {
        Connection& db = *s.db;
        ProductPaymentInput in;
        fillPayer(in, s);
        in.cboJenis = QStringLiteral("003 : Jajan Kantin");
        in.txtRekTujuan = kCanteen;
        in.amount = 100;
        in.balance = checkPaymentPin(db, s.payer, s.pins[s.pin]).value_or(0);
        return postProductPayment(db, in).outcome == ProductPaymentResult::Outcome::Posted;
    };
    const auto transfer = [](Side& s) {
        Connection& db = *s.db;
        TransferInput in;
        fillPayer(in, s);
        in.txtRekening = kFriend;
        in.targetName = QStringLiteral("Teman Bench");
        in.amount = 100;
        in.balance = checkTransferPin(db, s.payer, s.pins[s.pin]).value_or(0);
        return postTransfer(db, in).outcome == TransferResult::Outcome::Posted;
    };
    const auto fee = [](Side& s) {
        Connection& db = *s.db;
        FeePaymentInput in;
        fillPayer(in, s);
        in.judul = in.jenis = QStringLiteral("INFAQ");
        in.rekTujuan = kInfaq;
        in.purposeName = QStringLiteral("Infaq");
        in.amount = 100;
        in.balance = kDeposit; // the posting reads the real balance under its lock
        return transactionPinMatches(db, s.payer, s.pins[s.pin]) &&
               postFeePayment(db, in).outcome == FeePaymentResult::Outcome::Posted;
    };
    const auto order = [](Side& s) {
        Connection& db = *s.db;
        ShopOrderInput in;
        fillPayer(in, s);
        in.deliverySlot = QStringLiteral("Malam");
        in.version = QStringLiteral("1.0.1");
        in.shopAccount = kShop;
        in.balance = kDeposit;
        for (const char* item : {"K001 : Air Mineral 600ml", "K002 : Roti Coklat",
                                 "K003 : Mie Instan", "K007 : Pulpen", "K009 : Biskuit"})
            in.cart.add(ShopCart::lineFromEntry(QString::fromUtf8(item), 3500, 1, 3500));
        return transactionPinMatches(db, s.payer, s.pins[s.pin]) &&
               postShopOrder(db, in).outcome == ShopOrderResult::Outcome::Posted;
    };
    const auto changePinKind = [](Side& s) {
        PinChangeInput in;
        in.txtNorek = s.payer;
        in.txtRfid = s.card;
        in.txtNama = QStringLiteral("Santri Bench");
        in.txtKelas = QStringLiteral("10 IPA 1");
        in.pinLama = s.pins[s.pin];
        in.pinBaru = s.pins[1 - s.pin];
        if (changePin(*s.db, in) != PinChangeOutcome::Changed)
            return false;
        s.pin = 1 - s.pin;
        return true;
    };
    const auto unblock = [](Side& s) {
        Sql sql;
        sql << "UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = '" << esc(s.blockedCard)
            << "', tab_pin = '" << esc(s.blockedPin) << "' WHERE tab_rekening = '" << esc(s.blocked)
            << "'";
        s.admin->execute(sql);
    };
    const auto block = [](Side& s) {
        BlockInput in;
        in.txtReg = s.blockedReg;
        in.txtPin = s.blockedPin;
        return blockAccount(*s.db, in).outcome == BlockResult::Outcome::Blocked;
    };
    const auto nothing = [](Side&) {};
    return {{"product payment", nothing, pay},      {"transfer", nothing, transfer},
            {"fee payment", nothing, fee},          {"shop order", nothing, order},
            {"PIN change", nothing, changePinKind}, {"block", unblock, block}};
}

struct Cell {
    std::vector<double> ms;
    std::vector<qsizetype> trips;
    int failed = 0;
};

double at(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

// Every kind once untimed (caches warm), then `rounds` rounds of one posting of each kind on
// each side of `group`. cells[side][kind].
void measure(const std::vector<Kind>& all, const std::vector<Side*>& group, int rounds,
             std::vector<std::vector<Cell>>& cells) {
    for (int r = -1; r < rounds; ++r) {
        for (std::size_t k = 0; k < all.size(); ++k) {
            // Every other round the other side first: no side always follows the other's commit.
            std::vector<Side*> order = group;
            if (r % 2 != 0)
                std::reverse(order.begin(), order.end());
            for (Side* side : order) {
                Cell& cell = cells[static_cast<std::size_t>(side->index)][k];
                all[k].before(*side);
                StatementRecorder recorder;
                QElapsedTimer t;
                t.start();
                bool posted = false;
                try {
                    posted = all[k].post(*side);
                } catch (const std::exception& e) {
                    std::cerr << all[k].name << ": " << e.what() << '\n';
                }
                const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
                if (!posted)
                    ++cell.failed;
                else if (r >= 0) {
                    cell.ms.push_back(ms);
                    cell.trips.push_back(recorder.statements().size());
                }
            }
        }
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    options.addHelpOption();
    options.addOptions({
        {QStringLiteral("count"), QStringLiteral("Postings of each kind and size."),
         QStringLiteral("N"), QStringLiteral("40")},
        {QStringLiteral("small"), QStringLiteral("Ledger rows of the small case."),
         QStringLiteral("ROWS"), QStringLiteral("1000")},
        {QStringLiteral("large"), QStringLiteral("Ledger rows of the large case."),
         QStringLiteral("ROWS"), QStringLiteral("1000000")},
        {QStringLiteral("history"), QStringLiteral("Ledger rows of each payer."),
         QStringLiteral("ROWS"), QStringLiteral("300")},
    });
    bench::addServerOptions(options);
    bench::addAdminOptions(options);
    options.addOptions({
        {QStringLiteral("large-host"), QStringLiteral("A second server for the large ledger."),
         QStringLiteral("H"), QStringLiteral("127.0.0.1")},
        {QStringLiteral("large-port"), QStringLiteral("Its port: the sizes then run interleaved."),
         QStringLiteral("P")},
        {QStringLiteral("large-admin-socket"), QStringLiteral("root's unix socket there."),
         QStringLiteral("S")},
    });
    options.process(app);
    const auto number = [&](const char* name) {
        return options.value(QString::fromLatin1(name)).toLongLong();
    };
    const bool twoServers = options.isSet(QStringLiteral("large-port"));

    const ConnectParams params = bench::serverParams(options);
    ConnectParams largeParams = params;
    ConnectParams largeAdmin = bench::adminParams(options, params);
    if (twoServers) {
        largeParams.host = options.value(QStringLiteral("large-host"));
        largeParams.port = static_cast<int>(number("large-port"));
        largeAdmin = bench::adminParams(options, largeParams);
        if (!options.isSet(QStringLiteral("admin-user"))) {
            if (!options.isSet(QStringLiteral("large-admin-socket"))) {
                std::cerr << "--large-port needs --large-admin-socket (or --admin-user)\n";
                return 1;
            }
            largeAdmin.unixSocket = options.value(QStringLiteral("large-admin-socket"));
        }
    }
    Connection db[2];
    Connection admin[2];
    if (!bench::connectOrSay(db[0], params) ||
        !bench::connectAdminOrSay(admin[0], bench::adminParams(options, params)) ||
        !bench::connectOrSay(db[1], largeParams) || !bench::connectAdminOrSay(admin[1], largeAdmin))
        return 1;
    const bench::KioskLimitsLifted unlimited[] = {
        bench::KioskLimitsLifted(bench::adminParams(options, params)),
        bench::KioskLimitsLifted(largeAdmin)};
    try {
        std::vector<Side> sides = {side(1, QStringLiteral("small"), number("small")),
                                   side(2, QStringLiteral("large"), number("large"))};
        for (int i = 0; i < 2; ++i) {
            sides[i].db = &db[i];
            sides[i].admin = &admin[i];
            addStudent(admin[i], kFriend, QStringLiteral("0009900120"), QStringLiteral("BENCH120"),
                       QStringLiteral("840000"), {});
            prepareSide(admin[i], sides[i], number("history"));
        }
        const std::vector<Kind> all = kinds();
        const int rounds = static_cast<int>(number("count"));
        std::vector<std::vector<Cell>> cells(2, std::vector<Cell>(all.size()));
        std::vector<long long> rows(2);
        const auto fill = [&](Side& s) {
            fillLedger(*s.admin, s.rows);
            rows[static_cast<std::size_t>(s.index)] = ledgerRows(*s.admin);
            if (rows[static_cast<std::size_t>(s.index)] > 2 * s.rows)
                std::cerr << "the " << s.label.toStdString() << " ledger holds "
                          << rows[static_cast<std::size_t>(s.index)] << " rows, more than twice "
                          << s.rows << ": start from scripts/db reset\n";
        };
        if (twoServers) {
            fill(sides[0]);
            fill(sides[1]);
            measure(all, {&sides[0], &sides[1]}, rounds, cells);
        } else {
            for (Side& s : sides) {
                fill(s);
                measure(all, {&s}, rounds, cells);
            }
        }

        std::printf("%lld postings of each kind and size, one kiosk, PIN check to commit; "
                    "payers with %lld ledger rows; %s; the day's sequence ids at the end: "
                    "%lld and %lld\n\n",
                    number("count"), number("history"),
                    twoServers ? "two servers, the sizes interleaved"
                               : "one server, the small ledger first",
                    sequenceIdsToday(admin[0]), sequenceIdsToday(admin[1]));
        std::printf("| Posting | Round trips | %lld rows: median | p90 | %lld rows: median | p90 "
                    "| Ratio of medians |\n|---|---|---|---|---|---|---|\n",
                    rows[0], rows[1]);
        int failed = 0;
        for (std::size_t k = 0; k < all.size(); ++k) {
            const Cell& small = cells[0][k];
            const Cell& large = cells[1][k];
            std::vector<double> trips;
            for (qsizetype t : large.trips)
                trips.push_back(static_cast<double>(t));
            const double ratio = at(large.ms, 0.5) / std::max(at(small.ms, 0.5), 1e-9);
            std::printf("| %s | %.0f | %.1f ms | %.1f ms | %.1f ms | %.1f ms | %.2f |\n",
                        all[k].name, at(trips, 0.5), at(small.ms, 0.5), at(small.ms, 0.9),
                        at(large.ms, 0.5), at(large.ms, 0.9), ratio);
            failed += small.failed + large.failed;
        }
        std::printf("\nfailed or refused postings: %d\n", failed);
        return failed == 0 ? 0 : 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
