#include "app/parameters.h"
#include "printing/print.h"
#include "printing/printer_check.h"
#include "printing/raw_printer.h"
#include "support/cups_server.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

QDateTime fixedClock() {
    return QDateTime(QDate(2024, 3, 9), QTime(7, 5, 3));
}

ReceiptValues sampleValues() {
    ReceiptValues v;
    v.account = QStringLiteral("010100000001");
    v.name = QStringLiteral("Ahmad Fauzi");
    return v;
}

class PrinterGuardTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        MariaDbServer::instance().resetDatabase();
        CupsServer::instance();
    }
    void SetUp() override {
        cups.reset();
        parameters() = Parameters{};
        forgetLastReceipt();
    }
    void TearDown() override { parameters() = Parameters{}; }

    CupsServer& cups = CupsServer::instance();
    ScriptedDialogs dialogs;
};

TEST(PrinterProblemTest, NamesWhatKeepsTheReceiptFromComingOut) {
    struct Case {
        PrinterStatus status;
        QString problem;
    };
    const Case cases[] = {
        {{false, false, {}}, QStringLiteral("printer tidak ditemukan")},
        {{true, false, {QStringLiteral("none")}}, QString()},
        {{true, true, {QStringLiteral("paused")}}, QStringLiteral("printer berhenti")},
        {{true, false, {QStringLiteral("media-empty-error")}}, QStringLiteral("kertas habis")},
        {{true, false, {QStringLiteral("media-needed")}}, QStringLiteral("kertas habis")},
        {{true, false, {QStringLiteral("media-empty-warning")}}, QString()}, // paper runs low
        {{true, true, {QStringLiteral("toner-low"), QStringLiteral("cover-open-error")}},
         QStringLiteral("printer berhenti, tutup printer terbuka")},
        {{true, false, {QStringLiteral("door-open")}}, QStringLiteral("tutup printer terbuka")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(printerProblem(c.status), c.problem) << c.status.reasons.join(u',').toStdString();
}

// What the office is told of the printer, worst first; then as the scheduler reports it.
TEST_F(PrinterGuardTest, TheOfficeHearsThePrintersConditionWorstFirst) {
    const struct {
        PrinterStatus status;
        std::optional<qint64> oldestJob;
        PrinterCondition condition;
    } cases[] = {
        {{false, false, {}}, {}, PrinterCondition::None},
        {{true, false, {QStringLiteral("none")}}, 30, PrinterCondition::Ready},
        {{true, false, {QStringLiteral("media-low-report")}}, {}, PrinterCondition::PaperLow},
        {{true, false, {QStringLiteral("media-empty-warning")}}, {}, PrinterCondition::PaperLow},
        {{true, false, {QStringLiteral("media-low")}}, 61, PrinterCondition::JobsStuck},
        {{true, false, {QStringLiteral("offline-report")}}, {}, PrinterCondition::Offline},
        {{true, true, {QStringLiteral("paused")}}, 600, PrinterCondition::Offline},
        {{true, true, {QStringLiteral("media-needed-error")}}, 600, PrinterCondition::PaperOut},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printerCondition(c.status, c.oldestJob), c.condition)
            << c.status.reasons.join(u',').toStdString();
    EXPECT_EQ(defaultPrinterCondition(), PrinterCondition::Ready);
    cups.setReasons({QStringLiteral("media-empty-error")});
    EXPECT_EQ(defaultPrinterCondition(), PrinterCondition::PaperOut);
    EXPECT_EQ(printerProblem(defaultPrinterStatus()), QStringLiteral("kertas habis"));
    cups.setReasons({QStringLiteral("media-low-report")});
    EXPECT_EQ(defaultPrinterCondition(), PrinterCondition::PaperLow);
    cups.removeDefault();
    EXPECT_EQ(defaultPrinterCondition(), PrinterCondition::None);
}

TEST_F(PrinterGuardTest, AStoppedQueueIsAnnouncedAndTheStudentChooses) {
    EXPECT_EQ(printerProblem(defaultPrinterStatus()), QString());
    cups.stopQueue();
    EXPECT_EQ(printerProblem(defaultPrinterStatus()), QStringLiteral("printer berhenti"));

    EXPECT_TRUE(printerReadyOrAccepted(nullptr)); // the check is off without its key
    EXPECT_TRUE(dialogs.modalsShown.isEmpty());

    parameters().AppParam.PrinterCheck = QStringLiteral("1");
    for (const bool goOn : {false, true}) {
        dialogs.onNextModal([goOn](QDialog& d) {
            auto& form = static_cast<frmPrinterWarning&>(d);
            EXPECT_TRUE(form.lblInfo->text().contains(QStringLiteral("printer berhenti")));
            QTest::mouseClick(goOn ? form.cmdLanjut : form.cmdBatal, Qt::LeftButton);
        });
        EXPECT_EQ(printerReadyOrAccepted(nullptr), goOn);
    }
    EXPECT_EQ(dialogs.modalsShown, QStringList(2, QStringLiteral("frmPrinterWarning")));
}

TEST_F(PrinterGuardTest, AJobHeldByAStoppedQueueIsCancelledAndSaid) {
    parameters().AppParam.PrinterCheck = QStringLiteral("1");
    cups.stopQueue();
    EXPECT_FALSE(GSN_Print(QStringLiteral("Struk"), QStringLiteral("x")));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kStrukTidakTercetak});
    cups.startQueue();
    const auto jobs = cups.waitForFinishedJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_FALSE(jobs[0].completed); // never printed later for the next student
    EXPECT_TRUE(cups.output().isEmpty());
}

TEST_F(PrinterGuardTest, TheCopyIsTheOriginalWithItsMarkAndOnlyTheCopyComesOut) {
    auto db = kioskConnection();
    ASSERT_TRUE(CetakNota(*db, sampleValues(), nullptr, fixedClock));
    cups.waitForFinishedJobs(1);
    const QByteArray original = cups.output();

    // The demo layout: width 32, margin 2; the title has 3 blanks of pad, the mark 3 + 9.
    const QByteArray title = "\r\n     TRANSAKSI KALINDA CASHLESS\r\n";
    ASSERT_TRUE(original.contains(title));
    QByteArray expected = original;
    expected.replace(title, title + "              SALINAN\r\n");

    cups.stopQueue(); // the first copy is held, as on a queue out of paper
    ASSERT_TRUE(CetakUlang());
    ASSERT_TRUE(CetakUlang()); // the held copy is cancelled, not printed as well
    cups.startQueue();
    const auto jobs = cups.waitForFinishedJobs(3);
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_TRUE(jobs[0].completed);
    EXPECT_FALSE(jobs[1].completed);
    EXPECT_TRUE(jobs[2].completed);
    EXPECT_EQ(cups.output(), expected);
    EXPECT_TRUE(dialogs.messages.empty());

    forgetLastReceipt();
    EXPECT_FALSE(CetakUlang());
}

} // namespace
