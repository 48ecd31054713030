#include "printing/print.h"
#include "printing/raw_printer.h"
#include "printing/receipt.h"
#include "support/cups_server.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDateTime kNow(QDate(2024, 3, 9), QTime(7, 5, 3));
QDateTime fixedClock() {
    return kNow;
}

ReceiptValues sampleValues() {
    ReceiptValues v;
    v.account = QStringLiteral("010100000001");
    v.name = QStringLiteral("Zoë Ñurhaliza");
    v.kelas = QStringLiteral("XI IPA 2");
    v.kind = QStringLiteral("001 : Kantin");
    v.target = QStringLiteral("020200000009");
    v.amount = QStringLiteral("15.000");
    v.transId = QStringLiteral("KLD240309123456");
    return v;
}

class PrintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        MariaDbServer::instance().resetDatabase();
        CupsServer::instance();
    }
    void SetUp() override { cups.reset(); }

    // Replaces the receipt layout with these (key, text) rows, in order.
    static void setLayout(const std::vector<std::pair<QString, QString>>& rows) {
        auto admin = adminConnection();
        admin->execute(Sql("DELETE FROM set_cetakan"));
        for (const auto& [key, text] : rows) {
            Sql s;
            s << "INSERT INTO set_cetakan (cetakan_case, cetakan_text) VALUES ('" << esc(key)
              << "', '" << esc(text) << "')";
            admin->execute(s);
        }
    }

    // The output of the one job that must have been printed, after checking that job.
    QByteArray printedJob() {
        const auto jobs = cups.waitForFinishedJobs(1);
        EXPECT_EQ(jobs.size(), 1u);
        if (jobs.empty())
            return {};
        EXPECT_TRUE(jobs[0].completed);
        EXPECT_EQ(jobs[0].title, QStringLiteral("Struk"));
        EXPECT_EQ(jobs[0].format, QStringLiteral("application/vnd.cups-raw"));
        return cups.output();
    }

    CupsServer& cups = CupsServer::instance();
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(PrintTest, ReceiptReachesTheDefaultPrinterByteForByte) {
    const QString text = buildReceipt(ReceiptSettings{}, sampleValues(), kNow, kNow, kNow);
    ASSERT_TRUE(GSN_Print(QStringLiteral("Struk"), text));
    const QByteArray out = printedJob();
    EXPECT_EQ(out, receiptBytes(text));
    EXPECT_TRUE(out.contains("Nama      : Zo\xEB \xD1urhaliza\r\n"));
    EXPECT_TRUE(out.endsWith(".\r\n\r\n\x1dV0"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PrintTest, NoDefaultPrinterSaysPrinterNotRecognised) {
    cups.removeDefault();
    EXPECT_FALSE(GSN_Print(QStringLiteral("Struk"), QStringLiteral("x")));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Printer tidak dikenali!"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error"));
    EXPECT_TRUE(cups.output().isEmpty());
}

TEST_F(PrintTest, PrinterThatRefusesJobsSaysPrinterNotRecognised) {
    cups.rejectJobs();
    EXPECT_FALSE(GSN_Print(QStringLiteral("Struk"), QStringLiteral("x")));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Printer tidak dikenali!")});
    EXPECT_TRUE(cups.jobs().empty());
}

TEST_F(PrintTest, SpoolerErrorAfterOpeningIsNotReportedAsSent) {
    struct FailingPrinter final : RawPrinter {
        RawPrintResult send(const QString&, const QByteArray&) override {
            return RawPrintResult::Failed;
        }
    } failing;
    setReceiptPrinter(&failing);
    const bool sent = GSN_Print(QStringLiteral("Struk"), QStringLiteral("x"));
    setReceiptPrinter(nullptr);
    EXPECT_FALSE(sent);
    // Said, not silently lost: the student would otherwise wait for a receipt.
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kStrukTidakTercetak});
}

TEST_F(PrintTest, LayoutIsReadWithOneStatementAndTheLastRowOfAKeyWins) {
    setLayout({{QStringLiteral("StrukHeader1"), QStringLiteral("LAMA")},
               {QStringLiteral("StrukPanjangKertas"), QStringLiteral("40")},
               {QStringLiteral("StrukHeader1"), QStringLiteral("BARU")},
               {QStringLiteral("StrukFooterText"), QStringLiteral(" Terima kasih ")},
               {QStringLiteral("strukheader2"), QStringLiteral("not a key")}});
    auto db = kioskConnection();
    StatementRecorder recorder;
    const ReceiptSettings s = readReceiptSettings(*db);
    EXPECT_EQ(recorder.statements(), QStringList{QStringLiteral("SELECT * FROM set_cetakan")});
    EXPECT_EQ(s.headers[0], QStringLiteral("BARU"));
    EXPECT_EQ(s.paperWidth, QStringLiteral("40"));
    EXPECT_EQ(s.footerText, QStringLiteral(" Terima kasih "));
    EXPECT_EQ(s.headers[1], QString());
    EXPECT_EQ(s.leftMargin, QString());
    EXPECT_EQ(s.bottomCount, QString());
}

TEST_F(PrintTest, CetakNotaPrintsTheStoredLayoutAsStruk) {
    MariaDbServer::instance().resetDatabase();
    auto db = kioskConnection();
    ASSERT_TRUE(CetakNota(*db, sampleValues(), nullptr, fixedClock));
    const QByteArray out = printedJob();
    const QString expected =
        buildReceipt(readReceiptSettings(*db), sampleValues(), kNow, kNow, kNow);
    EXPECT_EQ(out, receiptBytes(expected));
    // The demo layout: width 32 and margin 2 put the 24-letter school name after 2 + 4 blanks.
    EXPECT_TRUE(out.startsWith("\r\n      PONDOK PESANTREN KALINDA\r\n"));
    EXPECT_TRUE(out.contains("\r\n  Tanggal   : 09-03-2024\r\n"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PrintTest, CetakNotaWithAMarginThatIsNotANumberPrintsWithoutMargin) {
    setLayout({{QStringLiteral("StrukPanjangKertas"), QStringLiteral("32")},
               {QStringLiteral("StrukTabKiri"), QStringLiteral("dua")},
               {QStringLiteral("StrukHeader1"), QStringLiteral("ABC")}});
    auto db = kioskConnection();
    EXPECT_TRUE(CetakNota(*db, sampleValues(), nullptr, fixedClock));
    const QByteArray out = printedJob();
    EXPECT_TRUE(out.startsWith("\r\n              ABC\r\n"));
    EXPECT_TRUE(out.contains("\r\nNominal   : Rp. 15.000\r\n"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PrintTest, ControlCharactersOfTheValuesPrintAsBlanksAndTheHeadersAsStored) {
    setLayout({{QStringLiteral("StrukHeader1"), QStringLiteral("\033E1KALINDA")}}); // bold: ours
    ReceiptValues v = sampleValues();
    v.name = QStringLiteral("Ali\r\n\x1dV0\x1b@"); // an early line end, a cut, a reset
    v.kelas = QStringLiteral("7A\t\x7f\x00");
    auto db = kioskConnection();
    ASSERT_TRUE(CetakNota(*db, v, nullptr, fixedClock));
    const QByteArray out = printedJob();
    EXPECT_TRUE(out.startsWith("\r\n\033E1KALINDA\r\n"));
    EXPECT_TRUE(out.contains("\r\nNama      : Ali   V0 @\r\nKelas     : 7A   \r\n"));
    EXPECT_EQ(out.count('\x1b') + out.count('\x1d'), 2); // the header's ESC and the cut's GS
}

TEST_F(PrintTest, CetakNotaWithAnEmptyLayoutStillPrints) {
    setLayout({});
    auto db = kioskConnection();
    EXPECT_TRUE(CetakNota(*db, sampleValues(), nullptr, fixedClock));
    EXPECT_EQ(printedJob().count("\r\n"), kReceiptLines + 2);
}

TEST_F(PrintTest, CetakNotaOnABrokenConnectionSaysSoAndDoesNotThrow) {
    Connection lost; // never connected, like one that dropped after the posting
    bool sent = true;
    EXPECT_NO_THROW(sent = CetakNota(lost, sampleValues(), nullptr, fixedClock));
    EXPECT_FALSE(sent);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("struk tidak dapat dicetak")));
    EXPECT_TRUE(cups.jobs().empty());
}
