#include "app/connection.h"
#include "kiosk/kiosk_menu.h"
#include "kiosk/unattended_start.h"
#include "postings/frm_transaksi_baru.h"
#include "postings/posting_intent.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"
#include "visit/frm_transaksi.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;
using namespace std::chrono_literals;

namespace {

const QString kWarning = QStringLiteral("Ada kesalahan dengan koneksi ke server");

// The program's start with a profile, against this test's server and with short waits.
class UnattendedStartTest : public ::testing::Test {
protected:
    void SetUp() override { MariaDbServer::instance().resetDatabase(); }
    void TearDown() override { MariaDbServer::instance().start(); }

    void begin(RetryPlan plan, const EncodedSettings& stored = testSettings(),
               const QStringList& failover = {}) {
        const auto showMain = [this] {
            mainScreen = std::make_unique<frmTransaksi>(DbConn(), actions);
            mainScreen->show();
        };
        starter = new UnattendedStart(QStringLiteral("1"), showMain, failover, stored, plan);
        starter->start();
    }
    bool finished() {
        return QTest::qWaitFor([this] { return starter.isNull(); }, 10000);
    }

    ScriptedDialogs dialogs;
    KioskActions actions;
    QPointer<UnattendedStart> starter;
    std::unique_ptr<frmTransaksi> mainScreen;
};

// With the program's own menu, each button of a visit opens its form.
TEST_F(UnattendedStartTest, ReachesTheMainScreenWithoutAClickAndItsMenuOpensEachForm) {
    actions = kioskMenu();
    begin({50ms});
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen && mainScreen->isVisible());
    EXPECT_EQ(mainScreen->sessionId().size(), 13);
    EXPECT_TRUE(dialogs.messages.empty());

    dialogs.queueInput(QStringLiteral("123456"));
    dialogs.onNextModal([](QDialog& pin) {
        QTest::keyClicks(pin.focusWidget(), QStringLiteral("0004417001"));
        if (pin.isVisible())
            pin.reject();
    });
    mainScreen->cmdStart->click();
    ASSERT_EQ(mainScreen->txtNorek->text(), QStringLiteral("010100000001"));
    frmTransaksi& s = *mainScreen;
    const std::pair<QPushButton*, const char*> menu[] = {
        {s.cmdBlock, "frmTransaksiBlock"},      {s.cmdGantiPin, "frmTransaksiGantiPin"},
        {s.cmdMutasi, "frmTransaksiMutasi"},    {s.cmdTunggakan, "frmTransaksiSpp"},
        {s.cmdInfaq, "frmTransaksiBaru INFAQ"}, {s.cmdSchool, "frmTransaksiBaru SPP"},
        {s.cmdWaqf, "frmTransaksiBaru WAKAF"},  {s.cmdVoucher, "frmTransaksiTarik"},
        {s.cmdKirna, "frmTransaksiKirna"},
    };
    for (const auto& [button, opened] : menu) {
        QString name;
        dialogs.onNextModal([&](QDialog& d) {
            name = d.objectName();
            if (auto* fee = qobject_cast<frmTransaksiBaru*>(&d))
                name += QLatin1Char(' ') + fee->view;
            d.reject();
        });
        button->click();
        EXPECT_EQ(name, QString::fromLatin1(opened)) << button->objectName().toStdString();
    }
    EXPECT_EQ(dialogs.messageTexts(), QStringList());
}

// The kiosk boots before the school's server: it says so, keeps trying and gets there,
// without a message box that would wait for a person.
TEST_F(UnattendedStartTest, WaitsWithANoticeForAServerThatComesUpLate) {
    MariaDbServer::instance().stop();
    begin({100ms});
    ASSERT_TRUE(QTest::qWaitFor([this] { return starter && starter->attempts() >= 3; }, 10000));
    QPointer<QLabel> notice = starter->notice();
    ASSERT_TRUE(notice && notice->isVisible());
    EXPECT_TRUE(notice->text().startsWith(QStringLiteral("Menghubungkan ke server (1 : Lokal)")));
    EXPECT_TRUE(notice->text().contains(kWarning) && !mainScreen);

    MariaDbServer::instance().start();
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen && mainScreen->isVisible());
    EXPECT_TRUE(notice.isNull() && dialogs.messages.empty());
}

// Never the connection form, however long it waits: the profiles it may fail over to (kept
// from the last run) are tried in turn. Profile 1 refuses, 2 never resolves, 3 comes up.
TEST_F(UnattendedStartTest, TriesItsFailoverProfilesInTurnWithoutEverGivingUp) {
    EncodedSettings stored = testSettings();
    stored.portLocal = encode3(QStringLiteral("1"));
    stored.hosts[2] = encode3(QStringLiteral("127.0.0.1"));
    stored.portServer = encode3(QString::number(MariaDbServer::instance().port()));
    QTemporaryDir state;
    setStateFolder(state.path());
    rememberFailoverProfiles({QStringLiteral("2"), QStringLiteral("3")});
    MariaDbServer::instance().stop();
    begin({20ms}, stored, rememberedFailoverProfiles());
    ASSERT_TRUE(QTest::qWaitFor([this] { return starter && starter->attempts() >= 8; }, 20000));
    EXPECT_TRUE(starter->notice()->isVisible() && !mainScreen);

    MariaDbServer::instance().start();
    ASSERT_TRUE(finished());
    EXPECT_TRUE(mainScreen && connectionSettings().ProfileCode == "3" && dialogs.messages.empty());
    setStateFolder({});
}

TEST(UnattendedProgramTest, RefusesAnUnknownProfile) {
    for (const QString& code : {QStringLiteral("9"), QStringLiteral("0"), QStringLiteral("1x")}) {
        QProcess program;
        program.start(QStringLiteral(KALINDA_PROGRAM), {QStringLiteral("--profile"), code});
        ASSERT_TRUE(program.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(program.exitCode(), 2) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("no connection profile \"%1\"").arg(code)));
    }
}

} // namespace
