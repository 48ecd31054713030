#include "support/mariadb_server.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Every routine of the school database as sql/README.md documents it, on the demo data.
class RoutinesTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }

    long long num(const Sql& query) { return scalarInt(*db, query); }

    // A kiosk-style ledger row written as root, dated `daysAgo` days back.
    void ledger(const QString& id, const QString& account, const QString& kode, long long in,
                long long out, const QString& other, int daysAgo = 0, int status = 0) {
        Sql s;
        s << "INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '" << esc(id)
          << "', trans_tanggal = CURDATE() - INTERVAL " << daysAgo << " DAY, trans_kode = '"
          << esc(kode) << "', trans_rekening = '" << esc(account)
          << "', trans_jumlah_masuk = " << in << ", trans_jumlah_keluar = " << out
          << ", trans_ob_jenis = 1, "
          << "trans_ob_rekening = '" << esc(other) << "', trans_status = " << status;
        admin->execute(s);
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(RoutinesTest, HolderFunctionsAnswerFromBothSchemas) {
    EXPECT_EQ(scalar(*db, Sql("SELECT `cashless-adm`.GetNasabahNama('240100003')")),
              QStringLiteral("Muhammad Ma'ruf"));
    EXPECT_EQ(scalar(*db, Sql("SELECT `cashless-adm`.GetNasabahAlamat('240100001')")),
              QStringLiteral("Jl. Merdeka No. 12, Bandung"));
    EXPECT_EQ(scalar(*db, Sql("SELECT `cashless-adm`.GetNasabahKelas('240100010')")),
              QStringLiteral("10 IPA 1"));
    // Unqualified, from the kiosk's own schema, as the block form calls them.
    EXPECT_EQ(scalar(*db, Sql("SELECT GetNasabahNama('240100004'), GetNasabahKelas('240100004')")),
              QStringLiteral("Imam Syafi'i"));
    EXPECT_EQ(scalar(*db, Sql("SELECT GetNasabahKelas('240100004')")), QStringLiteral("8A"));
    Recordset unknown = db->open(Sql("SELECT GetNasabahNama('nobody') AS n"));
    EXPECT_TRUE(unknown.value(QStringLiteral("n")).isNull());
}

TEST_F(RoutinesTest, ActiveBalanceIsTheLedgerLessTheMinimumBalance) {
    // 010100000003 holds 120.000 and must keep 5.000.
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")),
              115000);
    ledger(QStringLiteral("T1"), QStringLiteral("010100000003"), QStringLiteral("14"), 0, 20000,
           QStringLiteral("020100000003"));
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")), 95000);
    // Tomorrow's rows are not spendable today; cancelled rows never count.
    ledger(QStringLiteral("T2"), QStringLiteral("010100000003"), QStringLiteral("15"), 50000, 0,
           QString(), -1);
    ledger(QStringLiteral("T3"), QStringLiteral("010100000003"), QStringLiteral("14"), 0, 30000,
           QString(), 0, 9);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")), 95000);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', "
                      "CURDATE() + INTERVAL 1 DAY)")),
              145000);
    // Never below zero, and zero for an account that does not exist.
    ledger(QStringLiteral("T4"), QStringLiteral("010100000003"), QStringLiteral("14"), 0, 200000,
           QString());
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000003', CURDATE())")), 0);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabSaldoAktif('999999999999', CURDATE())")), 0);
}

TEST_F(RoutinesTest, SpendingQuotaCountsTodaysPaymentsToInstitutionsOnly) {
    const QString a = QStringLiteral("010100000001"); // limit 50.000
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabJajanLimit('010100000001', CURDATE())")), 50000);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetJajanKuotaSisa('010100000001')")), 50000);
    ledger(QStringLiteral("Q1"), a, QStringLiteral("14"), 0, 12000, QStringLiteral("020100000003"));
    ledger(QStringLiteral("Q2"), a, QStringLiteral("14"), 0, 3000, QStringLiteral("020100000099"));
    // A transfer to a friend and yesterday's spending do not use today's quota.
    ledger(QStringLiteral("Q3"), a, QStringLiteral("14"), 0, 7000, QStringLiteral("010100000002"));
    ledger(QStringLiteral("Q4"), a, QStringLiteral("14"), 0, 9000, QStringLiteral("020100000003"),
           1);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetJajanKuotaSisa('010100000001')")), 35000);
    ledger(QStringLiteral("Q5"), a, QStringLiteral("14"), 0, 60000, QStringLiteral("020100000001"));
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetJajanKuotaSisa('010100000001')")), 0);
}

TEST_F(RoutinesTest, TransferLimitIsTheDailyLimitLessTodaysTransfers) {
    const QString a = QStringLiteral("010100000004"); // limit 50.000
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabTransferLimit('010100000004', CURDATE())")),
              50000);
    ledger(QStringLiteral("R1"), a, QStringLiteral("14"), 0, 20000, QStringLiteral("010100000002"));
    ledger(QStringLiteral("R2"), a, QStringLiteral("14"), 0, 5000, QStringLiteral("020100000003"));
    ledger(QStringLiteral("R3"), a, QStringLiteral("14"), 0, 10000, QStringLiteral("010100000005"),
           1);
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabTransferLimit('010100000004', CURDATE())")),
              30000);
    // Yesterday's limit saw only yesterday's transfer.
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabTransferLimit('010100000004', "
                      "CURDATE() - INTERVAL 1 DAY)")),
              40000);
    ledger(QStringLiteral("R4"), a, QStringLiteral("14"), 0, 45000, QStringLiteral("010100000002"));
    EXPECT_EQ(num(Sql("SELECT `cashless-adm`.GetTabTransferLimit('010100000004', CURDATE())")), 0);
}

TEST_F(RoutinesTest, MigrationDateIsKnownAndOtherKeysAreNull) {
    const QString expected =
        QDate::currentDate().addDays(-180).toString(QStringLiteral("yyyy-MM-dd"));
    EXPECT_EQ(scalar(*db, Sql("SELECT `cashless-adm`.GetAppInfo('TanggalMigrasi')")), expected);
    Recordset rs = db->open(Sql("SELECT `cashless-adm`.GetAppInfo('Nothing') AS v"));
    EXPECT_TRUE(rs.value(QStringLiteral("v")).isNull());
}

// Marks older than the days given go; a posting in doubt younger than them keeps its own.
TEST_F(RoutinesTest, OldPostingMarksAreCleared) {
    admin->execute(Sql("INSERT INTO data_posting_tanda VALUES (REPEAT('a', 32), NOW() - INTERVAL "
                       "91 DAY), (REPEAT('b', 32), NOW() - INTERVAL 89 DAY)"));
    admin->execute(Sql("CALL HapusTandaPosting(90)"));
    EXPECT_EQ(scalar(*admin, Sql("SELECT GROUP_CONCAT(tanda_kode) FROM data_posting_tanda")),
              QString(32, QLatin1Char('b')));
}

TEST_F(RoutinesTest, BalanceRecomputationFollowsTheLedger) {
    ledger(QStringLiteral("H1"), QStringLiteral("010100000002"), QStringLiteral("14"), 0, 40000,
           QStringLiteral("020100000003"));
    ledger(QStringLiteral("H2"), QStringLiteral("010100000002"), QStringLiteral("15"), 1500, 0,
           QStringLiteral("010100000001"));
    ledger(QStringLiteral("H3"), QStringLiteral("010100000002"), QStringLiteral("14"), 0, 99999,
           QString(), 0, 9);
    // Stored balance is only brought up to date by the procedure.
    EXPECT_EQ(num(Sql("SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                      "WHERE tab_rekening = '010100000002'")),
              150000);
    db->execute(Sql("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000002') "));
    EXPECT_EQ(num(Sql("SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                      "WHERE tab_rekening = '010100000002'")),
              111500);
    // Other accounts are left alone.
    EXPECT_EQ(num(Sql("SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master "
                      "WHERE tab_rekening = '010100000001'")),
              320000);
}

TEST_F(RoutinesTest, FeeRecomputationAddsMonthsAndSpreadsPaymentsOldestFirst) {
    EXPECT_EQ(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_spp_detail "
                      "WHERE detail_tabungan = '010100000005'")),
              0);
    db->execute(Sql("CALL `cashless-adm`.HitungSppMakan('010100000005')"));
    // Five months: four back and the current one.
    EXPECT_EQ(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_spp_detail "
                      "WHERE detail_tabungan = '010100000005'")),
              5);
    EXPECT_EQ(
        num(Sql("SELECT SUM(detail_angsuran_spp + detail_angsuran_makan) "
                "FROM `cashless-adm`.data_spp_detail WHERE detail_tabungan = '010100000005'")),
        0);

    // 400.000 to SPP and 100.000 to meals: SPP of month 1 paid, 50.000 of month 2.
    ledger(QStringLiteral("S1"), QStringLiteral("010100000005"), QStringLiteral("14"), 0, 400000,
           QStringLiteral("020100000001"));
    ledger(QStringLiteral("S2"), QStringLiteral("010100000005"), QStringLiteral("14"), 0, 100000,
           QStringLiteral("020100000002"));
    db->execute(Sql("CALL `cashless-adm`.HitungSppMakan('010100000005')"));
    db->execute(Sql("CALL `cashless-adm`.HitungSppMakan('010100000005')"));
    EXPECT_EQ(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_spp_detail "
                      "WHERE detail_tabungan = '010100000005'")),
              5);
    Recordset rs =
        db->open(Sql("SELECT detail_periode, detail_angsuran_spp, detail_angsuran_makan, "
                     "detail_jumlah, detail_keterangan, "
                     "(detail_biaya_spp+detail_biaya_makan)-(detail_angsuran_spp+"
                     "detail_angsuran_makan) as Kurang "
                     "FROM `cashless-adm`.data_spp_detail WHERE detail_tabungan = "
                     "'010100000005' ORDER BY FLOOR(detail_periode) ASC "));
    EXPECT_EQ(rs.text(QStringLiteral("detail_periode")), QStringLiteral("1"));
    EXPECT_EQ(rs.value(QStringLiteral("detail_angsuran_spp")).toLongLong(), 350000);
    EXPECT_EQ(rs.value(QStringLiteral("detail_angsuran_makan")).toLongLong(), 100000);
    EXPECT_EQ(rs.value(QStringLiteral("detail_jumlah")).toLongLong(), 650000);
    EXPECT_EQ(rs.value(QStringLiteral("Kurang")).toLongLong(), 200000);
    EXPECT_EQ(rs.text(QStringLiteral("detail_keterangan")), QStringLiteral("BELUM"));
    rs.moveNext();
    EXPECT_EQ(rs.value(QStringLiteral("detail_angsuran_spp")).toLongLong(), 50000);
    EXPECT_EQ(rs.value(QStringLiteral("detail_angsuran_makan")).toLongLong(), 0);
}

TEST_F(RoutinesTest, PeriodsSortByNumberNotByText) {
    admin->execute(Sql("UPDATE `cashless-adm`.data_spp_setting SET spp_mulai = "
                       "CURDATE() - INTERVAL 11 MONTH WHERE spp_tabungan = '010100000006'"));
    db->execute(Sql("CALL `cashless-adm`.HitungSppMakan('010100000006')"));
    Recordset rs = db->open(Sql("SELECT detail_periode FROM `cashless-adm`.data_spp_detail "
                                "WHERE detail_tabungan = '010100000006' "
                                "ORDER BY FLOOR(detail_periode) ASC "));
    QStringList order;
    for (; !rs.eof(); rs.moveNext())
        order << rs.text(QStringLiteral("detail_periode"));
    EXPECT_EQ(order.size(), 12);
    EXPECT_EQ(order.mid(8, 4), (QStringList{QStringLiteral("9"), QStringLiteral("10"),
                                            QStringLiteral("11"), QStringLiteral("12")}));
}

TEST_F(RoutinesTest, DemoDataHasWhatTheKioskNeeds) {
    EXPECT_EQ(
        num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_master WHERE tab_jenis = 1")),
        20);
    EXPECT_EQ(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_master "
                      "WHERE tab_jenis = 1 AND CHAR_LENGTH(tab_rfid) = 10 AND tab_pin REGEXP "
                      "'^[0-9]{6}$' AND CHAR_LENGTH(tab_rekening) = 12")),
              19);
    EXPECT_EQ(scalar(*db, Sql("SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master "
                              "WHERE tab_rekening = '010100000016'")),
              QStringLiteral("#0004417016"));
    EXPECT_EQ(
        num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_master WHERE tab_status <> 1")),
        1);
    EXPECT_EQ(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_kalinda_produk "
                      "WHERE kalinda_kode IN ('001', '002', '010', '011')")),
              4);
    EXPECT_GE(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_kalinda_produk "
                      "WHERE kalinda_otomatis = '1' AND kalinda_nominal > 0")),
              2);
    EXPECT_GE(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_nasabah_foto "
                      "WHERE HEX(LEFT(foto_file, 2)) = 'FFD8'")),
              15);
    EXPECT_GE(num(Sql("SELECT COUNT(*) FROM `aio-kirna`.data_barang_master")), 5);
    EXPECT_EQ(
        scalar(*db, Sql("SELECT app_text FROM `aio-kirna`.set_app WHERE app_case = 'NoRekening'")),
        QStringLiteral("020100000099"));
    EXPECT_GE(num(Sql("SELECT COUNT(*) FROM set_cetakan")), 6);
    EXPECT_GE(num(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_spp_detail")), 1);
}

} // namespace
