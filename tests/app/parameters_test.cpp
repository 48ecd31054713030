#include "app/parameters.h"
#include "support/mariadb_server.h"

#include <QComboBox>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class ParametersTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }
    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(ParametersTest, ReadsTheDemoParameters) {
    const Parameters p = LoadParameters(*db);
    EXPECT_EQ(p.AppParam.Channel, QStringLiteral("KLD01"));
    EXPECT_EQ(p.AppParam.pinLogout, QStringLiteral("246810"));
    EXPECT_EQ(p.AppParam.SelfOrder, QStringLiteral("1"));
    EXPECT_EQ(p.AppParam.LembagaNama, QStringLiteral("PONDOK PESANTREN KALINDA"));
    EXPECT_EQ(p.ShopNoRekening, QStringLiteral("020100000099"));
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("SPP"))->Rekening,
              QStringLiteral("020100000001"));
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("WAKAF"))->Nama, QStringLiteral("Wakaf"));
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("OTHER")), nullptr);
}

TEST_F(ParametersTest, LastRowOfARepeatedKeyWinsAndKeysAreCaseSensitive) {
    admin->execute(Sql("INSERT INTO set_app (app_case, app_text) VALUES "
                       "('Channel', 'FIRST'), ('Channel', 'SECOND'), ('selforder', '0'), "
                       "('PINLOGOUT', 'x')"));
    const Parameters p = LoadParameters(*db);
    EXPECT_EQ(p.AppParam.Channel, QStringLiteral("SECOND"));
    EXPECT_EQ(p.AppParam.SelfOrder, QStringLiteral("1"));
    EXPECT_EQ(p.AppParam.pinLogout, QStringLiteral("246810"));
}

TEST_F(ParametersTest, SelfOrderZeroDoesNotReadTheShop) {
    admin->execute(Sql("UPDATE set_app SET app_text = '0' WHERE app_case = 'SelfOrder'"));
    StatementRecorder recorder;
    const Parameters p = LoadParameters(*db);
    EXPECT_EQ(p.ShopNoRekening, QString());
    for (const QString& s : recorder.statements())
        EXPECT_FALSE(s.contains(QStringLiteral("aio-kirna"))) << s.toStdString();
    EXPECT_EQ(recorder.statements(),
              (QStringList{QStringLiteral("SELECT * FROM set_app"),
                           QStringLiteral("SELECT kalinda_nama, kalinda_rekening, kalinda_kode "
                                          "FROM `cashless-adm`.data_kalinda_produk ")}));
}

TEST_F(ParametersTest, MissingKeysAndProductsLeaveTheirFieldsEmpty) {
    admin->execute(Sql("DELETE FROM set_app WHERE app_case IN ('pinLogout', 'SelfOrder')"));
    admin->execute(
        Sql("DELETE FROM `cashless-adm`.data_kalinda_produk WHERE kalinda_kode = '011'"));
    admin->execute(Sql("UPDATE `cashless-adm`.data_kalinda_produk SET kalinda_status = 0 "
                       "WHERE kalinda_kode = '010'"));
    const Parameters p = LoadParameters(*db);
    EXPECT_EQ(p.AppParam.pinLogout, QString());
    EXPECT_EQ(p.ShopNoRekening, QString()); // shop not read without "1"
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("WAKAF"))->Rekening, QString());
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("SPP"))->Rekening,
              QStringLiteral("020100000001"));
    // Not offered, but its account is still loaded.
    EXPECT_EQ(p.ProductAccount.forPurpose(QStringLiteral("INFAQ"))->Rekening,
              QStringLiteral("020100000010"));

    QComboBox combo;
    FillProductCombo(&combo, *db);
    EXPECT_EQ(combo.itemText(0), QString());
    EXPECT_EQ(combo.itemText(1), QStringLiteral("001 : Uang Sekolah (SPP)"));
    EXPECT_EQ(combo.findText(QStringLiteral("010 : Infaq")), -1);
    EXPECT_EQ(combo.findText(QStringLiteral("007 : Fotokopi")), -1);
    EXPECT_EQ(combo.count(), 7); // empty entry and six offered products
}

TEST_F(ParametersTest, FillsTheShopAndDeliveryCombos) {
    QComboBox items;
    FillShopItemCombo(&items, *db);
    EXPECT_EQ(items.itemText(0), QString());
    EXPECT_EQ(items.itemText(1), QStringLiteral("K001 : Air Mineral 600ml"));
    EXPECT_EQ(items.count(), 12);
    QComboBox slot;
    slot.addItem(QStringLiteral("stale"));
    FillDeliverySlotCombo(&slot);
    EXPECT_EQ(slot.count(), 3);
    EXPECT_EQ(slot.itemText(1), QStringLiteral("Siang"));
    EXPECT_EQ(slot.itemText(2), QStringLiteral("Malam"));
}

TEST(AppVersionTest, IsMajorMinorRevision) {
    EXPECT_EQ(AppVersion(), QStringLiteral("1.0.1"));
}

} // namespace
