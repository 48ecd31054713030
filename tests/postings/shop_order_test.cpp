#include "postings/posting_outcome.h"
#include "postings/shop_order.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"
#include "support/tcp_proxy.h"

#include <QWidget>
#include <atomic>
#include <gtest/gtest.h>
#include <iostream>
#include <latch>
#include <optional>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDate kToday = QDate::currentDate();
const QString kShop = QStringLiteral("020100000099");

ShopCartLine line(const char* entry, Rupiah price, int quantity) {
    return ShopCart::lineFromEntry(QString::fromUtf8(entry), price, quantity, price * quantity);
}

// Siti Aminah (150.000, quota 50.000) orders three pens and a toothpaste for midday: 17.500.
ShopOrderInput sitiOrders() {
    ShopOrderInput in;
    in.NoRekening = in.txtNorek = QStringLiteral("010100000002");
    in.NoCif = QStringLiteral("240100002");
    in.Rfid = in.txtRfid = QStringLiteral("0004417002");
    in.txtNama = QStringLiteral("Siti Aminah");
    in.txtKelas = QStringLiteral("7A");
    in.deliverySlot = QStringLiteral("Siang");
    in.channel = QStringLiteral("KLD01");
    in.version = QStringLiteral("1.0.1");
    in.shopAccount = kShop;
    in.balance = 150000;
    in.cart.add(line("K007 : Pulpen", 2500, 3));
    in.cart.add(line("K005 : Pasta Gigi", 9000, 1));
    return in;
}

class ShopOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }
    long long count(SqlText query) { return scalarInt(*admin, Sql(query)); }
    long long count(const Sql& query) { return scalarInt(*admin, query); }
    long long stored(const QString& account) {
        Sql s;
        s << "SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master WHERE "
             "tab_rekening = '"
          << esc(account) << "'";
        return scalarInt(*admin, s);
    }
    // Nothing of a payment: no ledger row, no copy, no success log row.
    void expectNoPayment() {
        EXPECT_EQ(count("SELECT (SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE "
                        "trans_id LIKE 'KLD%') + (SELECT COUNT(*) FROM data_transaksi) + (SELECT "
                        "COUNT(*) FROM `aio-kirna`.data_transaksi) + (SELECT COUNT(*) FROM "
                        "log_transaksi WHERE log_transid IS NOT NULL)"),
                  0);
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST(ShopOrderChecksTest, AmountsAndCutOffTimesAnswerInOrder) {
    // Quantity 2 and the PIN typed; the form's own test walks the other checks.
    const struct {
        Rupiah total, balance, limit;
        const char* slot;
        const char* time;
        const char* message; // nullptr: passes
    } cases[] = {
        {15000, 20000, 50000, "Siang", "10:00:00", nullptr},
        {15000, 14999, 50000, "Siang", "10:00:00", "Saldo tabungan tidak mencukupi!"},
        {15000, 15000, 50000, "Siang", "10:00:00", nullptr},
        {15000, 20000, 0, "Siang", "10:00:00", "Total Harga melebihi limit belanja/jajanan!"},
        {14500, 20000, 50000, "Siang", "10:00:00", "Minimal Order Rp. 15.000,- !"},
        {15000, 20000, 50000, "Siang", "11:00:00", nullptr},
        {15000, 20000, 50000, "Siang", "11:00:01", "Order SIANG closed!"},
        {15000, 20000, 50000, "Siang", "16:45:00", "Order SIANG closed!"},
        {15000, 20000, 50000, "Malam", "16:30:00", nullptr},
        {15000, 20000, 50000, "Malam", "16:30:01", "Order MALAM closed!"},
        {15000, 20000, 50000, "siang", "23:00:00", nullptr}, // the slot compared exactly
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.slot) + " " + c.time + " " + std::to_string(c.total));
        ShopOrderForm f{c.total,
                        2,
                        c.balance,
                        c.limit,
                        QString::fromLatin1(c.slot),
                        QTime::fromString(QString::fromLatin1(c.time)),
                        QStringLiteral("234567"),
                        kShop};
        const auto refusal = checkShopOrder(f);
        EXPECT_EQ(refusal ? refusal->message : QString(), QString::fromUtf8(c.message));
        // An order without the shop's account is refused last, before anything is stored.
        f.shopAccount.clear();
        if (!c.message) {
            EXPECT_EQ(checkShopOrder(f).value_or(ShopOrderRefusal{}).message, kShopTanpaRekening);
        }
    }
}

TEST_F(ShopOrderTest, StatementsAreTheOnesTheOrderPrescribes) {
    StatementRecorder recorder;
    const ShopOrderInput in = sitiOrders();
    ASSERT_TRUE(transactionPinMatches(*db, in.txtNorek, QStringLiteral("234567")));
    const auto r = postShopOrder(*db, in, kToday);
    ASSERT_EQ(r.outcome, ShopOrderResult::Outcome::Posted);

    const QString uraian = QStringLiteral("Order KIRNA Siang dari 010100000002 a.n Siti Aminah");
    const QString tail =
        QStringLiteral("', list_status = 1, list_reg_date = NOW(), list_reg_alias = ''");
    const QString listHead =
        QStringLiteral("INSERT INTO `aio-kirna`.data_barang_order_list SET list_order = "
                       "'ODR261207001', list_barang = '");
    const QString nextId =
        QStringLiteral("SELECT MAX(RIGHT(trans_id, 4)) as Nomor FROM `cashless-adm`."
                       "data_tabungan_trans WHERE LEFT(trans_id, 11) = 'KLD20261207' "
                       "AND trans_id LIKE 'KLD20261207%' ");
    const QStringList expected = {
        QStringLiteral("SELECT tab_rfid,  `cashless-adm`.GetTabSaldoAktif(tab_rekening, "
                       "CURDATE()) as SaldoAktif FROM `cashless-adm`.data_tabungan_master "
                       "WHERE tab_rekening = '010100000002' AND tab_pin = '234567'"),
        QStringLiteral("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"),
        QStringLiteral("START TRANSACTION"),
        QStringLiteral("SELECT tab_rekening, tab_rfid, tab_status FROM `cashless-adm`."
                       "data_tabungan_master WHERE tab_rekening = '010100000002' FOR UPDATE"),
        QStringLiteral(
            "SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE()) as SaldoAktif"),
        QStringLiteral("SELECT MAX(RIGHT(order_kode, 3)) as Nomor FROM `aio-kirna`."
                       "data_barang_order WHERE LEFT(order_kode, 9) = 'ODR261207' "
                       "AND order_kode LIKE 'ODR261207%' "),
        QStringLiteral("INSERT INTO `aio-kirna`.data_barang_order SET order_kode = "
                       "'ODR261207001', order_tanggal = NOW(),  order_rekening = "
                       "'010100000002', order_nama = 'Siti Aminah', order_kelas = '7A', "
                       "order_harga = '17500', order_kirim = 'Siang', order_status = 1, "
                       "order_reg_date = NOW(), order_reg_alias = ''"),
        listHead +
            QStringLiteral("K007', list_barang_nama = 'Pulpen', list_harga = '2500', "
                           "list_qty = '3', list_jumlah = '7500") +
            tail,
        listHead +
            QStringLiteral("K005', list_barang_nama = 'Pasta Gigi', list_harga = '9000', "
                           "list_qty = '1', list_jumlah = '9000") +
            tail,
        listHead +
            QStringLiteral("000', list_barang_nama = 'Jasa Kirim', list_harga = '1000', "
                           "list_qty = '1', list_jumlah = '1000") +
            tail,
        QStringLiteral("SELECT `cashless-adm`.GetJajanKuotaSisa('010100000002') as KuotaSisa"),
        nextId,
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = "
                       "'KLD202612070001', trans_tanggal = NOW(), trans_kode = '14', "
                       "trans_kantor = '01',  trans_rekening = '010100000002', trans_nasabah = "
                       "'240100002', trans_channel = 'KLD01', trans_rfid = '0004417002', "
                       "trans_jumlah_keluar = '17500', trans_saldo_akhir = '132500', "
                       "trans_ob_jenis = 1, trans_ob_rekening = '020100000099', trans_uraian = '") +
            uraian +
            QStringLiteral("', trans_kuitansi = 'ODR261207001', trans_status = 0, "
                           "trans_reg_date = NOW(), trans_reg_time = NOW(),  trans_reg_alias = "
                           "'KLD|'"),
        QStringLiteral("INSERT INTO data_transaksi SET trans_id = 'KLD202612070001', "
                       "trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                       "trans_rekening = '010100000002', trans_nasabah = '240100002', "
                       "trans_nasabah_nama = 'Siti Aminah', trans_nasabah_kelas = '7A', "
                       "trans_channel = 'KLD01', trans_rfid = '0004417002', trans_jumlah = "
                       "'17500', trans_saldo_awal = '150000', trans_saldo_akhir = '132500', "
                       "trans_uraian = '") +
            uraian +
            QStringLiteral("', trans_status = 0, trans_reg_date = NOW(), trans_reg_time = "
                           "NOW(),  trans_reg_alias = '', trans_version = '1.0.1' "),
        QStringLiteral("INSERT INTO `aio-kirna`.data_transaksi SET trans_id = "
                       "'KLD202612070001', trans_tanggal = NOW(), trans_kode = '14', "
                       "trans_kantor = '01',  trans_rekening = '010100000002', trans_nasabah = "
                       "'240100002', trans_order = 'ODR261207001', trans_nasabah_nama = 'Siti "
                       "Aminah', trans_nasabah_kelas = '7A', trans_channel = 'KLD01', "
                       "trans_rfid = '0004417002', trans_jumlah = '17500', trans_saldo_awal = "
                       "'150000', trans_saldo_akhir = '132500', trans_uraian = '") +
            uraian +
            QStringLiteral("', trans_kirim = 'Siang', trans_status = 0, trans_reg_date = "
                           "NOW(), trans_reg_time = NOW(),  trans_reg_alias = '', "
                           "trans_version = '1.0.1'"),
        QStringLiteral("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                       "log_user = '', log_rekening = '010100000002', log_rfid = '0004417002', "
                       "log_nama = 'Siti Aminah', log_kelas = '7A', log_transaksi = 'ORDER "
                       "KIRNA', log_nominal = '17500', log_keterangan = 'TRANSAKSI BERHASIL', "
                       "log_transid = 'KLD202612070001' "),
        nextId,
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = "
                       "'KLD202612070002', trans_tanggal = NOW(), trans_kode = '15', "
                       "trans_kantor = '01',  trans_rekening = '020100000099', trans_nasabah = "
                       "'240100002', trans_channel = 'KLD01', trans_rfid = '0004417002', "
                       "trans_jumlah_masuk = '17500', trans_ob_jenis = 1, trans_ob_rekening = "
                       "'010100000002', trans_uraian = '") +
            uraian +
            QStringLiteral("', trans_kuitansi = 'ODR261207001', trans_status = 0, "
                           "trans_reg_date = NOW(), trans_reg_time = NOW(),  trans_reg_alias = "
                           "'KLD|'"),
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000002') "),
        kMarkStatement,
        QStringLiteral("COMMIT"),
    };
    EXPECT_EQ(maskMarks(recorder.statements()), onToday(expected));

    // The rows the statements wrote, and the money moved.
    EXPECT_EQ(r.creditId, onToday(QStringLiteral("KLD202612070002")));
    EXPECT_EQ(count("SELECT (SELECT COUNT(*) FROM `aio-kirna`.data_barang_order) + (SELECT "
                    "COUNT(*) FROM `aio-kirna`.data_barang_order_list) + (SELECT COUNT(*) FROM "
                    "`aio-kirna`.data_transaksi) + (SELECT COUNT(*) FROM data_transaksi)"),
              1 + 3 + 1 + 1);
    EXPECT_EQ(stored(QStringLiteral("010100000002")), 132500);
    EXPECT_EQ(count("SELECT `cashless-adm`.GetTabSaldoBuku('020100000099', CURDATE())"),
              1000000 + 17500);
    const auto next = postShopOrder(*db, in, kToday);
    EXPECT_EQ(next.orderCode, onToday(QStringLiteral("ODR261207002")));
    EXPECT_EQ(next.transId, onToday(QStringLiteral("KLD202612070003")));
}

// An order of 15.000 from an account holding 15.000.
ShopOrderInput orderOfTheWholeBalance() {
    ShopOrderInput in = sitiOrders();
    in.NoRekening = in.txtNorek = QStringLiteral("010100000005"); // 15.000
    in.Rfid = QStringLiteral("0004417005");
    in.balance = 15000;
    in.cart.clear();
    in.cart.add(line("K009 : Biskuit", 2500, 4));
    in.cart.add(line("K006 : Buku Tulis", 4000, 1)); // 14.000 + 1.000 = the balance
    return in;
}

TEST_F(ShopOrderTest, BalanceEqualToTheTotalKeepsTheOrderUnpaidWithOneLogRow) {
    const ShopOrderInput in = orderOfTheWholeBalance();
    const auto r = postShopOrder(*db, in, kToday);
    EXPECT_EQ(r.outcome, ShopOrderResult::Outcome::InsufficientBalance);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order_list"), 3);
    expectNoPayment();
    Recordset log = admin->open(Sql("SELECT * FROM log_transaksi"));
    ASSERT_EQ(log.rowCount(), 1);
    EXPECT_EQ(log.text(QStringLiteral("log_keterangan")), QStringLiteral("SALDO TIDAK MENCUKUPI!"));
    EXPECT_EQ(log.text(QStringLiteral("log_transaksi")), QStringLiteral("ORDER KIRNA"));
    EXPECT_EQ(log.value(QStringLiteral("log_nominal")).toLongLong(), 15000);
    EXPECT_EQ(stored(QStringLiteral("010100000005")), 15000);
}

TEST_F(ShopOrderTest, QuotaSpentByAnotherKioskIsCheckedAgainUnderTheLock) {
    // The form showed 50.000 of quota; another kiosk spent 40.000 of it at the canteen since.
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'OTHER1', "
                       "trans_tanggal = CURDATE(), trans_kode = '14', trans_rekening = "
                       "'010100000002', trans_jumlah_keluar = 40000, trans_ob_rekening = "
                       "'020100000003', trans_status = 0"));
    const auto r = postShopOrder(*db, sitiOrders(), kToday);
    EXPECT_EQ(r.outcome, ShopOrderResult::Outcome::OverQuota);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 1);
    expectNoPayment();
    EXPECT_EQ(count("SELECT COUNT(*) FROM log_transaksi WHERE log_keterangan = 'Total Harga "
                    "melebihi limit belanja/jajanan!'"),
              1); // the audit's reason for the unpaid order
}

TEST_F(ShopOrderTest, AFailingCreditRowLeavesNothingOfTheOrder) {
    admin->execute(Sql("CREATE TRIGGER `cashless-adm`.refuse_shop_credit BEFORE INSERT ON "
                       "`cashless-adm`.data_tabungan_trans FOR EACH ROW "
                       "IF NEW.trans_kode = '15' THEN SIGNAL SQLSTATE '45000' "
                       "SET MESSAGE_TEXT = 'credit refused'; END IF"));
    try {
        postShopOrder(*db, sitiOrders(), kToday);
        FAIL() << "the order went through";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("credit refused")));
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order_list"), 0);
    expectNoPayment();
    EXPECT_EQ(count("SELECT COUNT(*) FROM log_transaksi"), 0);
    EXPECT_EQ(stored(QStringLiteral("010100000002")), 150000);
    // The connection takes the next order.
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.refuse_shop_credit"));
    EXPECT_EQ(postShopOrder(*db, sitiOrders(), kToday).outcome, ShopOrderResult::Outcome::Posted);
}

TEST_F(ShopOrderTest, TwoKiosksOrderingFromOneAccountNeverOverdraw) {
    constexpr int kRounds = 20;
    auto a = kioskConnection();
    auto b = kioskConnection();
    auto c = kioskConnection(); // a third kiosk orders for Siti at the same moment
    const Rupiah sitiTotal = sitiOrders().cart.orderTotal();
    const int before = duplicateIdRetries();
    // Quota 75.000, 25.000 on the account, two orders of 20.000 each.
    ShopOrderInput in = sitiOrders();
    in.NoRekening = in.txtNorek = QStringLiteral("010100000014");
    in.Rfid = QStringLiteral("0004417014");
    in.balance = 25000;
    in.cart.clear();
    in.cart.add(line("K008 : Susu UHT", 6000, 3));
    in.cart.add(line("K001 : Air Mineral", 1000, 1)); // 19.000 + 1.000
    for (int round = 0; round < kRounds; ++round) {
        admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 9 "
                           "WHERE trans_rekening = '010100000014'"));
        Sql deposit;
        deposit << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'RACE" << round
                << "', trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = "
                   "'010100000014', trans_jumlah_masuk = 25000, trans_status = 1";
        admin->execute(deposit);
        std::latch start(3);
        std::atomic<int> outcomes[3] = {0, 0, 0}; // paid, refused, failed
        std::optional<ShopOrderResult::Outcome> siti;
        auto kiosk = [&](Connection* c) {
            start.arrive_and_wait();
            try {
                const auto r = postShopOrder(*c, in, kToday);
                ++outcomes[r.outcome == ShopOrderResult::Outcome::Posted ? 0 : 1];
            } catch (const std::exception&) {
                ++outcomes[2];
            }
        };
        std::thread ta(kiosk, a.get());
        std::thread tb(kiosk, b.get());
        std::thread tc([&] {
            start.arrive_and_wait();
            try {
                siti = postShopOrder(*c, sitiOrders(), kToday).outcome;
            } catch (const std::exception& e) {
                ADD_FAILURE() << e.what();
            }
        });
        ta.join();
        tb.join();
        tc.join();
        ASSERT_EQ(std::tuple(outcomes[0].load(), outcomes[1].load(), outcomes[2].load()),
                  std::tuple(1, 1, 0))
            << "round " << round;
        // Paid while her quota of 50.000 lasts, then refused for it.
        ASSERT_EQ(siti, (round + 1) * sitiTotal <= 50000 ? ShopOrderResult::Outcome::Posted
                                                         : ShopOrderResult::Outcome::OverQuota)
            << "round " << round;
        ASSERT_EQ(scalarInt(*admin, Sql("SELECT `cashless-adm`.GetTabSaldoBuku('010100000014', "
                                        "CURDATE())")),
                  5000);
    }
    // Every order was stored, Siti's taking the codes and ids the others took at the same moment.
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 3 * kRounds);
    const int collisions = duplicateIdRetries() - before;
    EXPECT_GT(collisions, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi WHERE trans_rekening = "
                    "'010100000014'"),
              kRounds);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_id "
                    "LIKE 'KLD%'"),
              2 * count("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi"));
    std::cout << "[ race     ] orders " << 2 * kRounds << ", paid " << kRounds << ", refused "
              << kRounds << ", balance 5000 after every round, " << collisions
              << " codes or ids taken by another kiosk first\n";
}

// The refusal's COMMIT answer is lost and the server stays away; settled later, the stored
// order is found unpaid: no receipt, no "berhasil".
TEST_F(ShopOrderTest, ARefusedOrderInDoubtIsNeverSettledAsPaid) {
    TcpProxy proxy(MariaDbServer::instance().port());
    ConnectParams p = kioskParamsThrough(proxy);
    p.connectTimeoutSeconds = 1;
    p.readTimeoutSeconds = 2;
    db->connect(p);
    ScriptedDialogs dialogs;
    proxy.cutAt(QByteArray("\x03"
                           "COMMIT"),
                TcpProxy::Cut::AfterSendingThenHold);
    PostingReport report;
    report.receipt = ReceiptValues{};
    QWidget form; // "Mohon tunggu…" lies over it while the link hangs, and is gone before a word
    form.show();
    dialogs.onMessage = [](const auto&) { EXPECT_FALSE(WaitNotice::shown()); };
    EXPECT_FALSE(runPosting<ShopOrderResult>(*db, &form, report, [&] {
        EXPECT_TRUE(WaitNotice::shown());
        return postShopOrder(*db, orderOfTheWholeBalance(), kToday);
    }));
    ASSERT_TRUE(pendingPostingId().has_value());
    proxy.hold(false);
    dialogs.messages.clear();
    EXPECT_EQ(settlePendingPosting(*db), Settlement::Settled);
    EXPECT_EQ(dialogs.messageTexts(), onToday(QStringList{QStringLiteral(
                                          "Pesanan ODR261207001 tersimpan tanpa pembayaran, saldo "
                                          "tidak berubah.")}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 1);
    expectNoPayment();
}

} // namespace
