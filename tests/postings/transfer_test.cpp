#include "postings/transfer.h"
#include "support/mariadb_server.h"

#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDate kToday = QDate::currentDate();

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }
    long long count(const Sql& query) { return scalarInt(*admin, query); }
    long long balance(const QString& account, bool stored = false) {
        Sql s;
        if (stored)
            s << "SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master WHERE "
                 "tab_rekening = '"
              << esc(account) << "'";
        else
            s << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(account) << "', CURDATE())";
        return scalarInt(*admin, s);
    }
    // A transfer as the form would hand it over, with the balance the PIN check reads.
    TransferInput send(const QString& from, const QString& to, Rupiah amount) {
        Sql q;
        q << "SELECT tab_nasabah, tab_rfid, tab_pin, `cashless-adm`.GetNasabahNama(tab_nasabah) "
             "as Nama, `cashless-adm`.GetNasabahKelas(tab_nasabah) as Kelas FROM "
             "`cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
          << esc(from) << "'";
        Recordset rs = admin->open(q);
        TransferInput in;
        in.NoRekening = in.txtNorek = from;
        in.NoCif = rs.text(QStringLiteral("tab_nasabah"));
        in.Rfid = in.txtRfid = rs.text(QStringLiteral("tab_rfid"));
        in.txtNama = rs.text(QStringLiteral("Nama"));
        in.txtKelas = rs.text(QStringLiteral("Kelas"));
        in.txtRekening = to;
        in.targetName = lookupTransferTarget(*admin, to).value_or(TransferTarget{}).Nama;
        in.channel = QStringLiteral("KLD01");
        in.amount = amount;
        in.balance = checkTransferPin(*admin, from, rs.text(QStringLiteral("tab_pin"))).value_or(0);
        return in;
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

const QString kDewi = QStringLiteral("010100000007");  // 80.000, limit 100.000
const QString kFajar = QStringLiteral("010100000008"); // 500.000, limit 25.000
const QString kAhmad = QStringLiteral("010100000001");

// The whole balance is refused (see the form's checks); one rupiah less is posted.
TEST_F(TransferTest, OneRupiahLessThanTheBalanceLeavesOne) {
    EXPECT_EQ(postTransfer(*db, send(kDewi, kAhmad, 79999), kToday).outcome,
              TransferResult::Outcome::Posted);
    EXPECT_EQ(balance(kDewi, true), 1);
}

TEST_F(TransferTest, PostingWritesThePrescribedStatementsAndRows) {
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 9 WHERE "
                       "trans_rekening = '010100000007'"));
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'DEP1', "
                       "trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = "
                       "'010100000007', trans_jumlah_masuk = 900, trans_status = 1"));
    const TransferInput in = send(kDewi, kAhmad, 500);
    StatementRecorder recorder;
    const auto r = postTransfer(*db, in, kToday);
    ASSERT_EQ(r.outcome, TransferResult::Outcome::Posted);
    const QString X = r.transId;
    ASSERT_TRUE(X.startsWith(onToday(QStringLiteral("KLD261207"))) && X.size() == 15);
    const QString tail = QStringLiteral(
        "trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW(),  trans_reg_alias = ");
    const QStringList posting = {
        QStringLiteral("SELECT FLOOR((RAND() * (999999-100000+1))+100000) as Number "),
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '") + X +
            QStringLiteral(
                "', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                "trans_rekening = '010100000007', trans_nasabah = '240100007', trans_channel = "
                "'KLD01', trans_rfid = '0004417007', trans_jumlah_keluar = '500', "
                "trans_saldo_akhir = '400', trans_ob_jenis = 1, trans_ob_rekening = "
                "'010100000001', trans_uraian = 'Transfer ke 010100000001 a.n Ahmad Fauzi', ") +
            tail + QStringLiteral("'KLD|'"),
        QStringLiteral("INSERT INTO data_transaksi SET trans_id = '") + X +
            QStringLiteral("', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                           "trans_rekening = '010100000007', trans_nasabah = '240100007', "
                           "trans_nasabah_nama = 'Dewi Lestari', trans_nasabah_kelas = '9A', "
                           "trans_channel = 'KLD01', trans_rfid = '0004417007', trans_jumlah = "
                           "'500', trans_saldo_awal = '900', trans_saldo_akhir = '400', "
                           "trans_uraian = 'Transfer ke 010100000001 a.n Ahmad Fauzi', ") +
            tail + QStringLiteral("''"),
        QStringLiteral("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                       "log_user = '', log_rekening = '010100000007', log_rfid = '0004417007', "
                       "log_nama = 'Dewi Lestari', log_kelas = '9A', log_transaksi = 'TARIK KE "
                       "TABUNGAN', log_nominal = '500', log_keterangan = 'TRANSAKSI BERHASIL', "
                       " log_transid = '") +
            X + QStringLiteral("' "),
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '") + X +
            QStringLiteral("#', trans_tanggal = NOW(), trans_kode = '15', trans_kantor = '01',  "
                           "trans_rekening = '010100000001', trans_nasabah = '240100007', "
                           "trans_channel = 'KLD01', trans_rfid = '0004417007', "
                           "trans_jumlah_masuk = '500', trans_ob_jenis = 1, trans_ob_rekening = "
                           "'010100000007', trans_uraian = 'Transfer dari 010100000007 a.n Dewi "
                           "Lestari', ") +
            tail + QStringLiteral("'KLD|'"),
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000007') "),
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000001') "),
        kMarkStatement,
    };
    // Locks and re-checks stand before them; the commit ends them.
    const QStringList sent = maskMarks(recorder.statements());
    ASSERT_GE(sent.size(), posting.size() + 1);
    EXPECT_EQ(sent.mid(sent.size() - posting.size() - 1, posting.size()), posting);
    EXPECT_EQ(sent.last(), QStringLiteral("COMMIT"));
    // Both rows locked, the lower account first.
    EXPECT_EQ(sent[1], QStringLiteral("START TRANSACTION"));
    EXPECT_TRUE(sent[2].contains(QStringLiteral("'010100000001' FOR UPDATE")));
    EXPECT_TRUE(sent[3].contains(QStringLiteral("'010100000007' FOR UPDATE")));

    EXPECT_EQ(balance(kDewi, true), 400);

    const TransferInput rest = send(kDewi, kAhmad, 400); // the whole balance left
    recorder.clear();
    postTransfer(*db, rest, kToday);
    EXPECT_EQ(recorder.statements(),
              QStringList{QStringLiteral(
                  "INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                  "log_user = '', log_rekening = '010100000007', log_rfid = '0004417007', "
                  "log_nama = 'Dewi Lestari', log_kelas = '9A', log_transaksi = 'TARIK KE "
                  "TABUNGAN', log_nominal = '400', log_keterangan = 'Saldo tidak mencukupi!'")});
}

TEST_F(TransferTest, RefusalsAndFailuresUnderTheLockWriteNothing) {
    const auto ledger = count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans"));
    // The receiver was blocked after the form looked it up.
    const TransferInput toAhmad = send(kDewi, kAhmad, 1000);
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_status = 0 WHERE "
                       "tab_rekening = '010100000001'"));
    EXPECT_EQ(postTransfer(*db, toAhmad, kToday).outcome, TransferResult::Outcome::TargetInvalid);
    // The credit row is refused: the debit row, copy and log row go with it.
    admin->execute(Sql("CREATE TRIGGER `cashless-adm`.refuse_credit BEFORE INSERT ON "
                       "`cashless-adm`.data_tabungan_trans FOR EACH ROW "
                       "IF NEW.trans_id LIKE '%#' THEN SIGNAL SQLSTATE '45000' "
                       "SET MESSAGE_TEXT = 'credit refused'; END IF"));
    EXPECT_THROW(postTransfer(*db, send(kDewi, kFajar, 1000), kToday), DbError);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans")), ledger);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi")), 0);
    EXPECT_EQ(balance(kDewi, true), 80000);
}

} // namespace
