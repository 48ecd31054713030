#include "printing/raw_printer.h"
#include "printing/receipt.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <iconv.h>

using namespace kalinda;

namespace {

ReceiptSettings layout(const QString& width, const QString& margin,
                       const QString& header1 = QString()) {
    ReceiptSettings s;
    s.paperWidth = width;
    s.leftMargin = margin;
    s.headers[0] = header1;
    return s;
}

const QDateTime kNow(QDate(2024, 3, 9), QTime(7, 5, 3));

QString receipt(const ReceiptSettings& settings, const ReceiptValues& values = {}) {
    return buildReceipt(settings, values, kNow, kNow, kNow);
}

// The receipt's lines without their CR LF; fails the test when a line ends otherwise.
QStringList linesOf(const QString& text) {
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast();
    for (const QString& line : lines) {
        EXPECT_FALSE(line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            << line.toStdString();
    }
    return lines;
}

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}
QString dashes(int n) {
    return QString(n, QLatin1Char('-'));
}

// Line numbers as printed, counted from 1.
constexpr int kDashLines[] = {6, 8, 21, 23};
constexpr int kTitleLine = 7;

} // namespace

TEST(ReceiptLayout, CentresWithinTheMarginAndDrawsSeparatorsOneShortOfTheWidth) {
    const QStringList lines = linesOf(receipt(layout("32", "2", "ABC")));
    ASSERT_EQ(lines.size(), kReceiptLines);
    EXPECT_EQ(lines[0], blanks(2) + blanks(14) + QStringLiteral("ABC"));
    for (const int n : kDashLines)
        EXPECT_EQ(lines[n - 1], blanks(2) + dashes(31)) << "line " << n;
    EXPECT_EQ(lines[kTitleLine - 1], blanks(2) + blanks(3) + kReceiptTitle);
    // An empty header is centred like any other: half the width of blanks.
    EXPECT_EQ(lines[1], blanks(2) + blanks(16));
}

TEST(ReceiptLayout, OddDifferenceDropsTheHalfAndLongHeadersGetNoPad) {
    EXPECT_EQ(linesOf(receipt(layout("33", "", "0123456789")))[0],
              blanks(11) + QStringLiteral("0123456789"));
    // One column to spare is half a blank: none.
    EXPECT_EQ(linesOf(receipt(layout("11", "", "0123456789")))[0], QStringLiteral("0123456789"));
    const QString longHeader = QStringLiteral("PONDOK PESANTREN KALINDA BANDUNG");
    EXPECT_EQ(linesOf(receipt(layout("20", "1", longHeader)))[0], blanks(1) + longHeader);
}

TEST(ReceiptLayout, EmptyLayoutStillGivesAllLinesWithoutMarginPadsOrDashes) {
    const QStringList lines = linesOf(receipt(ReceiptSettings{}));
    ASSERT_EQ(lines.size(), kReceiptLines);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(lines[n - 1], QString()) << "header line " << n;
    for (const int n : kDashLines)
        EXPECT_EQ(lines[n - 1], QString()) << "line " << n;
    EXPECT_EQ(lines[kTitleLine - 1], kReceiptTitle);
    for (const int n : {5, 9, 20, 24, 25})
        EXPECT_EQ(lines[n - 1], QStringLiteral(" ")) << "blank line " << n;
    EXPECT_EQ(lines[25], QStringLiteral("."));
    EXPECT_TRUE(lines[9].startsWith(QStringLiteral("Tanggal")));
}

TEST(ReceiptLayout, LabelsLineUpTheirColonsAndCarryTheValues) {
    ReceiptValues v;
    v.account = QStringLiteral("010100000001");
    v.name = QStringLiteral("Siti Aminah");
    v.kelas = QStringLiteral("XI IPA 2");
    v.kind = QStringLiteral("001 : Kantin");
    v.target = QStringLiteral("020200000009");
    v.amount = QStringLiteral("15.000");
    v.transId = QStringLiteral("KLD240309123456");
    v.operatorAlias = QStringLiteral("kios1");
    v.operatorName = QStringLiteral("Petugas");
    const QStringList lines = linesOf(receipt(layout("32", "3"), v));

    const QString values[] = {
        QStringLiteral("09-03-2024"),
        QStringLiteral("07:05:03"),
        v.account,
        v.name,
        v.kelas,
        v.kind,
        v.target,
        QStringLiteral("Rp. ") + v.amount,
        v.transId,
        v.operatorAlias,
    };
    const char* labels[] = {"Tanggal", "Jam",    "Rekening", "Nama",    "Kelas",
                            "Jenis",   "Tujuan", "Nominal",  "TransID", "Channel"};
    for (int i = 0; i < 10; ++i) {
        const QString line = lines[9 + i].mid(3);
        EXPECT_TRUE(lines[9 + i].startsWith(blanks(3)));
        EXPECT_TRUE(line.startsWith(QLatin1String(labels[i]))) << line.toStdString();
        EXPECT_EQ(line.indexOf(QLatin1Char(':')), 10) << line.toStdString();
        EXPECT_EQ(line.mid(12), values[i]) << labels[i];
    }
    EXPECT_EQ(lines[21], blanks(3) + QStringLiteral("Printed : 09/03/2024 07:05:03 Petugas"));
}

TEST(ReceiptLayout, DateAndTimeComeFromTheirOwnClockReadings) {
    // A receipt made across midnight: the date was read before, the time after.
    const QDateTime before(QDate(2024, 3, 9), QTime(23, 59, 59));
    const QDateTime after(QDate(2024, 3, 10), QTime(0, 0, 0));
    const QStringList lines =
        linesOf(buildReceipt(layout("32", "0"), {}, before, after, after.addSecs(1)));
    EXPECT_EQ(lines[9], QStringLiteral("Tanggal   : 09-03-2024"));
    EXPECT_EQ(lines[10], QStringLiteral("Jam       : 00:00:00"));
    EXPECT_EQ(lines[21], QStringLiteral("Printed : 10/03/2024 00:00:01 "));
}

TEST(ReceiptLayout, MarginThatIsNotAWholeNumberPrintsWithoutMargin) {
    for (const char* margin : {"dua", "-3", "2 spasi"}) {
        const QStringList lines = linesOf(receipt(layout("32", margin, "ABC")));
        ASSERT_EQ(lines.size(), kReceiptLines) << margin;
        EXPECT_EQ(lines[0], blanks(14) + QStringLiteral("ABC")) << margin;
        EXPECT_EQ(lines[9].indexOf(QLatin1Char(':')), 10) << margin;
    }
    EXPECT_EQ(linesOf(receipt(layout("32", " 2 ")))[5], blanks(2) + dashes(31));
}

TEST(ReceiptLayout, WidthThatIsNotANumberCountsAsZero) {
    const QStringList lines = linesOf(receipt(layout("tiga puluh", "1", "ABC")));
    EXPECT_EQ(lines[0], blanks(1) + QStringLiteral("ABC"));
    EXPECT_EQ(lines[5], blanks(1));
}

TEST(ReceiptLayout, MistypedHugeWidthOrMarginStaysPrintable) {
    const QStringList lines = linesOf(receipt(layout("320000000000", "99999999999", "ABC")));
    ASSERT_EQ(lines.size(), kReceiptLines);
    for (const QString& line : lines)
        EXPECT_LE(line.size(), 2100);
}

TEST(ReceiptBytes, WrapsTheTextInCrLfAndEndsWithTheFullCut) {
    const QString text = receipt(layout("32", "2", "ABC"));
    const QByteArray bytes = receiptBytes(text);
    EXPECT_TRUE(bytes.startsWith("\r\n  "));
    EXPECT_EQ(bytes.size(), text.size() + 7);
    // Line 26, then the closing CR LF, then GS 'V' '0'.
    const char end[] = {'.', '\r', '\n', '\r', '\n', 29, 86, 48};
    EXPECT_TRUE(bytes.endsWith(QByteArray(end, sizeof end)));
}

TEST(ReceiptBytes, EncodesEveryCharacterAsTheSystemWindows1252TableDoes) {
    // glibc's own table is the reference: a character it cannot encode must become '?'.
    iconv_t cd = iconv_open("CP1252", "UTF-32LE");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int mismatches = 0;
    for (char32_t c = 1; c < 0x10000; ++c) {
        // Surrogates are not characters; iconv takes U+FEFF for a byte order mark.
        if ((c >= 0xD800 && c <= 0xDFFF) || c == 0xFEFF)
            continue;
        char in[4] = {char(c & 0xFF), char((c >> 8) & 0xFF), 0, 0};
        char out[8] = {};
        char* inPtr = in;
        char* outPtr = out;
        size_t inLeft = sizeof in;
        size_t outLeft = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const bool mapped =
            iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) && outPtr - out == 1;
        const char expected = mapped ? out[0] : '?';
        const QByteArray got = receiptBytes(QString::fromUcs4(&c, 1));
        if (got.size() != 8 || got[2] != expected) {
            if (++mismatches <= 5)
                ADD_FAILURE() << "U+" << std::hex << unsigned(c);
        }
    }
    iconv_close(cd);
    EXPECT_EQ(mismatches, 0);
}

TEST(ReceiptBytes, OneQuestionMarkPerCharacterOutsideTheCodePage) {
    const QString text = QStringLiteral("Zoë ← 中 \U0001F600 €");
    EXPECT_EQ(receiptBytes(text), QByteArray("\r\nZo\xEB ? ? ? \x80\r\n\x1dV0"));
}
