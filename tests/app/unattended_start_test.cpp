#include "app/connection.h"
#include "app/frm_koneksi.h"
#include "app/parameters.h"
#include "app/unattended_start.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"
#include "visit/frm_transaksi.h"

#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

using namespace kalinda;
using namespace kalinda::test;
using namespace std::chrono_literals;

namespace {

const QString kWarning = QStringLiteral(
    "Ada kesalahan dengan koneksi ke server, periksa apakah jaringan/server sudah berjalan "
    "dengan baik!");

// The program's own start with a profile, against this test's server and with short waits.
class UnattendedStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        connectionSettings() = ConnectionSettings{};
        parameters() = Parameters{};
    }
    void TearDown() override {
        delete form.data();
        MariaDbServer::instance().start();
    }

    QPointer<UnattendedStart> begin(const QString& code, RetryPlan plan = {50ms, 5s}) {
        starter = new UnattendedStart(
            code,
            [this] {
                mainScreen = std::make_unique<frmTransaksi>(DbConn(), actions);
                mainScreen->show();
            },
            [this]() -> QWidget* {
                ++formsOpened;
                form = new frmKoneksi([] {}, testSettings());
                form->show();
                return form;
            },
            testSettings(), plan);
        starter->start();
        return starter;
    }

    bool finished() {
        return QTest::qWaitFor([this] { return starter.isNull(); }, 10000);
    }

    ScriptedDialogs dialogs;
    KioskActions actions;
    QPointer<UnattendedStart> starter;
    std::unique_ptr<frmTransaksi> mainScreen;
    QPointer<frmKoneksi> form;
    int formsOpened = 0;
};

TEST_F(UnattendedStartTest, ReachesTheMainScreenWithoutAClick) {
    begin(QStringLiteral("1"));
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen);
    EXPECT_TRUE(mainScreen->isVisible());
    EXPECT_EQ(mainScreen->sessionId().size(), 13);
    EXPECT_EQ(formsOpened, 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

// The kiosk boots before the school's server: it keeps trying, says so, and gets there.
TEST_F(UnattendedStartTest, WaitsWithANoticeForAServerThatComesUpLate) {
    MariaDbServer::instance().stop();
    begin(QStringLiteral("1"), {100ms, 30s});
    ASSERT_TRUE(QTest::qWaitFor([this] { return starter && starter->attempts() >= 3; }, 10000));
    QPointer<QLabel> notice = starter->notice();
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_TRUE(notice->text().startsWith(QStringLiteral("Menghubungkan ke server (1 : Lokal)")));
    EXPECT_TRUE(notice->text().contains(kWarning));
    EXPECT_FALSE(mainScreen);

    MariaDbServer::instance().start();
    ASSERT_TRUE(finished());
    ASSERT_TRUE(mainScreen);
    EXPECT_TRUE(mainScreen->isVisible());
    EXPECT_TRUE(notice.isNull());
    EXPECT_EQ(formsOpened, 0);
    // No message box waited for a person on the way.
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(UnattendedStartTest, GivesUpToTheConnectionFormWithOneWarning) {
    MariaDbServer::instance().stop();
    QPointer<QLabel> notice;
    dialogs.onMessage = [&](const ScriptedDialogs::Message&) {
        // The warning stands on the connection form, the notice already gone.
        EXPECT_TRUE(form && form->isVisible());
        EXPECT_TRUE(notice.isNull());
    };
    begin(QStringLiteral("1"), {50ms, 600ms});
    notice = starter->notice();
    ASSERT_TRUE(notice);
    ASSERT_TRUE(finished());
    EXPECT_FALSE(mainScreen);
    EXPECT_EQ(formsOpened, 1);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kWarning});
    EXPECT_EQ(dialogs.messages.front().icon, MessageIcon::Warning);
}

// The program itself refuses a profile that does not exist, before any window.
TEST(UnattendedProgramTest, RefusesAnUnknownProfile) {
    for (const QString& code : {QStringLiteral("9"), QStringLiteral("0"), QStringLiteral("1x")}) {
        QProcess program;
        program.start(QStringLiteral(KALINDA_PROGRAM), {QStringLiteral("--profile"), code});
        ASSERT_TRUE(program.waitForFinished(30000));
        const QString output = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 2) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("no connection profile \"%1\"").arg(code)))
            << output.toStdString();
    }
}

} // namespace
