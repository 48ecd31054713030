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

// A user made for `hosts` the way `scripts/db users` makes it; false when the load refused.
bool connectsAfterLoad(const QString& password, const QString& hosts) {
    QTemporaryDir dir(QString::fromLocal8Bit(testTempRoot()) + QStringLiteral("/users-XXXXXX"));
    const QString out = dir.filePath(QStringLiteral("users.sql"));
    ConnectParams p = MariaDbServer::instance().kioskParams();
    p.user = QStringLiteral("kalinda_probe");
    p.password = password;
    if (QProcess::execute(QStringLiteral(KALINDA_CMAKE),
                          {"-DOUT=" + out, "-DKIOSK_USER=" + p.user, "-DKIOSK_PASSWORD=" + password,
                           "-DKIOSK_HOSTS=" + hosts, "-DKIOSK_DB=" + p.database,
                           QStringLiteral("-DUSERS_ONLY=ON"), QStringLiteral("-P"),
                           QStringLiteral(KALINDA_ASSEMBLE_SQL)}) != 0)
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
    EXPECT_FALSE(connectsAfterLoad(password, QStringLiteral("10.%';--")));
}

} // namespace kalinda::test
