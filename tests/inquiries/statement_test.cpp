#include "inquiry_fixture.h"

using namespace kalinda;
using namespace kalinda::test;

namespace {

struct LedgerRow {
    const char* id;
    int daysAgo; // negative: in the future
    int status;
    Rupiah masuk;
    Rupiah keluar;
    const char* account = "010100000005";
};

// Nur Aisyah's ledger from scratch: one deposit before the migration date, then Keluar 1,
// Masuk 20 and Keluar 5 on the last three days: 100 at the end.
const LedgerRow kHistory[] = {
    {"T-OPEN", 200, 1, 86, 0},
    {"T-K1", 3, 1, 0, 1},
    {"T-M20", 2, 1, 20, 0},
    {"T-K5", 1, 1, 0, 5},
};

class StatementTest : public InquiryFixture {
protected:
    void writeLedger(std::initializer_list<LedgerRow> extra = {}) {
        QString sql = QStringLiteral("USE `cashless-adm`;\n"
                                     "DELETE FROM data_tabungan_trans WHERE trans_rekening = "
                                     "'010100000005';\n");
        auto add = [&sql](const LedgerRow& r) {
            sql +=
                QStringLiteral(
                    "INSERT INTO data_tabungan_trans SET trans_id = '%1', trans_tanggal = "
                    "CURDATE() - INTERVAL %2 DAY, trans_kode = '%3', trans_rekening = '%4', "
                    "trans_jumlah_masuk = %5, trans_jumlah_keluar = %6, trans_status = %7, "
                    "trans_uraian = 'Baris %1', trans_reg_alias = 'ADM|teller', "
                    "trans_reg_time = NOW() - INTERVAL %2 DAY;\n")
                    .arg(QString::fromLatin1(r.id))
                    .arg(r.daysAgo)
                    .arg(QLatin1String(r.keluar > 0 ? "14" : "15"), QString::fromLatin1(r.account))
                    .arg(r.masuk)
                    .arg(r.keluar)
                    .arg(r.status);
        };
        for (const LedgerRow& r : kHistory)
            add(r);
        for (const LedgerRow& r : extra)
            add(r);
        sql += QStringLiteral("CALL HitungTabSaldoNasabah('010100000005');\n");
        runAdmin(sql);
    }

    static QStringList column(const SeenForm& seen, int c) {
        QStringList values;
        for (const QStringList& line : seen.lines)
            values << line[c];
        return values;
    }
};

TEST_F(StatementTest, ShowsConfirmedRowsNewestFirstWithRunningBalance) {
    writeLedger();
    runAdmin(QStringLiteral("UPDATE `cashless-adm`.data_tabungan_trans SET trans_reg_time = "
                            "CURDATE() - INTERVAL 1 DAY + INTERVAL '07:05:03' HOUR_SECOND "
                            "WHERE trans_id = 'T-K5';"));
    startVisit();
    ASSERT_EQ(screen->txtSaldo->text(), QStringLiteral("100"));

    const SeenForm seen = press(screen->cmdMutasi);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, QStringLiteral("SAVING MUTATION"));
    EXPECT_EQ(seen.headers, (QStringList{"V", "ID", "Tanggal", "Kode", "Masuk", "Keluar", "Saldo",
                                         "Ket", "User", "Reg."}));
    EXPECT_EQ(seen.hidden,
              (QList<bool>{false, true, false, true, false, false, false, false, true, true}));
    EXPECT_EQ(seen.fontSize, 10.0); // MutasiFontSize of the demo set_app
    EXPECT_EQ(column(seen, 1), (QStringList{"T-K5", "T-M20", "T-K1"}));
    EXPECT_EQ(column(seen, 4), (QStringList{"0", "20", "0"}));
    EXPECT_EQ(column(seen, 5), (QStringList{"5", "0", "1"}));
    EXPECT_EQ(column(seen, 6), (QStringList{"100", "105", "85"}));
    EXPECT_EQ(column(seen, 0), (QStringList{"", "", ""}));
    const QColor white(255, 255, 255), lightBlue(192, 192, 255);
    EXPECT_EQ(seen.shades, (QList<QColor>{white, lightBlue, white}));
    const QString day = QDate::currentDate().addDays(-1).toString(QStringLiteral("dd-MM-yyyy"));
    EXPECT_EQ((QStringList{seen.lines[0][2], seen.lines[0][9]}), // both the registration time
              (QStringList{day, day + QStringLiteral(" 07:05:03")}));
    EXPECT_EQ(seen.lines[0][7], QStringLiteral("Baris T-K5"));
    EXPECT_EQ(seen.lines[0][8], QStringLiteral("ADM|teller"));
    EXPECT_EQ(seen.notBooked, QString()); // every row is booked
    EXPECT_EQ(logRows("LIHAT MUTASI"), 1);
}

// The main screen counts today's unconfirmed kiosk rows (and after a payment shows the active
// balance), the list does not: the running balance must agree with the lines, not the screen.
TEST_F(StatementTest, ListsOnlyConfirmedRowsOfThePeriodAndBalancesThemAlone) {
    writeLedger({
        {"X-FUTURE", -1, 1, 1000, 0},
        {"X-KIOSK", 0, 0, 0, 30},
        {"X-CANCEL", 1, 9, 500, 0},
        {"X-OTHER", 1, 1, 70, 0, "010100000004"},
    });
    startVisit();
    // The stored balance also counts the kiosk's 30 out and the future 1.000 in.
    ASSERT_EQ(screen->txtSaldo->text(), QStringLiteral("1.070"));

    const SeenForm seen = press(screen->cmdMutasi);
    EXPECT_EQ(column(seen, 1), (QStringList{"T-K5", "T-M20", "T-K1"}));
    EXPECT_EQ(column(seen, 6), (QStringList{"100", "105", "85"}));
    EXPECT_EQ(seen.notBooked, QStringLiteral("Transaksi kiosk yang belum dibukukan kantor: -30"));

    const Statement read = readStatement(*db, QString::fromLatin1(kAccount));
    EXPECT_EQ(read.closingBalance, 100);
    ASSERT_EQ(read.lines.size(), 3U);
    EXPECT_EQ(read.lines[2].Saldo, 85);
}

TEST_F(StatementTest, EmptyStatementSendsExactStatementsAndOneLogRow) {
    runAdmin(QStringLiteral("DELETE FROM `cashless-adm`.data_tabungan_trans "
                            "WHERE trans_rekening = '010100000005';"));
    startVisit();
    StatementRecorder recorder;
    const SeenForm seen = press(screen->cmdMutasi);
    const QStringList sent = recorder.statements();
    EXPECT_TRUE(seen.shown);
    EXPECT_TRUE(seen.lines.empty());
    EXPECT_EQ(logRows("LIHAT MUTASI"), 1);
    const QStringList expected = {
        QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ"),
        QStringLiteral("START TRANSACTION"),
        QStringLiteral(
            "SELECT trans_id, trans_tanggal, trans_kode, trans_jumlah_masuk, "
            "trans_jumlah_keluar, trans_saldo_akhir, trans_uraian, trans_reg_alias, "
            "trans_reg_time FROM `cashless-adm`.data_tabungan_trans WHERE trans_rekening = "
            "'010100000005' AND trans_status = 1 AND (trans_tanggal BETWEEN "
            "`cashless-adm`.GetAppInfo('TanggalMigrasi') AND CURDATE()) ORDER BY "
            "trans_reg_time DESC "),
        QStringLiteral("SELECT COALESCE(SUM(IF(trans_status = 1, trans_jumlah_masuk, 0)) - "
                       "SUM(IF(trans_status = 1, trans_jumlah_keluar, 0)), 0) AS Saldo, "
                       "COALESCE(SUM(IF(trans_status = 0, trans_jumlah_masuk, 0)) - "
                       "SUM(IF(trans_status = 0, trans_jumlah_keluar, 0)), 0) AS BelumDibukukan "
                       "FROM `cashless-adm`.data_tabungan_trans WHERE trans_rekening = "
                       "'010100000005' AND trans_status IN (0, 1) AND trans_tanggal <= CURDATE()"),
        QStringLiteral("COMMIT"),
        QStringLiteral("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                       "log_user = '', log_rekening = '010100000005', log_rfid = '0004417005', "
                       "log_nama = 'Nur Aisyah', log_kelas = '8A', log_transaksi = 'LIHAT "
                       "MUTASI', log_keterangan = 'LIHAT MUTASI SUKSES' "),
    };
    EXPECT_EQ(sent, expected);
}

TEST_F(StatementTest, UnreadableLedgerIsReportedAndTheKioskCarriesOn) {
    startVisit();
    runAdmin(QStringLiteral("RENAME TABLE `cashless-adm`.data_tabungan_trans "
                            "TO `cashless-adm`.trans_away;"));
    const SeenForm seen = press(screen->cmdMutasi);
    EXPECT_FALSE(seen.shown);
    EXPECT_FALSE(dialogs.modalsShown.contains(QStringLiteral("frmTransaksiMutasi")));
    ASSERT_EQ(dialogs.messages.size(), 1U);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        QStringLiteral("Mutasi tabungan tidak dapat ditampilkan.")));
    EXPECT_EQ(logRows("LIHAT MUTASI"), 0);

    runAdmin(QStringLiteral("RENAME TABLE `cashless-adm`.trans_away "
                            "TO `cashless-adm`.data_tabungan_trans;"));
    EXPECT_TRUE(screen->cmdMutasi->isEnabled());
    EXPECT_TRUE(press(screen->cmdMutasi).shown);
    EXPECT_EQ(logRows("LIHAT MUTASI"), 1);
}

} // namespace
