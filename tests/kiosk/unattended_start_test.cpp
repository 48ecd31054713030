#include "app/connection.h"
#include "app/frm_koneksi.h"
#include "kiosk/unattended_start.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"
#include "visit/frm_transaksi.h"

#include <QLabel>
#include <QProcess>
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
    void TearDown() override {
        delete form.data();
        MariaDbServer::instance().start();
    }

    void begin(RetryPlan plan) {
        const auto showMain = [this] {
            mainScreen = std::make_unique<frmTransaksi>(DbConn(), actions);
            mainScreen->show();
        };
        starter = new UnattendedStart(
            QStringLiteral("1"), showMain,
            [this]() -> QWidget* {
                form = new frmKoneksi([] {}, testSettings());
                form->show();
                return form;
            },
            testSettings(), plan);
        starter->start();
    }
    bool finished() {
        return QTest::qWaitFor([this] { return starter.isNull(); }, 10000);
    }

    ScriptedDialogs dialogs;
    KioskActions actions;
    QPointer<UnattendedStart> starter;
    std::unique_ptr<frmTransaksi> mainScreen;
    QPointer<frmKoneksi> form;
};

TEST_F(UnattendedStartTest, ReachesTheMainScreenWithoutAClick) {
    begin({50ms, 5s});
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen && mainScreen->isVisible());
    EXPECT_EQ(mainScreen->sessionId().size(), 13);
    EXPECT_TRUE(form.isNull() && dialogs.messages.empty());
}

// The kiosk boots before the school's server: it says so, keeps trying and gets there,
// without a message box that would wait for a person.
TEST_F(UnattendedStartTest, WaitsWithANoticeForAServerThatComesUpLate) {
    MariaDbServer::instance().stop();
    begin({100ms, 30s});
    ASSERT_TRUE(QTest::qWaitFor([this] { return starter && starter->attempts() >= 3; }, 10000));
    QPointer<QLabel> notice = starter->notice();
    ASSERT_TRUE(notice && notice->isVisible());
    EXPECT_TRUE(notice->text().startsWith(QStringLiteral("Menghubungkan ke server (1 : Lokal)")));
    EXPECT_TRUE(notice->text().contains(kWarning) && !mainScreen);

    MariaDbServer::instance().start();
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen && mainScreen->isVisible());
    EXPECT_TRUE(notice.isNull() && form.isNull() && dialogs.messages.empty());
}

TEST_F(UnattendedStartTest, GivesUpToTheConnectionFormWithOneWarning) {
    MariaDbServer::instance().stop();
    QPointer<QLabel> notice;
    dialogs.onMessage = [&](const ScriptedDialogs::Message& m) {
        // The warning stands on the connection form, the notice already gone.
        EXPECT_TRUE(form && form->isVisible() && notice.isNull());
        EXPECT_EQ(m.icon, MessageIcon::Warning);
    };
    begin({50ms, 600ms});
    notice = starter->notice();
    ASSERT_TRUE(notice);
    ASSERT_TRUE(finished());
    EXPECT_FALSE(mainScreen);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages.front().text.startsWith(kWarning));
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
