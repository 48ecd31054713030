#include "app/connection.h"
#include "app/dialogs.h"
#include "app/frm_koneksi.h"
#include "app/server_switch.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"
#include "support/tcp_proxy.h"
#include "support/test_settings.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <iostream>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QString kWarning = QStringLiteral(
    "Ada kesalahan dengan koneksi ke server, periksa apakah jaringan/server sudah berjalan "
    "dengan baik!");

class FrmKoneksiTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().start();
        connectionSettings() = ConnectionSettings{};
        form = new frmKoneksi([this] { ++continued; }, testSettings());
        form->show();
    }
    void TearDown() override {
        delete form.data();
        MariaDbServer::instance().start();
    }

    // Picks a list entry with the keyboard, as the operator would.
    void choose(int index) {
        form->cboKoneksi->setFocus();
        {
            const QSignalBlocker quiet(form->cboKoneksi);
            form->cboKoneksi->setCurrentIndex(index - 1);
        }
        QTest::keyClick(form->cboKoneksi, Qt::Key_Down);
        ASSERT_EQ(form->cboKoneksi->currentIndex(), index);
    }

    ScriptedDialogs dialogs;
    QPointer<frmKoneksi> form;
    int continued = 0;
};

TEST_F(FrmKoneksiTest, StartsWithTheFourProfilesAndOkDisabled) {
    EXPECT_FALSE(form->cmdLanjut->isEnabled());
    ASSERT_EQ(form->cboKoneksi->count(), 4);
    EXPECT_EQ(form->cboKoneksi->itemText(0), QStringLiteral("1 : Lokal"));
    EXPECT_EQ(form->cboKoneksi->itemText(3), QStringLiteral("4 : Backup-2"));
    EXPECT_EQ(form->cboKoneksi->currentIndex(), -1);
    EXPECT_EQ(form->cmdLanjut->text(), QStringLiteral("OK"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("KONEKSI KALINDA APP"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("Pilih Jenis Koneksi!"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FrmKoneksiTest, ChoosingLokalFillsTheCodeAndConnects) {
    choose(0);
    EXPECT_EQ(form->txtKdKoneksi->text(), QStringLiteral("1"));
    EXPECT_TRUE(form->cmdLanjut->isEnabled());
    EXPECT_EQ(DbConn().status(), 0);
    EXPECT_EQ(DbConnSpare().status(), 0);
    EXPECT_EQ(connectionSettings().ServerAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(connectionSettings().DbUser, QStringLiteral(KALINDA_TEST_USER));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(scalar(DbConn(), Sql("SELECT DATABASE()")), QStringLiteral(KALINDA_TEST_DBNAME));
}

TEST_F(FrmKoneksiTest, TypingACodeSelectsItsProfileAndUsesItsServer) {
    QTest::keyClicks(form->txtKdKoneksi, QStringLiteral("2"));
    EXPECT_EQ(form->cboKoneksi->currentText(), QStringLiteral("2 : Primary"));
    EXPECT_EQ(connectionSettings().ServerAddress, QStringLiteral("primary.kalinda.invalid"));
    EXPECT_EQ(connectionSettings().ServerPort, QStringLiteral("3306"));
    EXPECT_FALSE(form->cmdLanjut->isEnabled());
    EXPECT_EQ(dialogs.messageTexts(), (QStringList{kWarning, kWarning}));

    dialogs.clear();
    choose(2);
    EXPECT_EQ(form->txtKdKoneksi->text(), QStringLiteral("3"));
    EXPECT_EQ(connectionSettings().ServerAddress, QStringLiteral("backup1.kalinda.invalid"));
    EXPECT_EQ(connectionSettings().ServerPort, QStringLiteral("3306"));
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

TEST_F(FrmKoneksiTest, ServerDownGivesTwoWarningsPerChoiceQuickly) {
    MariaDbServer::instance().stop();
    QElapsedTimer timer;
    timer.start();
    choose(0);
    // A refused connection comes back at once; the bound is the two attempts' connect timeouts
    // with room for a loaded machine, so only a hang fails it.
    std::cout << "[ measure  ] two refused attempts took " << timer.elapsed() << " ms\n";
    EXPECT_LT(timer.elapsed(), 4 * ConnectParams{}.connectTimeoutSeconds * 1000);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    for (const auto& m : dialogs.messages) {
        EXPECT_EQ(m.text, kWarning);
        EXPECT_EQ(m.icon, MessageIcon::Warning);
        EXPECT_EQ(m.title, QStringLiteral("KalindaApp"));
    }
    EXPECT_FALSE(form->cmdLanjut->isEnabled());
    choose(0); // the same choice again: the code does not change, so nothing new is tried
    form->txtKdKoneksi->clear();
    QTest::keyClicks(form->txtKdKoneksi, QStringLiteral("1"));
    EXPECT_EQ(dialogs.messages.size(), 6u); // empty code tries with the old settings, then "1"
    EXPECT_FALSE(form->cmdLanjut->isEnabled());
}

TEST_F(FrmKoneksiTest, AFailureAfterASuccessDisablesOkAgain) {
    choose(0);
    ASSERT_TRUE(form->cmdLanjut->isEnabled());
    choose(1);
    EXPECT_EQ(form->txtKdKoneksi->text(), QStringLiteral("2"));
    EXPECT_FALSE(form->cmdLanjut->isEnabled());
    EXPECT_EQ(DbConn().status(), 1);
}

TEST_F(FrmKoneksiTest, OkWithoutACodeAsksForOne) {
    form->cmdLanjut->setEnabled(true); // a connected choice whose code was then emptied
    QTest::mouseClick(form->cmdLanjut, Qt::LeftButton);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Pilih Koneksi!")});
    EXPECT_EQ(dialogs.messages.front().icon, MessageIcon::Warning);
    EXPECT_EQ(continued, 0);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(FrmKoneksiTest, OkGoesOnAndClosesTheForm) {
    choose(0);
    QTest::mouseClick(form->cmdLanjut, Qt::LeftButton);
    EXPECT_EQ(continued, 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.isNull(); })); // closed and deleted
    EXPECT_EQ(DbConn().status(), 0);
}

TEST_F(FrmKoneksiTest, ASettingWrittenInUtf8ConnectsWithANonAsciiPassword) {
    const QString password = QString::fromUtf8("sandi-é€");
    adminConnection()->execute(Sql() << "CREATE OR REPLACE USER kalinda_utf8 IDENTIFIED BY '"
                                     << esc(password) << "'");
    EncodedSettings settings = testSettings();
    settings.user = encode3(QStringLiteral("kalinda_utf8"));
    settings.password = encode3(password);
    settings.database.clear(); // the new user may see no schema
    choose(0);                 // profile 1's server
    OpenConnection(settings);
    EXPECT_EQ(scalar(DbConn(), Sql("SELECT CURRENT_USER()")).section('@', 0, 0), "kalinda_utf8");
}

// The kiosk's own account from the deployment's settings, else the built-in one; an account
// named but unreadable is refused with a message, never replaced by the built-in one.
TEST_F(FrmKoneksiTest, ConnectsWithTheDeploymentsAccountElseTheBuiltInOne) {
    adminConnection()->execute(Sql("CREATE OR REPLACE USER pc7 IDENTIFIED BY 'sandi-pc7'"));
    QTemporaryDir dir;
    QFile password(dir.filePath(QStringLiteral("sandi")));
    ASSERT_TRUE(password.open(QIODevice::WriteOnly));
    password.write(encode3(QStringLiteral("sandi-pc7")).toLatin1() + "\n");
    password.close();
    password.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QFile::copy(password.fileName(), dir.filePath(QStringLiteral("terbuka")));
    QFile::setPermissions(dir.filePath(QStringLiteral("terbuka")), QFileDevice::ReadOther);
    const auto unset = qScopeGuard([] {
        qunsetenv("KALINDA_DB_USER");
        qunsetenv("KALINDA_DB_PASSWORD_FILE");
    });
    const struct {
        const char* user;
        const char* passwordFile;
        const char* outcome; // who is connected, or the message's start
    } cases[] = {
        {"", "", KALINDA_TEST_USER}, // none named
        {"pc7", "sandi", "pc7"},
        {"pc7", "hilang", "Akun database kiosk tidak dapat dipakai"},
        {"pc7", "terbuka", "Akun database kiosk tidak dapat dipakai"}, // anyone may read it
    };
    EncodedSettings settings = testSettings();
    settings.database.clear(); // the new user may see no schema
    choose(0);
    for (const auto& c : cases) {
        qputenv("KALINDA_DB_USER", c.user[0] ? encode3(QLatin1String(c.user)).toLatin1() : "");
        qputenv("KALINDA_DB_PASSWORD_FILE",
                c.user[0] ? dir.filePath(QLatin1String(c.passwordFile)).toLocal8Bit() : "");
        OpenConnection(settings);
        EXPECT_EQ(DbConn().status() == 0
                      ? scalar(DbConn(), Sql("SELECT USER()")).section(u'@', 0, 0)
                      : dialogs.messages.back().text.section(u':', 0, 0),
                  QLatin1String(c.outcome));
    }
}

TEST_F(FrmKoneksiTest, AnUnknownCodeKeepsThePreviousServer) {
    choose(0);
    dialogs.clear();
    form->txtKdKoneksi->setText(QStringLiteral("7"));
    EXPECT_EQ(form->cboKoneksi->currentIndex(), -1);
    EXPECT_EQ(connectionSettings().ServerAddress, QStringLiteral("127.0.0.1"));
    EXPECT_TRUE(form->cmdLanjut->isEnabled());
    EXPECT_TRUE(dialogs.messages.empty());
}

// Profiles 2 and 3 are two links to this server (no cluster needed): the first link is cut, and
// the kiosk moves to the second and says where it is now.
TEST(ServerSwitchTest, ACutLinkMovesTheKioskToTheNextProfileAndSaysSo) {
    MariaDbServer::instance().start();
    ScriptedDialogs dialogs;
    auto primary = std::make_unique<TcpProxy>(MariaDbServer::instance().port());
    const QString port = QString::number(primary->port());
    TcpProxy backup(MariaDbServer::instance().port(), "127.0.0.2", primary->port());
    EncodedSettings settings = testSettings();
    settings.hosts[1] = encode3(QStringLiteral("127.0.0.1"));
    settings.hosts[2] = encode3(QStringLiteral("127.0.0.2"));
    settings.portServer = encode3(port);
    Connection db;
    db.connect(kioskParamsThrough(*primary));
    ServerSwitch server(db, QStringLiteral("2"), settings);
    server.setFailoverProfiles({QStringLiteral("2"), QStringLiteral("3")});
    installServerSwitch(&server);
    const auto uninstall = qScopeGuard([] { installServerSwitch(nullptr); });
    primary.reset();
    try {
        db.execute(Sql("SELECT 1"));
        ADD_FAILURE() << "the cut link answered";
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data tidak dapat dibaca."), e);
    }
    ASSERT_EQ(dialogs.messageTexts().size(), 1);
    EXPECT_EQ(dialogs.messageTexts()[0].section(QStringLiteral("\n\n("), 0, 0),
              QStringLiteral("Data tidak dapat dibaca.\nServer 2 : Primary (127.0.0.1:%1) tidak "
                             "dapat dihubungi. Kiosk pindah ke server 3 : Backup-1 (127.0.0.2:%1). "
                             "Silakan coba lagi.")
                  .arg(port));
    EXPECT_EQ(server.profile(), QStringLiteral("3"));
    EXPECT_EQ(scalar(db, Sql("SELECT 1")), QStringLiteral("1"));
}

} // namespace
