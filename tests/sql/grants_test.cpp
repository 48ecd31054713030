#include "support/mariadb_server.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kalinda::test {

// What a copied password could be used for: each refused for want of a right.
TEST(GrantsTest, KioskUserCannotRewriteBalancesOrLedgerNorDelete) {
    const SqlText refused[] = {
        "UPDATE `cashless-adm`.data_tabungan_master SET tab_saldo_efektif = 9000000",
        "UPDATE `cashless-adm`.data_tabungan_trans SET trans_jumlah_masuk = 9000000",
        "DELETE FROM `cashless-adm`.data_tabungan_trans WHERE trans_kode = '14'",
        "CALL `cashless-adm`.TambahSaldoBerjalan('010100000003', 9000000)",
        "SELECT hb_mesin FROM data_kiosk_heartbeat", // the kiosks' addresses, only StatusKiosk
        "UPDATE data_kiosk_heartbeat SET hb_terakhir = NOW()", // every kiosk alive at once
        "DELETE FROM data_posting_tanda", // stored postings in doubt settled as not booked
        "UPDATE data_posting_tanda SET tanda_waktu = NOW() - INTERVAL 1 YEAR",
    };
    for (const SqlText& statement : refused) {
        try {
            kioskConnection()->execute(Sql(statement));
            ADD_FAILURE() << "allowed: " << statement.text();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.code() == 1142 || e.code() == 1143 || e.code() == 1370) << e.what();
        }
    }
}

// Rows a copied password could forge: each refused by the ledger's guard, which names its rule
// (the failed statement stores nothing).
TEST(GrantsTest, KioskUserCannotForgeRowsTheKioskNeverWrites) {
    // Nur Aisyah (15.000) pays the canteen 1.000 as a product payment writes it; each forgery
    // changes that row or the session.
    const Sql debit("SET @id = CONCAT('KLD', DATE_FORMAT(CURDATE(), '%y%m%d'), '654321'), "
                    "@mundur = 0, @kode = '14', @ke = '020100000003', @masuk = 0, @keluar = 1000, "
                    "@akhir = 14000, @status = 0, @alias = 'KLD|'");
    const Sql ledger("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = @id, "
                     "trans_tanggal = NOW() - INTERVAL @mundur DAY, trans_kode = @kode, "
                     "trans_kantor = '01', trans_rekening = '010100000005', trans_ob_jenis = 1, "
                     "trans_ob_rekening = @ke, trans_jumlah_masuk = @masuk, "
                     "trans_jumlah_keluar = @keluar, trans_saldo_akhir = @akhir, "
                     "trans_status = @status, trans_reg_date = NOW(), trans_reg_time = NOW(), "
                     "trans_reg_alias = @alias");
    const Sql shopCopy("INSERT INTO `aio-kirna`.data_transaksi SET trans_id = CONCAT('KLD', "
                       "DATE_FORMAT(CURDATE(), '%Y%m%d'), '0001'), trans_tanggal = NOW(), "
                       "trans_kode = '14', trans_rekening = '010100000005', trans_jumlah = 5000, "
                       "trans_saldo_awal = 15000, trans_saldo_akhir = 10000, trans_status = 0, "
                       "trans_reg_date = NOW(), trans_reg_time = NOW()");
    const struct {
        Sql change;
        const Sql& insert;
        const char* rule;
    } forgeries[] = {
        {Sql("SET @id = CONCAT(@id, '##'), @kode = '15', @ke = '010100000001', @masuk = 1000000, "
             "@keluar = 0, @akhir = NULL"),
         ledger, "kredit tanpa debit"}, // money from nowhere to one's own account
        {Sql("SET @id = 'ADM9900000001', @alias = 'ADM|', @status = 1"), ledger, "trans_status"},
        {Sql("SET @keluar = -500000, @akhir = 515000"), ledger, "keluar > 0"},
        {Sql("SET @id = 'ADM9900000002'"), ledger, "trans_id"},
        {Sql("SET @mundur = 40"), ledger, "trans_tanggal"},
        {Sql("SET timestamp = UNIX_TIMESTAMP() - 40 * 86400"), ledger, "waktu sesi"},
        {Sql("SET time_zone = '+13:00'"), ledger, "waktu sesi"},
        {Sql("SET @keluar = 15000, @akhir = 1"), ledger, "saldo tabungan"}, // all of it
        {Sql("DO 0"), shopCopy, "tanpa debit"}, // an order marked paid by its copy alone
    };
    for (const auto& forgery : forgeries) {
        auto kiosk = kioskConnection();
        kiosk->execute(debit);
        kiosk->execute(forgery.change);
        try {
            kiosk->execute(forgery.insert);
            ADD_FAILURE() << "stored after " << forgery.change.plainText().toStdString();
        } catch (const DbError& e) {
            EXPECT_TRUE(e.code() == 1644 && e.message().contains(QLatin1String(forgery.rule)))
                << e.what();
        }
    }
}

// A user made for `hosts` the way `scripts/db users` makes it; false when the load refused.
bool connectsAfterLoad(const QString& password, const QString& hosts, const QString& tls = {}) {
    QTemporaryDir dir(QString::fromLocal8Bit(testTempRoot()) + QStringLiteral("/users-XXXXXX"));
    const QString out = dir.filePath(QStringLiteral("users.sql"));
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.user = QStringLiteral("kalinda_probe");
    p.password = password;
    if (QProcess::execute(QStringLiteral(KALINDA_CMAKE),
                          {"-DOUT=" + out, "-DKIOSK_USER=" + p.user, "-DKIOSK_PASSWORD=" + password,
                           "-DKIOSK_HOSTS=" + hosts, "-DKIOSK_DB=" + p.database,
                           "-DKIOSK_REQUIRE_TLS=" + tls, QStringLiteral("-DUSERS_ONLY=ON"),
                           QStringLiteral("-P"), QStringLiteral(KALINDA_ASSEMBLE_SQL)}) != 0)
        return false;
    MariaDbServer::instance().runAdminScript(QStringLiteral("source ") + out);
    Connection c;
    c.connect(p);
    return c.status() == 0;
}

TEST(GrantsTest, UserConnectsOnlyFromItsHostPatternsWithAnyPassword) {
    const QString password = QStringLiteral("it's a \\ 'secret' \\\\");
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("10.%")));
    EXPECT_TRUE(connectsAfterLoad(password, QStringLiteral("10.%, localhost 127.0.0.1")));
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("localhost 127.0.0.1"), "SSL"));
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("10.%';--")));
}

} // namespace kalinda::test
