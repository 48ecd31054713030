#include "inquiries/report_output.h"
#include "report_fixture.h"

#include <QBuffer>
#include <QProcess>
#include <map>

using namespace kalinda;
using namespace kalinda::test;

namespace {

struct Line {
    QString no, id, amount, total;
};

// Drives the report as a renderer does and keeps what each detail line showed.
std::vector<Line> run(rptTransaksi& r) {
    std::vector<Line> lines;
    r.ActiveReport_ReportStart();
    for (bool eof = false; !eof;) {
        eof = true;
        r.ActiveReport_FetchData(eof);
        if (!eof)
            lines.push_back({r.lblNo, r.lblTransID, r.lblJumlah, r.lblTotalJumlah});
    }
    return lines;
}

QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QString::fromUtf8(p.readAllStandardOutput());
}

class ReportTest : public ReportFixture {};

TEST_F(ReportTest, AnEmptyPeriodStillHasHeaderAndFooterWithTotalZero) {
    addRow(QStringLiteral("KLD2611300001"), QStringLiteral("2026-11-30"), QStringLiteral("Ali"),
           5000);
    auto r = report();
    EXPECT_TRUE(run(r).empty());
    EXPECT_EQ(r.lblNamaBank, QStringLiteral("PONDOK PESANTREN KALINDA"));
    EXPECT_EQ(r.lblAlamatBank, QStringLiteral("Jl. Pesantren No. 1, Bandung"));
    EXPECT_EQ(r.lblPeriode, QStringLiteral("Periode: 01-12-2026 s/d 07-12-2026"));
    EXPECT_EQ(r.lblDicetak,
              QStringLiteral("Dicetak oleh Bu Sari, Tanggal 07-12-2026, Jam 09:05:03"));
    EXPECT_EQ(r.lblTotalJumlah, QStringLiteral("0"));

    int pages = 0;
    ASSERT_EQ(saveReportPdf(r, path(QStringLiteral("empty.pdf")), &pages), QString());
    EXPECT_EQ(pages, 1);
    const QString text = pdfText(path(QStringLiteral("empty.pdf")));
    for (const char* part :
         {"PONDOK PESANTREN KALINDA", "LAPORAN TRANSAKSI", "Periode: 01-12-2026 s/d 07-12-2026",
          "Total", "Disahkan", "Dicetak oleh Bu Sari", "Halaman 1 dari 1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(text.contains(QStringLiteral("KLD2611300001")));
}

// The total is summed from the amounts, so it holds under either grouping.
TEST_F(ReportTest, RowsAreNumberedAndTotalledUnderEitherGrouping) {
    addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"), QStringLiteral("Ali"),
           1500);
    addRow(QStringLiteral("KLD2612030002"), QStringLiteral("2026-12-03"), QStringLiteral("Budi"),
           2000);
    addRow(QStringLiteral("KLD2612070003"), QStringLiteral("2026-12-07"), QStringLiteral("Cici"),
           10000);
    addRow(QStringLiteral("KLD2612080004"), QStringLiteral("2026-12-08"), QStringLiteral("Dedi"),
           700);
    const struct {
        QLocale locale;
        std::map<QString, QString> amounts;
        QString total;
    } cases[] = {
        {QLocale(QLocale::Indonesian, QLocale::Indonesia),
         {{"KLD2612010001", "1.500"}, {"KLD2612030002", "2.000"}, {"KLD2612070003", "10.000"}},
         QStringLiteral("13.500")},
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {{"KLD2612010001", "1,500"}, {"KLD2612030002", "2,000"}, {"KLD2612070003", "10,000"}},
         QStringLiteral("13,500")},
    };
    for (const auto& c : cases) {
        auto r = report({}, c.locale);
        const auto lines = run(r);
        ASSERT_EQ(lines.size(), 3u);
        std::map<QString, QString> amounts;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].no, QString::number(i + 1));
            amounts[lines[i].id] = lines[i].amount;
        }
        EXPECT_EQ(amounts, c.amounts);
        EXPECT_EQ(r.lblTotalJumlah, c.total);
        EXPECT_EQ(r.total, 13500);
    }
}

TEST_F(ReportTest, TheUserFilterListsOnlyThatUserWithTheExactStatement) {
    addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"), QStringLiteral("Ali"),
           1500, QStringLiteral("KLD|"));
    addRow(QStringLiteral("KLD2612010002"), QStringLiteral("2026-12-01"), QStringLiteral("Budi"),
           2000, QStringLiteral("KLD|siti"));
    addRow(QStringLiteral("KLD2612010003"), QStringLiteral("2026-12-02"), QStringLiteral("Cici"),
           3000, QStringLiteral("KLD|o'neil"));
    addRow(QStringLiteral("KLD2612090004"), QStringLiteral("2026-12-09"), QStringLiteral("Dedi"),
           4000, QString());
    const QString select = QStringLiteral(
        "SELECT trans_id, trans_tanggal, trans_nasabah_nama, trans_nasabah_kelas, trans_jumlah, "
        "trans_reg_time, trans_reg_alias, trans_rekening FROM data_transaksi WHERE (trans_tanggal "
        "BETWEEN '2026-12-01' AND '2026-12-07') ");
    const struct {
        QString user;
        QString statement;
        QStringList ids;
    } cases[] = {
        {{}, select, {"KLD2612010001", "KLD2612010002", "KLD2612010003"}},
        {QStringLiteral("KLD|siti"),
         select + QStringLiteral(" AND trans_reg_alias = 'KLD|siti' "),
         {"KLD2612010002"}},
        // A quote in the user stays a value of the filter.
        {QStringLiteral("KLD|o'neil"), {}, {"KLD2612010003"}},
    };
    for (const auto& c : cases) {
        StatementRecorder recorder;
        auto r = report(c.user);
        QStringList ids;
        for (const Line& line : run(r))
            ids << line.id;
        ids.sort();
        EXPECT_EQ(ids, c.ids) << c.user.toStdString();
        if (!c.statement.isEmpty()) {
            EXPECT_EQ(recorder.statements(), QStringList{c.statement});
        }
    }
    EXPECT_EQ(reportUsers(*db), (QStringList{"KLD|", "KLD|o'neil", "KLD|siti"}));
    // The users come from the index, not from every copy the kiosks ever wrote.
    Sql explain("EXPLAIN ");
    explain << reportUsersQuery();
    EXPECT_EQ(db->open(explain).text(QStringLiteral("key")), QStringLiteral("idx_reg_alias"));
}

TEST_F(ReportTest, ThePdfHoldsHeaderRowsTotalSignaturesAndPageNumber) {
    addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"),
           QStringLiteral("Ahmad Fauzi"), 1500);
    addRow(QStringLiteral("KLD2612030002"), QStringLiteral("2026-12-03"),
           QStringLiteral("Siti Aminah"), 2000);
    addRow(QStringLiteral("KLD2612070003"), QStringLiteral("2026-12-07"),
           QStringLiteral("Umar Said"), 10000);
    auto r = report();
    ASSERT_EQ(saveReportPdf(r, path(QStringLiteral("r.pdf"))), QString());
    const QString text = pdfText(path(QStringLiteral("r.pdf")));
    for (const char* part : {"PONDOK PESANTREN KALINDA",
                             "Jl. Pesantren No. 1, Bandung",
                             "LAPORAN TRANSAKSI",
                             "Periode: 01-12-2026 s/d 07-12-2026",
                             "No. Rekening",
                             "Jumlah Rp",
                             "KLD2612010001",
                             "01-12-2026",
                             "Ahmad Fauzi",
                             "1.500",
                             "KLD2612030002",
                             "Siti Aminah",
                             "2.000",
                             "KLD2612070003",
                             "03-12-2026",
                             "Umar Said",
                             "10.000",
                             "Total",
                             "13.500",
                             "Dibuat",
                             "Diperiksa",
                             "Disahkan",
                             "Dicetak oleh Bu Sari, Tanggal 07-12-2026, Jam 09:05:03",
                             "Halaman 1 dari 1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(part))) << part << "\n" << text.toStdString();
}

TEST_F(ReportTest, AFewHundredRowsMakeSeveralPagesEachWithTheColumnTitles) {
    addRows(300, QStringLiteral("2026-12-02"));
    auto r = report();
    int pages = 0;
    ASSERT_EQ(saveReportPdf(r, path(QStringLiteral("long.pdf")), &pages), QString());
    const QStringList sheets =
        pdfText(path(QStringLiteral("long.pdf"))).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GT(pages, 2);
    ASSERT_EQ(sheets.size(), pages);
    int details = 0;
    for (int i = 0; i < pages; ++i) {
        EXPECT_TRUE(sheets[i].contains(QStringLiteral("Trans ID"))) << i;
        EXPECT_TRUE(sheets[i].contains(QStringLiteral("Halaman %1 dari %2").arg(i + 1).arg(pages)));
        details += int(sheets[i].count(QStringLiteral("KLD0")));
    }
    EXPECT_EQ(details, 300);
    EXPECT_TRUE(sheets.last().contains(QStringLiteral("45.150.000"))); // 1000 × (1 + … + 300)
}

TEST_F(ReportTest, TheCsvHoldsEveryRowAsStored) {
    addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"),
           QStringLiteral("Ali; \"Abu\""), 1500000);
    addRow(QStringLiteral("KLD2612020002"), QStringLiteral("2026-12-02"), QStringLiteral("Zaïnab"),
           2000);
    auto r = report();
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeReportCsv(r, out);
    QStringList lines = QString::fromUtf8(out.data()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              QStringLiteral("No;Tanggal;Trans ID;No. Rekening;Nama;Kelas;Jumlah Rp;User"));
    lines.removeFirst();
    lines.sort();
    EXPECT_EQ(
        lines,
        (QStringList{"1;2026-12-01;KLD2612010001;110112010001;\"Ali; \"\"Abu\"\"\";7A;1500000;KLD|",
                     "2;2026-12-02;KLD2612020002;110112020002;Zaïnab;7A;2000;KLD|"}));
}

TEST_F(ReportTest, TheCsvKeepsTextThatLooksLikeAFormulaAsText) {
    const char* cases[][3] = {
        // name, user, the cells from the name on (-500: the report's)
        {"+62", "=1+1", "'+62;7A;-500;'=1+1"},
        {"-2+3", "@kios", "'-2+3;7A;-500;'@kios"},
        {"\tAli", "KLD|", "'\tAli;7A;-500;KLD|"},
        {"\rAli", "KLD|", "\"'\rAli\";7A;-500;KLD|"},
        {"Ali=Abu-Bakr", "KLD|", "Ali=Abu-Bakr;7A;-500;KLD|"},
    };
    for (const auto& c : cases)
        addRow(QStringLiteral("KLD%1").arg(&c - cases), QStringLiteral("2026-12-01"),
               QString::fromUtf8(c[0]), -500, QString::fromUtf8(c[1]));
    auto r = report();
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    writeReportCsv(r, out);
    for (const auto& c : cases)
        EXPECT_TRUE(out.data().contains(QByteArray(";") + c[2] + '\n')) << c[0];
}

} // namespace
