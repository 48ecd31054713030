#include "postings/fee_payment.h"
#include "postings/ledger.h"
#include "postings/product_payment.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "support/mariadb_server.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// On a database that had no audit and no guard until their upgrade ran (twice): a day of real
// postings leaves nothing to find; rows planted with the kiosk's password before the guard are
// found, and so is a debit that the guard let through, under its writer's name.
TEST(KioskAuditTest, FindsPlantedRowsAndNothingInRealPostings) {
    MariaDbServer::instance().resetDatabase();
    QFile script(QStringLiteral(KALINDA_AUDIT_SQL));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    const QString upgrade = QString::fromUtf8(script.readAll());
    QString guard = "DROP TRIGGER `cashless-adm`.data_tabungan_trans_kiosk_pasangan;\n",
            old = "DROP PROCEDURE `cashless-adm`.AuditTransaksiKiosk; DROP INDEX idx_tanggal "
                  "ON `cashless-adm`.data_tabungan_trans; DROP TABLE "
                  "`cashless-adm`.data_tabungan_kiosk_terbuka, `cashless-adm`.data_kiosk_akun, "
                  "`cashless-adm`.data_tabungan_ubah_kiosk; "
                  "DROP TRIGGER `aio-kirna`.data_barang_order_kiosk_ins; ALTER TABLE "
                  "`aio-kirna`.data_barang_order DROP COLUMN order_reg_user;\n";
    for (const QString& t :
         QStringList{"`cashless-adm`.data_tabungan_trans", "`aio-kirna`.data_transaksi",
                     '`' + MariaDbServer::instance().kioskParams().database + "`.data_transaksi"}) {
        guard += "DROP TRIGGER " + t + "_kiosk_ins;\n";
        old += "ALTER TABLE " + t + " DROP COLUMN trans_reg_user;\n";
    }
    MariaDbServer::instance().runAdminScript(guard + old + upgrade.repeated(2));
    auto admin = adminConnection();
    auto kiosk = kioskConnection();
    // "kind amount writer" of each finding since yesterday (the demo's older kiosk rows carry
    // office ids), or of one account's postings.
    const auto findings = [&](SqlText account) {
        Sql s;
        s << "CALL `cashless-adm`.AuditTransaksiKiosk(CURDATE() - INTERVAL 1 DAY, NULL, " << account
          << ", '" << esc(scalar(*kiosk, Sql("SELECT DATABASE()"))) << "')";
        QStringList out;
        for (Recordset r = admin->open(s); !r.eof(); r.moveNext())
            out << (r.text(QStringLiteral("jenis")) + ' ' + r.text(QStringLiteral("jumlah")) + ' ' +
                    r.text(QStringLiteral("penulis")))
                       .trimmed();
        return out;
    };

    const auto siti = [](auto in, auto receiver, const char* account) {
        in.NoRekening = QStringLiteral("010100000002"); // 150.000, quota 50.000
        in.Rfid = QStringLiteral("0004417002");
        in.balance = 150000;
        in.*receiver = QString::fromLatin1(account);
        return in;
    };
    auto order = siti(ShopOrderInput{}, &ShopOrderInput::shopAccount, "020100000099");
    order.cart.add(ShopCart::lineFromEntry(QStringLiteral("K007 : Pulpen"), 2500, 2, 5000));
    order.deliverySlot = QStringLiteral("Siang");
    auto pay = siti(ProductPaymentInput{}, &ProductPaymentInput::txtRekTujuan, "020100000003");
    auto fee = siti(FeePaymentInput{}, &FeePaymentInput::rekTujuan, "020100000010");
    auto send = siti(TransferInput{}, &TransferInput::txtRekening, "010100000001");
    pay.amount = fee.amount = send.amount = 2000;
    for (int round = 0; round < 2; ++round) { // equal postings of a day are counted
        ASSERT_EQ(postShopOrder(*kiosk, order).outcome, ShopOrderResult::Outcome::Posted);
        ASSERT_EQ(postProductPayment(*kiosk, pay).outcome, ProductPaymentResult::Outcome::Posted);
        ASSERT_EQ(postFeePayment(*kiosk, fee).outcome, FeePaymentResult::Outcome::Posted);
        ASSERT_EQ(postTransfer(*kiosk, send).outcome, TransferResult::Outcome::Posted);
    }
    EXPECT_EQ(findings("NULL"), QStringList());

    // A forged credit, a debit without credit, a malformed id, a posting across midnight.
    MariaDbServer::instance().runAdminScript(guard);
    kiosk->execute(Sql("SET @d = CURDATE(), @e = CURDATE() - INTERVAL 1 DAY"));
    kiosk->execute(Sql("SET @y = DATE_FORMAT(@d, '%y%m%d'), @s = DATE_FORMAT(@d, '%Y%m%d'), "
                       "@k = DATE_FORMAT(@e, '%y%m%d')"));
    kiosk->execute(
        Sql("INSERT INTO `cashless-adm`.data_tabungan_trans (trans_id, trans_tanggal, trans_kode, "
            "trans_rekening, trans_ob_rekening, trans_jumlah_masuk, trans_jumlah_keluar) VALUES "
            "(CONCAT('KLD', @y, '654321##'), @d, '15', '010100000002', '010100000001', 50000, 0), "
            "(CONCAT('KLD', @s, '9001'), @d, '14', '010100000004', '020100000010', 0, 7000), "
            "('KLD2612071234', @d, '14', '010100000005', '010100000006', 0, 1000), "
            "(CONCAT('KLD', @s, '9002'), @d, '15', '010100000006', '010100000005', 1000, 0), "
            "(CONCAT('KLD', @k, '222222'), @e, '14', '010100000007', '010100000008', 0, 2000), "
            "(CONCAT('KLD', @k, '222222#'), @d, '15', '010100000008', '010100000007', 2000, 0)"));
    kiosk->execute(Sql("INSERT INTO data_transaksi (trans_id, trans_tanggal, trans_kode, "
                       "trans_rekening, trans_jumlah) VALUES "
                       "(CONCAT('KLD', @y, '777777#'), @d, '14', '010100000004', 3000)"));
    // A second copy of a fee payment's debit, and the office's withdrawal below a minimum.
    kiosk->execute(Sql("INSERT INTO data_transaksi (trans_id, trans_tanggal, trans_kode, "
                       "trans_rekening, trans_jumlah) SELECT CONCAT(trans_id, '#'), trans_tanggal, "
                       "'14', trans_rekening, trans_jumlah FROM data_transaksi WHERE trans_id = "
                       "CONCAT('KLD', DATE_FORMAT(CURDATE(), '%Y%m%d'), '0003')"));
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'ADM1', "
                       "trans_tanggal = CURDATE(), trans_kode = '14', trans_rekening = "
                       "'010100000003', trans_jumlah_keluar = 118000, trans_status = 1"));
    MariaDbServer::instance().runAdminScript(upgrade);
    const QString kioskUser = MariaDbServer::instance().kioskParams().user + "@localhost";
    // A debit as the kiosk writes it, without its credit.
    const LedgerMove lone{"010100000004", "240100004", "0004417004", "010100000009",
                          "KLD01",        "",          3000,         {}};
    kiosk->execute(debitRow(lone, "KLD" + QDate::currentDate().toString("yyMMdd") + "333333",
                            scalarInt(*kiosk, Sql("SELECT `cashless-adm`.GetTabSaldoAktif("
                                                  "'010100000004', CURDATE())")) -
                                3000));
    EXPECT_EQ(findings("NULL"),
              QStringList({"DEBIT_TANPA_KREDIT 3000 " + kioskUser, "DEBIT_TANPA_KREDIT 7000",
                           "FORMAT_TIDAK_SESUAI 1000", "KREDIT_TANPA_DEBIT 50000",
                           "SALDO_DI_BAWAH_MINIMUM 3000", "SALINAN_GANDA 2000",
                           "SALINAN_TANPA_MUTASI 3000"}));
    EXPECT_EQ(findings("'010100000006'"), QStringList{"FORMAT_TIDAK_SESUAI 1000"});
}

// The office's own program, under an administrator of its own: after the kiosk's load, and after
// the upgrade (twice) of a database whose writer column an older load left visible, it sees the
// tables as before, and the guard only signs its rows.
TEST(KioskAuditTest, TheOfficesStatementsSeeTheTablesAsBefore) {
    QFile script(QStringLiteral(KALINDA_AUDIT_SQL));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    ConnectParams p = MariaDbServer::instance().adminParams();
    p.user = p.password = QStringLiteral("kantor");
    for (const bool upgraded : {false, true}) {
        MariaDbServer::instance().resetDatabase();
        QString setup = "CREATE OR REPLACE USER kantor@localhost IDENTIFIED BY 'kantor';\n";
        for (const QString& t :
             QStringList{"`cashless-adm`.data_tabungan_trans", "`aio-kirna`.data_transaksi",
                         '`' + p.database + "`.data_transaksi"}) {
            setup += "GRANT ALL ON " + t.section('.', 0, 0) + ".* TO kantor@localhost;\n";
            if (upgraded)
                setup += "ALTER TABLE " + t + " MODIFY trans_reg_user VARCHAR(400) NULL;\n";
        }
        MariaDbServer::instance().runAdminScript(
            setup + (upgraded ? QString::fromUtf8(script.readAll()).repeated(2) : QString()));
        Connection office;
        office.connect(p);
        const SqlText statements[] = {
            "INSERT INTO `cashless-adm`.data_tabungan_trans VALUES ('ADM0000000901', CURDATE(), "
            "'15', '01', '010100000005', '240100005', 'TELLER', '', 50000, 0, NULL, 0, '', "
            "'Setoran tunai', NULL, 0, CURDATE(), NOW(), 'ADM|kantor')",
            "INSERT INTO `aio-kirna`.data_transaksi VALUES ('ADM0000000902', CURDATE(), '14', "
            "'01', "
            "'010100000005', '240100005', 'ODR000000001', 'Nur Aisyah', '9B', 'TELLER', '', 5000, "
            "65000, 60000, 'Koreksi', 'Siang', 1, CURDATE(), NOW(), 'kantor', '')",
            "INSERT INTO data_transaksi VALUES ('ADM0000000903', CURDATE(), '14', '01', "
            "'010100000005', '240100005', 'Nur Aisyah', '9B', 'TELLER', '', 5000, 65000, 60000, "
            "'Koreksi', 1, CURDATE(), NOW(), 'kantor', '')",
            "UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 1 WHERE trans_status = 0",
            "UPDATE `cashless-adm`.data_tabungan_master SET tab_pin = '777777', tab_rfid = "
            "'00a1b2c3d4' WHERE tab_rekening = '010100000005'",
            "CALL `cashless-adm`.HitungTabSaldoNasabah('010100000005')",
        };
        for (const SqlText& statement : statements)
            EXPECT_NO_THROW(office.execute(Sql(statement))) << statement.text() << upgraded;
        EXPECT_EQ(
            office.open(Sql("SELECT * FROM `cashless-adm`.data_tabungan_trans")).columnCount(), 19);
        EXPECT_EQ(office.open(Sql("SELECT * FROM `aio-kirna`.data_transaksi")).columnCount(), 21);
        EXPECT_EQ(office.open(Sql("SELECT * FROM data_transaksi")).columnCount(), 19);
        EXPECT_EQ(office.open(Sql("SELECT * FROM `aio-kirna`.data_barang_order")).columnCount(),
                  10);
        EXPECT_TRUE(office.open(Sql("CALL `cashless-adm`.RekonsiliasiSaldo(NULL, 0)")).eof());
        EXPECT_EQ(
            scalar(office, Sql("SELECT CONCAT_WS(' ', (SELECT CONCAT(trans_status, "
                               "trans_reg_user) FROM `cashless-adm`.data_tabungan_trans WHERE "
                               "trans_id = 'ADM0000000901'), (SELECT trans_reg_user FROM "
                               "`aio-kirna`.data_transaksi WHERE trans_id = 'ADM0000000902'), "
                               "(SELECT trans_reg_user FROM data_transaksi WHERE trans_id = "
                               "'ADM0000000903'), (SELECT CONCAT_WS(' ', tab_saldo_efektif, "
                               "tab_pin, tab_rfid) FROM `cashless-adm`.data_tabungan_master "
                               "WHERE tab_rekening = '010100000005'), (SELECT COUNT(*) FROM "
                               "information_schema.COLUMNS WHERE EXTRA = 'INVISIBLE'))")),
            "1kantor@localhost kantor@localhost kantor@localhost 65000 777777 00a1b2c3d4 4");
    }
}

} // namespace
