#include "postings/block_account.h"
#include "postings/fee_payment.h"
#include "postings/identifiers.h"
#include "postings/pin_change.h"
#include "race_table.h"
#include "support/mariadb_server.h"
#include "support/tcp_proxy.h"

#include <array>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <latch>
#include <optional>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDate kToday = QDate::currentDate();

// Siti Aminah (150.000) pays infaq.
FeePaymentInput sitiPays(Rupiah amount, const char* account = "010100000002") {
    FeePaymentInput in;
    in.NoRekening = in.txtNorek = QString::fromLatin1(account);
    in.NoCif = QStringLiteral("240100002");
    in.Rfid = in.txtRfid = QStringLiteral("00044170") + in.NoRekening.right(2); // its card
    in.txtNama = QStringLiteral("Siti Aminah");
    in.txtKelas = QStringLiteral("7A");
    in.judul = in.jenis = QStringLiteral("INFAQ");
    in.rekTujuan = QStringLiteral("020100000010");
    in.purposeName = QStringLiteral("Infaq");
    in.channel = QStringLiteral("KLD01");
    in.amount = amount;
    in.balance = 150000;
    return in;
}

class FeePaymentTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }
    QString rows(SqlText query) { return scalar(*admin, Sql(query)); }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(FeePaymentTest, WholeBalanceIsRefusedAndOneRupiahLessIsPostedUnderTwoSequenceIds) {
    EXPECT_EQ(postFeePayment(*db, sitiPays(150000), kToday).outcome,
              FeePaymentResult::Outcome::InsufficientBalance);
    const auto r = postFeePayment(*db, sitiPays(149999), kToday);
    ASSERT_EQ(r.outcome, FeePaymentResult::Outcome::Posted);
    EXPECT_EQ(r.debitId, onToday(QStringLiteral("KLD202612070001")));
    EXPECT_EQ(r.creditId, onToday(QStringLiteral("KLD202612070002")));
    // What was stored, not only sent: the rows' texts are pinned below.
    EXPECT_EQ(rows("SELECT GROUP_CONCAT(trans_id ORDER BY trans_id) FROM "
                   "`cashless-adm`.data_tabungan_trans WHERE trans_id LIKE 'KLD2%'"),
              onToday(QStringLiteral("KLD202612070001,KLD202612070002")));
    EXPECT_EQ(rows("SELECT GROUP_CONCAT(CONCAT_WS('|', log_transaksi, log_nominal, "
                   "log_keterangan, IFNULL(log_transid, '-')) ORDER BY log_id SEPARATOR ' / ') "
                   "FROM log_transaksi"),
              onToday(QStringLiteral("INFAQ|150000|SALDO TIDAK MENCUKUPI!|- / "
                                     "INFAQ|149999|TRANSAKSI BERHASIL|KLD202612070001")));
    // Only the payer's stored balance is recomputed.
    EXPECT_EQ(rows("SELECT GROUP_CONCAT(tab_saldo_efektif ORDER BY tab_rekening) FROM "
                   "`cashless-adm`.data_tabungan_master WHERE tab_rekening IN ('010100000002', "
                   "'020100000010')"),
              QStringLiteral("1,1000000"));
}

TEST_F(FeePaymentTest, StatementsAreThePostingsAndTheRefusalsTexts) {
    const QString head = QStringLiteral(
        "INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), log_user = '', "
        "log_rekening = '010100000002', log_rfid = '0004417002', log_nama = 'Siti Aminah', "
        "log_kelas = '7A', log_transaksi = 'INFAQ', log_nominal = '");
    const QString ledgerTail = QStringLiteral(
        "trans_uraian = 'Infaq dari 010100000002 a.n Siti Aminah', trans_status = 0, "
        "trans_reg_date = NOW(), trans_reg_time = NOW(),  trans_reg_alias = 'KLD|'");
    const QString nextId = QStringLiteral(
        "SELECT MAX(RIGHT(trans_id, 4)) as Nomor FROM `cashless-adm`.data_tabungan_trans WHERE "
        "LEFT(trans_id, 11) = 'KLD20261207' AND trans_id LIKE 'KLD20261207%' ");
    StatementRecorder recorder;
    postFeePayment(*db, sitiPays(12500), kToday);
    const QStringList posting = {
        QStringLiteral("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"),
        QStringLiteral("START TRANSACTION"),
        QStringLiteral("SELECT tab_rekening, tab_rfid, tab_status FROM `cashless-adm`."
                       "data_tabungan_master WHERE tab_rekening = '010100000002' FOR UPDATE"),
        QStringLiteral(
            "SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE()) as SaldoAktif"),
        nextId,
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = "
                       "'KLD202612070001', trans_tanggal = NOW(), trans_kode = '14', "
                       "trans_kantor = '01',  trans_rekening = '010100000002', trans_nasabah = "
                       "'240100002', trans_channel = 'KLD01', trans_rfid = '0004417002', "
                       "trans_jumlah_keluar = '12500', trans_saldo_akhir = '137500', "
                       "trans_ob_jenis = 1, trans_ob_rekening = '020100000010', ") +
            ledgerTail,
        QStringLiteral("INSERT INTO data_transaksi SET trans_id = 'KLD202612070001', "
                       "trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                       "trans_rekening = '010100000002', trans_nasabah = '240100002', "
                       "trans_nasabah_nama = 'Siti Aminah', trans_nasabah_kelas = '7A', "
                       "trans_channel = 'KLD01', trans_rfid = '0004417002', trans_jumlah = "
                       "'12500', trans_saldo_awal = '150000', trans_saldo_akhir = '137500', "
                       "trans_uraian = 'Infaq dari 010100000002 a.n Siti Aminah', "
                       "trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW(),  "
                       "trans_reg_alias = ''"),
        head + QStringLiteral("12500', log_keterangan = 'TRANSAKSI BERHASIL', log_transid = "
                              "'KLD202612070001' "),
        nextId,
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = "
                       "'KLD202612070002', trans_tanggal = NOW(), trans_kode = '15', "
                       "trans_kantor = '01',  trans_rekening = '020100000010', trans_nasabah = "
                       "'240100002', trans_channel = 'KLD01', trans_rfid = '0004417002', "
                       "trans_jumlah_masuk = '12500', trans_ob_jenis = 1, trans_ob_rekening = "
                       "'010100000002', ") +
            ledgerTail,
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000002') "),
        kMarkStatement,
        QStringLiteral("COMMIT"),
    };
    EXPECT_EQ(maskMarks(recorder.statements()), onToday(posting));

    recorder.clear();
    postFeePayment(*db, sitiPays(200000), kToday);
    EXPECT_FALSE(transactionPinMatches(*db, QStringLiteral("010100000002"), QStringLiteral("x'1")));
    logFeePinRefused(*db, sitiPays(200000));
    const QStringList refusals = {
        head + QStringLiteral("200000', log_keterangan = 'SALDO TIDAK MENCUKUPI!'"),
        QStringLiteral("SELECT tab_rfid,  `cashless-adm`.GetTabSaldoAktif(tab_rekening, "
                       "CURDATE()) as SaldoAktif FROM `cashless-adm`.data_tabungan_master WHERE "
                       "tab_rekening = '010100000002' AND tab_pin = 'x\\'1'"),
        head + QStringLiteral("200000', log_keterangan = 'PIN TIDAK SESUAI!'"),
    };
    EXPECT_EQ(recorder.statements(), refusals);
    EXPECT_TRUE(
        transactionPinMatches(*db, QStringLiteral("010100000002"), QStringLiteral("234567")));
}

TEST_F(FeePaymentTest, AFailingCreditRowLeavesNothingOfThePosting) {
    admin->execute(Sql("CREATE TRIGGER `cashless-adm`.refuse_credit BEFORE INSERT ON "
                       "`cashless-adm`.data_tabungan_trans FOR EACH ROW IF NEW.trans_kode = "
                       "'15' THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF"));
    EXPECT_THROW(postFeePayment(*db, sitiPays(12500), kToday), DbError);
    EXPECT_EQ(rows("SELECT CONCAT_WS('|', (SELECT COUNT(*) FROM "
                   "`cashless-adm`.data_tabungan_trans WHERE trans_id LIKE 'KLD2%'), (SELECT "
                   "COUNT(*) FROM data_transaksi), (SELECT COUNT(*) FROM log_transaksi))"),
              QStringLiteral("0|0|0"));
}

// Two kiosks pay from two accounts at the same moment, round after round: their postings take
// the same daily number, and the one that comes second must take the next, not fail.
TEST_F(FeePaymentTest, TwoKiosksPayingAtOnceTakeTheNextNumberRatherThanFail) {
    constexpr int kRounds = 30;
    std::unique_ptr<Connection> kiosks[2] = {kioskConnection(), kioskConnection()};
    const auto race = [&](const FeePaymentInput& a, const FeePaymentInput& b, int round) {
        std::latch start(2);
        std::array<std::optional<FeePaymentResult>, 2> out;
        std::array<std::string, 2> failed;
        const auto pay = [&](int k, const FeePaymentInput* in) {
            start.arrive_and_wait();
            try {
                out[k] = postFeePayment(*kiosks[k], *in, kToday);
            } catch (const std::exception& e) {
                failed[k] = e.what();
            }
        };
        std::thread ta(pay, 0, &a);
        std::thread tb(pay, 1, &b);
        ta.join();
        tb.join();
        EXPECT_TRUE(out[0] && out[1]) << "round " << round << ": " << failed[0] << failed[1];
        return out;
    };
    const int before = duplicateIdRetries();
    for (int round = 0; round < kRounds; ++round) {
        for (const auto& r : race(sitiPays(100), sitiPays(100, "010100000001"), round))
            ASSERT_TRUE(r && r->outcome == FeePaymentResult::Outcome::Posted);
    }
    const int collisions = duplicateIdRetries() - before;
    EXPECT_GT(collisions, 0);
    std::cout << "[ race     ] two accounts: " << 2 * kRounds << " postings, " << collisions
              << " ids taken by the other kiosk first\n";
}

// Every posting kind writes its mark. A COMMIT whose answer was lost is found by it; one that
// never reached the server is not, though a look-alike (the same ids, account and amount, or the
// same new PIN) was stored meanwhile.
TEST_F(FeePaymentTest, APostingInDoubtIsSettledByItsMarkAlone) {
    const auto draw = [](int number) {
        return [number](Connection&) { return QString::number(number); };
    };
    const PinChangeInput samePin{
        QStringLiteral("010100000002"), "0004417002", "Siti Aminah", "7A", "234567", "234567"};
    const struct {
        const char* name;
        std::function<void(Connection&, int run)> post;
    } cases[] = {
        {"fee", [](Connection& c, int) { postFeePayment(c, sitiPays(5000), kToday); }},
        {"product",
         [&](Connection& c, int run) {
             postProductPayment(c, canteenPayment(2, 5000, 150000), kToday, draw(444441 + run));
         }},
        {"transfer",
         [&](Connection& c, int run) {
             postTransfer(c, transfer(2, 1, 1000, 150000), kToday, draw(555551 + run));
         }},
        {"shop order",
         [](Connection& c, int) { postShopOrder(c, notebooks(2, 1, 150000), kToday); }},
        {"PIN change", [&](Connection& c, int) { changePin(c, samePin); }},
        {"block",
         [](Connection& c, int run) {
             const bool first = run == 0;
             blockAccount(c, first ? blockFromIdle("SPD2024010", QStringLiteral("555555"))
                                   : blockFromIdle("SPD2024011", QStringLiteral("666666")));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const int run : {0, 1}) {
            TcpProxy proxy(MariaDbServer::instance().port());
            ConnectParams p = kioskParamsThrough(proxy);
            p.connectTimeoutSeconds = 1;
            Connection kiosk;
            kiosk.connect(p);
            proxy.cutAt(QByteArray("\x03"
                                   "COMMIT"),
                        run == 0 ? TcpProxy::Cut::AfterSending
                                 : TcpProxy::Cut::BeforeSendingThenHold);
            // run 0: looked up at once, and found
            const auto lost = lostPosting([&] { c.post(kiosk, run); });
            const std::optional<PostingProof> proof = lost ? lost->proof() : std::nullopt;
            EXPECT_EQ(proxy.cuts(), 1);
            if (run == 0) {
                EXPECT_FALSE(proof.has_value());
                continue;
            }
            ASSERT_TRUE(proof.has_value());
            c.post(*db, run);
            EXPECT_FALSE(isPostingStored(*db, *proof, {})) << proof->id.toStdString();
        }
    }
}

} // namespace
