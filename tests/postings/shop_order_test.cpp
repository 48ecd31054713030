#include "postings/shop_order.h"
#include "support/mariadb_server.h"

#include <atomic>
#include <gtest/gtest.h>
#include <iostream>
#include <latch>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDate kToday(2026, 12, 7);
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
    long long kioskLedgerRows() {
        return count("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_id "
                     "LIKE 'KLD%'");
    }
    // Nothing of a payment: no ledger row, no copy, no success log row.
    void expectNoPayment() {
        EXPECT_EQ(kioskLedgerRows(), 0);
        EXPECT_EQ(count("SELECT COUNT(*) FROM data_transaksi"), 0);
        EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi"), 0);
        EXPECT_EQ(count("SELECT COUNT(*) FROM log_transaksi WHERE log_transid IS NOT NULL"), 0);
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST(ShopCartTest, LinesKeepTheirOrderAndTotalsCountTheDeliveryFeeOnce) {
    ShopCart cart;
    EXPECT_EQ(cart.orderTotal(), 1000);
    cart.add(line("K007 : Pulpen", 2500, 3));
    EXPECT_EQ(cart.quantityTotal(), 3);
    EXPECT_EQ(cart.orderTotal(), 8500);
    cart.add(line("K007 : Pulpen", 2500, 3)); // the same item twice: two lines
    cart.add(line("K010 : Kertas: A4 1 rim", 55000, 1));
    ASSERT_EQ(cart.lines().size(), 3u);
    EXPECT_EQ(cart.lines()[2].code, QStringLiteral("K010"));
    EXPECT_EQ(cart.lines()[2].name, QStringLiteral("Kertas")); // cut at the second colon
    EXPECT_EQ(cart.quantityTotal(), 7);
    EXPECT_EQ(cart.goodsTotal(), 70000);
    EXPECT_EQ(cart.orderTotal(), 71000);
    cart.clear();
    EXPECT_EQ(cart.quantityTotal(), 0);
    EXPECT_EQ(cart.orderTotal(), 1000);
}

TEST(ShopOrderChecksTest, TheFirstFailingCheckAnswersInOrder) {
    using Focus = ShopOrderRefusal::Focus;
    // Balance 20.000, quota 50.000, midday at 10:00, PIN typed: a 15.000 order passes.
    const ShopOrderForm ok{
        15000, 2, 20000, 50000, QStringLiteral("Siang"), QTime(10, 0), QStringLiteral("234567"),
        kShop};
    const struct {
        const char* name;
        std::function<void(ShopOrderForm&)> change;
        const char* message; // nullptr: passes
        Focus focus;
    } cases[] = {
        {"passes", [](ShopOrderForm&) {}, nullptr, Focus::Stays},
        {"fresh form", [](ShopOrderForm& f) { f.total = 0, f.quantity = 0; },
         "Total bayar tidak boleh NOL!", Focus::Stays},
        {"after CLEAR", [](ShopOrderForm& f) { f.total = 1000, f.quantity = 0; },
         "Total QTY tidak boleh NOL!", Focus::Stays},
        {"balance below", [](ShopOrderForm& f) { f.balance = 14999; },
         "Saldo tabungan tidak mencukupi!", Focus::Stays},
        {"balance equal", [](ShopOrderForm& f) { f.balance = 15000; }, nullptr, Focus::Stays},
        {"quota 0", [](ShopOrderForm& f) { f.limit = 0; },
         "Total Harga melebihi limit belanja/jajanan!", Focus::Stays},
        {"14.500", [](ShopOrderForm& f) { f.total = 14500; }, "Minimal Order Rp. 15.000,- !",
         Focus::Stays},
        {"no slot", [](ShopOrderForm& f) { f.deliverySlot.clear(); }, "Jadwal kirim harus dipilih!",
         Focus::cboKirim},
        {"Siang 11:00:00", [](ShopOrderForm& f) { f.now = QTime(11, 0, 0); }, nullptr,
         Focus::Stays},
        {"Siang 11:00:01", [](ShopOrderForm& f) { f.now = QTime(11, 0, 1); }, "Order SIANG closed!",
         Focus::cboKirim},
        {"Siang 16:45",
         [](ShopOrderForm& f) { f.now = QTime(16, 45), f.deliverySlot = QStringLiteral("Siang"); },
         "Order SIANG closed!", Focus::cboKirim},
        {"Malam 16:30:00",
         [](ShopOrderForm& f) { f.now = QTime(16, 30), f.deliverySlot = QStringLiteral("Malam"); },
         nullptr, Focus::Stays},
        {"Malam 16:30:01",
         [](ShopOrderForm& f) {
             f.now = QTime(16, 30, 1), f.deliverySlot = QStringLiteral("Malam");
         },
         "Order MALAM closed!", Focus::cboKirim},
        {"slot in lower case after hours",
         [](ShopOrderForm& f) { f.now = QTime(23, 0), f.deliverySlot = QStringLiteral("siang"); },
         nullptr, Focus::Stays},
        {"blank PIN", [](ShopOrderForm& f) { f.pin = QStringLiteral("   "); }, "PIN harus diisi!",
         Focus::txtPin},
        {"no shop account", [](ShopOrderForm& f) { f.shopAccount.clear(); },
         kShopTanpaRekening.toUtf8().constData(), Focus::Stays},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ShopOrderForm f = ok;
        c.change(f);
        const auto refusal = checkShopOrder(f);
        if (!c.message) {
            EXPECT_FALSE(refusal.has_value()) << refusal->message.toStdString();
            continue;
        }
        ASSERT_TRUE(refusal.has_value());
        EXPECT_EQ(refusal->message, QString::fromUtf8(c.message));
        EXPECT_EQ(refusal->focus, c.focus);
    }
}

TEST_F(ShopOrderTest, StatementsAreTheOnesTheOrderPrescribes) {
    StatementRecorder recorder;
    const ShopOrderInput in = sitiOrders();
    ASSERT_TRUE(shopPinMatches(*db, in.txtNorek, QStringLiteral("234567")));
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
                       "data_tabungan_trans WHERE LEFT(trans_id, 11) = 'KLD20261207' ");
    const QStringList expected = {
        QStringLiteral("SELECT tab_rfid,  `cashless-adm`.GetTabSaldoAktif(tab_rekening, "
                       "CURDATE()) as SaldoAktif FROM `cashless-adm`.data_tabungan_master "
                       "WHERE tab_rekening = '010100000002' AND tab_pin = '234567'"),
        QStringLiteral("START TRANSACTION"),
        QStringLiteral("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE "
                       "tab_rekening = '010100000002' FOR UPDATE"),
        QStringLiteral(
            "SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE()) as SaldoAktif"),
        QStringLiteral("SELECT MAX(RIGHT(order_kode, 3)) as Nomor FROM `aio-kirna`."
                       "data_barang_order WHERE LEFT(order_kode, 9) = 'ODR261207' "),
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
        QStringLiteral("COMMIT"),
    };
    EXPECT_EQ(recorder.statements(), expected);
}

TEST_F(ShopOrderTest, APaidOrderLeavesItsRowsInBothSchemasAndMovesTheMoney) {
    const auto r = postShopOrder(*db, sitiOrders(), kToday);
    ASSERT_EQ(r.outcome, ShopOrderResult::Outcome::Posted);
    EXPECT_EQ(r.orderCode, QStringLiteral("ODR261207001"));
    EXPECT_EQ(r.transId, QStringLiteral("KLD202612070001"));
    EXPECT_EQ(r.creditId, QStringLiteral("KLD202612070002"));
    EXPECT_EQ(r.balanceBefore, 150000);
    EXPECT_EQ(r.balanceAfter, 132500);

    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order WHERE order_kode = "
                    "'ODR261207001' AND order_harga = 17500 AND order_kirim = 'Siang'"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order_list WHERE list_order "
                    "= 'ODR261207001'"),
              3);
    EXPECT_EQ(count("SELECT SUM(list_jumlah) FROM `aio-kirna`.data_barang_order_list"), 17500);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_id = "
                    "'KLD202612070001' AND trans_kode = '14' AND trans_jumlah_keluar = 17500 "
                    "AND trans_kuitansi = 'ODR261207001'"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE trans_id = "
                    "'KLD202612070002' AND trans_kode = '15' AND trans_rekening = "
                    "'020100000099' AND trans_saldo_akhir IS NULL"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM data_transaksi WHERE trans_version = '1.0.1'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi WHERE trans_order = "
                    "'ODR261207001' AND trans_kirim = 'Siang'"),
              1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM log_transaksi WHERE log_transid = 'KLD202612070001'"), 1);
    EXPECT_EQ(stored(QStringLiteral("010100000002")), 132500);
    // Only the payer's stored balance is recomputed; the shop's ledger still holds the money.
    EXPECT_EQ(count("SELECT `cashless-adm`.GetTabSaldoBuku('020100000099', CURDATE())"),
              1000000 + 17500);

    // The next order of the day takes the next numbers.
    const auto next = postShopOrder(*db, sitiOrders(), kToday);
    EXPECT_EQ(next.orderCode, QStringLiteral("ODR261207002"));
    EXPECT_EQ(next.transId, QStringLiteral("KLD202612070003"));
}

TEST_F(ShopOrderTest, BalanceEqualToTheTotalKeepsTheOrderUnpaidWithOneLogRow) {
    ShopOrderInput in = sitiOrders();
    in.NoRekening = in.txtNorek = QStringLiteral("010100000005"); // 15.000
    in.balance = 15000;
    in.cart.clear();
    in.cart.add(line("K009 : Biskuit", 2500, 4));
    in.cart.add(line("K006 : Buku Tulis", 4000, 1)); // 14.000 + 1.000 = the balance
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
    EXPECT_EQ(count("SELECT COUNT(*) FROM log_transaksi"), 0);
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

TEST_F(ShopOrderTest, WithoutAShopAccountNothingIsStored) {
    ShopOrderInput in = sitiOrders();
    in.shopAccount = QStringLiteral(" ");
    EXPECT_EQ(postShopOrder(*db, in, kToday).outcome, ShopOrderResult::Outcome::NoShopAccount);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order"), 0);
    expectNoPayment();
}

TEST_F(ShopOrderTest, TwoKiosksOrderingFromOneAccountNeverOverdraw) {
    constexpr int kRounds = 20;
    auto a = kioskConnection();
    auto b = kioskConnection();
    // Quota 75.000, 25.000 on the account, two orders of 20.000 each.
    ShopOrderInput in = sitiOrders();
    in.NoRekening = in.txtNorek = QStringLiteral("010100000014");
    in.balance = 25000;
    in.cart.clear();
    in.cart.add(line("K008 : Susu UHT", 6000, 3));
    in.cart.add(line("K001 : Air Mineral", 1000, 1)); // 19.000 + 1.000
    int paid = 0;
    int refused = 0;
    for (int round = 0; round < kRounds; ++round) {
        admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 9 "
                           "WHERE trans_rekening = '010100000014'"));
        Sql deposit;
        deposit << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'RACE" << round
                << "', trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = "
                   "'010100000014', trans_jumlah_masuk = 25000, trans_status = 1";
        admin->execute(deposit);
        std::latch start(2);
        std::atomic<int> posted{0};
        std::atomic<int> insufficient{0};
        std::atomic<int> failed{0};
        auto kiosk = [&](Connection* c) {
            start.arrive_and_wait();
            try {
                const auto r = postShopOrder(*c, in, kToday);
                (r.outcome == ShopOrderResult::Outcome::Posted ? posted : insufficient)++;
            } catch (const std::exception&) {
                ++failed;
            }
        };
        std::thread ta(kiosk, a.get());
        std::thread tb(kiosk, b.get());
        ta.join();
        tb.join();
        ASSERT_EQ(failed.load(), 0) << "round " << round;
        ASSERT_EQ(posted.load(), 1) << "round " << round;
        ASSERT_EQ(insufficient.load(), 1) << "round " << round;
        paid += posted;
        refused += insufficient;
        ASSERT_EQ(scalarInt(*admin, Sql("SELECT `cashless-adm`.GetTabSaldoBuku('010100000014', "
                                        "CURDATE())")),
                  5000);
    }
    // Every order was stored under its own code; only the paid ones have the shop's copy.
    EXPECT_EQ(count("SELECT COUNT(DISTINCT order_kode) FROM `aio-kirna`.data_barang_order"),
              2 * kRounds);
    EXPECT_EQ(count("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi"), kRounds);
    EXPECT_EQ(count("SELECT COUNT(DISTINCT trans_id) FROM `cashless-adm`.data_tabungan_trans "
                    "WHERE trans_id LIKE 'KLD%'"),
              2 * kRounds);
    std::cout << "[ race     ] orders " << 2 * kRounds << ", paid " << paid << ", refused "
              << refused << ", balance 5000 after every round\n";
}

} // namespace
