#include "inquiry_fixture.h"

using namespace kalinda;
using namespace kalinda::test;

namespace {

class ArrearsTest : public InquiryFixture {};

TEST_F(ArrearsTest, ListsPeriodsInNumericOrderWithWhatIsOwingAndTotals) {
    // No fee setting: the recomputation leaves these rows as they are.
    runAdmin(QStringLiteral(
        "USE `cashless-adm`;\n"
        "DELETE FROM data_spp_setting WHERE spp_tabungan = '010100000005';\n"
        "INSERT INTO data_spp_detail (detail_tabungan, detail_periode, detail_bulan, "
        "detail_biaya_spp, detail_biaya_makan, detail_angsuran_spp, detail_angsuran_makan, "
        "detail_jumlah, detail_keterangan) VALUES "
        "('010100000005', '10', 'Oktober 2026', 350000, 300000, 0, 0, 650000, 'BELUM'),"
        "('010100000005', '2', 'Februari 2026', 300, 200, 300, 100, 500, 'BELUM'),"
        "('010100000005', '1', 'Januari 2026', 100000, 50000, 100000, 50000, 150000, 'LUNAS'),"
        "('010100000004', '3', 'Maret 2026', 9, 9, 0, 0, 18, 'BELUM');"));
    startVisit();

    const SeenForm seen = press(screen->cmdTunggakan);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("SCHOOL - MEAL PAYMENT INFORMATION "));
    EXPECT_EQ(seen.headers, (QStringList{"V", "Periode", "Bulan", "U-Pondok", "U-Makan", "B-Pondok",
                                         "B-Makan", "Jumlah", "Ket", "Kurang"}));
    EXPECT_EQ(seen.hidden,
              (QList<bool>{true, false, false, false, false, false, false, false, false, false}));
    const std::vector<QStringList> expected = {
        {"", "1", "Januari 2026", "100.000", "50.000", "100.000", "50.000", "150.000", "LUNAS",
         "0"},
        {"", "2", "Februari 2026", "300", "200", "300", "100", "500", "BELUM", "100"},
        {"", "10", "Oktober 2026", "350.000", "300.000", "0", "0", "650.000", "BELUM", "650.000"},
    };
    EXPECT_EQ(seen.lines, expected);
    EXPECT_EQ(seen.shades, (QList<QColor>{QColor(), QColor(), QColor()})); // no shading
    EXPECT_EQ(seen.totalLabels, (QStringList{"U-Pondok", "U-Makan", "B-Pondok", "B-Makan"}));
    EXPECT_EQ(seen.totals, (QStringList{"450.300", "350.200", "100.300", "50.100"}));
    EXPECT_EQ(logRows("INFO SPP DAN MAKAN"), 1);
}

TEST_F(ArrearsTest, EveryOpeningRecomputesFirstAndWritesItsLogRow) {
    startVisit();
    StatementRecorder recorder;
    // The demo account's months exist only once the account system has brought them up.
    const SeenForm first = press(screen->cmdTunggakan);
    const SeenForm second = press(screen->cmdTunggakan);
    ASSERT_EQ(first.lines.size(), 5U);
    EXPECT_EQ(second.lines, first.lines);
    EXPECT_EQ(first.totals[0], QStringLiteral("1.750.000"));

    const QStringList once = {
        QStringLiteral("CALL `cashless-adm`.HitungSppMakan('010100000005')"),
        QStringLiteral("SELECT *, (detail_biaya_spp+detail_biaya_makan)-(detail_angsuran_spp+"
                       "detail_angsuran_makan) as Kurang FROM `cashless-adm`.data_spp_detail "
                       "WHERE detail_tabungan = '010100000005' ORDER BY FLOOR(detail_periode) "
                       "ASC "),
        QStringLiteral("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                       "log_user = '', log_rekening = '010100000005', log_rfid = '0004417005', "
                       "log_nama = 'Nur Aisyah', log_kelas = '8A', log_transaksi = 'INFO SPP "
                       "DAN MAKAN', log_keterangan = 'LIHAT INFO SPP DAN MAKAN SUKSES' "),
    };
    EXPECT_EQ(recorder.statements(), once + once);
    EXPECT_EQ(logRows("INFO SPP DAN MAKAN"), 2);
}

TEST_F(ArrearsTest, UnreadableDuesAreReportedAndTheKioskCarriesOn) {
    startVisit();
    runAdmin(QStringLiteral("DROP TABLE `cashless-adm`.data_spp_detail;"));
    const SeenForm seen = press(screen->cmdTunggakan);
    EXPECT_FALSE(seen.shown);
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        QStringLiteral("Informasi uang pondok dan uang makan tidak dapat ditampilkan.")));
    EXPECT_EQ(logRows("INFO SPP DAN MAKAN"), 0);
    EXPECT_TRUE(press(screen->cmdMutasi).shown);
}

} // namespace
