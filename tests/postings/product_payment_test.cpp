#include "app/connection.h"
#include "app/profile.h"
#include "postings/fee_payment.h"
#include "postings/ledger.h"
#include "postings/posting.h"
#include "postings/posting_outcome.h"
#include "postings/product_payment.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "support/child_process.h"
#include "support/mariadb_server.h"
#include "support/scripted_dialogs.h"
#include "support/tcp_proxy.h"
#include "support/test_settings.h"

#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QDate kToday = QDate::currentDate();

// Siti Aminah (150.000) pays the canteen.
ProductPaymentInput sitiPays(Rupiah amount) {
    ProductPaymentInput in;
    in.NoRekening = in.txtNorek = QStringLiteral("010100000002");
    in.NoCif = QStringLiteral("240100002");
    in.Rfid = in.txtRfid = QStringLiteral("0004417002");
    in.txtNama = QStringLiteral("Siti Aminah");
    in.txtKelas = QStringLiteral("7A");
    in.cboJenis = QStringLiteral("003 : Jajan Kantin");
    in.txtRekTujuan = QStringLiteral("020100000003");
    in.channel = QStringLiteral("KLD01");
    in.amount = amount;
    in.balance = 150000;
    return in;
}

RandomNumberSource fixedDraw(const QString& number) {
    return [number](Connection&) { return number; };
}

class ProductPaymentTest : public ::testing::Test {
protected:
    void SetUp() override {
        MariaDbServer::instance().resetDatabase();
        admin = adminConnection();
        db = kioskConnection();
    }
    long long count(const Sql& q) { return scalarInt(*admin, q); }
    long long ledgerRows() {
        return count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans"));
    }
    long long stored(const char* account) {
        Sql s;
        s << "SELECT tab_saldo_efektif FROM `cashless-adm`.data_tabungan_master WHERE "
             "tab_rekening = '"
          << esc(QString::fromLatin1(account)) << "'";
        return scalarInt(*admin, s);
    }

    std::unique_ptr<Connection> admin;
    std::unique_ptr<Connection> db;
};

TEST_F(ProductPaymentTest, AmountEqualToTheActiveBalanceIsRefusedWithOneLogRow) {
    const auto before = ledgerRows();
    const auto r = postProductPayment(*db, sitiPays(150000), kToday);
    EXPECT_EQ(r.outcome, ProductPaymentResult::Outcome::InsufficientBalance);
    EXPECT_EQ(ledgerRows(), before);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
    Recordset log = admin->open(Sql("SELECT * FROM log_transaksi"));
    ASSERT_EQ(log.rowCount(), 1);
    EXPECT_EQ(log.text(QStringLiteral("log_keterangan")), QStringLiteral("Saldo tidak mencukupi!"));
    EXPECT_EQ(log.value(QStringLiteral("log_nominal")).toLongLong(), 150000);
    EXPECT_TRUE(log.value(QStringLiteral("log_transid")).isNull());
}

// A form that let 0 or a negative amount through: every posting refuses it before it sends a
// statement, and the student is told so.
TEST_F(ProductPaymentTest, EveryPostingRefusesAnAmountOfZeroOrLess) {
    const auto siti = [](auto in) {
        in.NoRekening = in.txtNorek = QStringLiteral("010100000002");
        in.Rfid = in.txtRfid = QStringLiteral("0004417002");
        in.balance = 150000;
        return in;
    };
    const QString canteen = QStringLiteral("020100000003");
    const std::pair<const char*, std::function<void(Rupiah)>> cases[] = {
        {"product", [&](Rupiah a) { postProductPayment(*db, sitiPays(a), kToday); }},
        {"fee",
         [&](Rupiah a) {
             FeePaymentInput in = siti(FeePaymentInput{});
             in.rekTujuan = canteen;
             in.amount = a;
             postFeePayment(*db, in);
         }},
        {"transfer",
         [&](Rupiah a) {
             TransferInput in = siti(TransferInput{});
             in.txtRekening = QStringLiteral("010100000001");
             in.amount = a;
             postTransfer(*db, in);
         }},
        {"shop order",
         [&](Rupiah a) { // the delivery fee of 1.000 comes on top of the line
             ShopOrderInput in = siti(ShopOrderInput{});
             in.shopAccount = canteen;
             in.cart.add(
                 ShopCart::lineFromEntry(QStringLiteral("K007 : Pulpen"), a - 1000, 1, a - 1000));
             postShopOrder(*db, in);
         }},
    };
    const auto balances = [&] {
        return scalar(*admin, Sql("SELECT GROUP_CONCAT(tab_saldo_efektif ORDER BY tab_rekening) "
                                  "FROM `cashless-adm`.data_tabungan_master"));
    };
    const auto ledger = ledgerRows();
    const QString before = balances();
    ScriptedDialogs dialogs;
    for (const auto& [kind, post] : cases) {
        for (const Rupiah amount : {Rupiah(0), Rupiah(-5000)}) {
            SCOPED_TRACE(std::string(kind) + " " + std::to_string(amount));
            StatementRecorder recorder;
            dialogs.messages.clear();
            EXPECT_FALSE(runPosting<bool>(*db, nullptr, {}, [&] {
                post(amount);
                return true;
            }));
            EXPECT_EQ(dialogs.messageTexts(), QStringList{kNominalTidakValid});
            EXPECT_EQ(recorder.statements(), QStringList());
        }
    }
    EXPECT_EQ(ledgerRows(), ledger);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi")), 0);
    EXPECT_EQ(balances(), before);
}

TEST_F(ProductPaymentTest, OneRupiahLessIsPostedAndLeavesOne) {
    const auto r = postProductPayment(*db, sitiPays(149999), kToday);
    ASSERT_EQ(r.outcome, ProductPaymentResult::Outcome::Posted);
    EXPECT_EQ(r.balanceBefore, 150000);
    EXPECT_EQ(r.balanceAfter, 1);
    EXPECT_EQ(stored("010100000002"), 1);
    EXPECT_EQ(
        scalarInt(*db, Sql("SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE())")),
        1);
    EXPECT_EQ(stored("020100000003"), 1000000 + 50000 + 149999);
}

// With a CA set, only TLS to a server whose certificate the CA signed for the address dialled.
TEST_F(ProductPaymentTest, WithACaSetTheKioskPostsOverTlsToATrustedServerOnly) {
    MariaDbServer& server = MariaDbServer::instance();
    const std::string dir = server.folder().toStdString() + "/";
    // "misnamed": the right CA, another address.
    ASSERT_EQ(runShell("cd " + dir +
                       " && export KALINDA_TLS_NAMES=127.0.0.1 S=" KALINDA_SCRIPTS_DB
                       " && $S certs right && $S certs other && mkdir misnamed && cp "
                       "right/ca*.pem misnamed && KALINDA_TLS_NAMES=127.0.0.9 $S certs misnamed"),
              0);
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"right", "right", nullptr},
        {"right", "other", "ditolak: sertifikat server tidak ditandatangani CA"},
        {"misnamed", "right", "ditolak: sertifikat server tidak ditandatangani CA"},
        {nullptr, "right", "ditolak: server tidak memakai TLS"}, // plain again, as others want
    };
    for (const auto& [certs, ca, refusal] : cases) {
        const std::string at = dir + (certs ? certs : "");
        server.restart(certs ? std::vector<std::string>{"--ssl-ca=" + at + "/ca.pem",
                                                        "--ssl-cert=" + at + "/server-cert.pem",
                                                        "--ssl-key=" + at + "/server-key.pem"}
                             : std::vector<std::string>{});
        qputenv("KALINDA_DB_CA", QByteArray::fromStdString(dir + ca + "/ca.pem"));
        ScriptedDialogs dialogs;
        EXPECT_EQ(ConnectProfile(QStringLiteral("1"), testSettings()), !refusal) << at;
        if (refusal) {
            EXPECT_EQ(dialogs.messageTexts().filter(QLatin1String(refusal)).size(), 2) << at;
            continue;
        }
        EXPECT_EQ(postProductPayment(DbConn(), sitiPays(1000), kToday).outcome,
                  ProductPaymentResult::Outcome::Posted);
        EXPECT_EQ(DbConn().reconnects(), 0);
    }
    qputenv("KALINDA_DB_CA", "");
}

TEST_F(ProductPaymentTest, RowsCarryTheIdsAndCrossReferences) {
    const auto r =
        postProductPayment(*db, sitiPays(12500), kToday, fixedDraw(QStringLiteral("654321")));
    ASSERT_EQ(r.transId, onToday(QStringLiteral("KLD261207654321")));

    Recordset debit = admin->open(Sql("SELECT * FROM `cashless-adm`.data_tabungan_trans "
                                      "WHERE trans_id LIKE 'KLD______654321'"));
    ASSERT_FALSE(debit.eof());
    EXPECT_EQ(debit.text(QStringLiteral("trans_kode")), QStringLiteral("14"));
    EXPECT_EQ(debit.text(QStringLiteral("trans_rekening")), QStringLiteral("010100000002"));
    EXPECT_EQ(debit.value(QStringLiteral("trans_jumlah_keluar")).toLongLong(), 12500);
    EXPECT_EQ(debit.value(QStringLiteral("trans_saldo_akhir")).toLongLong(), 137500);
    EXPECT_EQ(debit.text(QStringLiteral("trans_ob_rekening")), QStringLiteral("020100000003"));
    EXPECT_EQ(debit.text(QStringLiteral("trans_uraian")),
              QStringLiteral("Jajan Kantin dari 010100000002 a.n Siti Aminah"));
    EXPECT_EQ(debit.text(QStringLiteral("trans_reg_alias")), QStringLiteral("KLD|"));
    EXPECT_EQ(debit.value(QStringLiteral("trans_status")).toLongLong(), 0);

    Recordset credit = admin->open(Sql("SELECT * FROM `cashless-adm`.data_tabungan_trans "
                                       "WHERE trans_id LIKE 'KLD______654321##'"));
    ASSERT_FALSE(credit.eof());
    EXPECT_EQ(credit.text(QStringLiteral("trans_kode")), QStringLiteral("15"));
    EXPECT_EQ(credit.text(QStringLiteral("trans_rekening")), QStringLiteral("020100000003"));
    EXPECT_EQ(credit.text(QStringLiteral("trans_nasabah")), QStringLiteral("240100002"));
    EXPECT_EQ(credit.text(QStringLiteral("trans_rfid")), QStringLiteral("0004417002"));
    EXPECT_EQ(credit.value(QStringLiteral("trans_jumlah_masuk")).toLongLong(), 12500);
    EXPECT_EQ(credit.text(QStringLiteral("trans_ob_rekening")), QStringLiteral("010100000002"));
    EXPECT_TRUE(credit.value(QStringLiteral("trans_saldo_akhir")).isNull());

    Recordset copy = admin->open(Sql("SELECT * FROM data_transaksi"));
    ASSERT_EQ(copy.rowCount(), 1);
    EXPECT_EQ(copy.text(QStringLiteral("trans_id")), r.transId + '#');
    EXPECT_EQ(copy.value(QStringLiteral("trans_saldo_awal")).toLongLong(), 150000);
    EXPECT_EQ(copy.value(QStringLiteral("trans_saldo_akhir")).toLongLong(), 137500);
    EXPECT_EQ(copy.text(QStringLiteral("trans_nasabah_nama")), QStringLiteral("Siti Aminah"));

    Recordset log = admin->open(Sql("SELECT * FROM log_transaksi"));
    ASSERT_EQ(log.rowCount(), 1);
    EXPECT_EQ(log.text(QStringLiteral("log_transid")), r.transId);
    EXPECT_EQ(log.text(QStringLiteral("log_keterangan")), QStringLiteral("TRANSAKSI BERHASIL"));
    EXPECT_EQ(log.text(QStringLiteral("log_transaksi")), QStringLiteral("003 : Jajan Kantin"));
}

TEST_F(ProductPaymentTest, PayRefusesAnotherPriceAndAnUnknownOrForeignAccount) {
    admin->execute(Sql("UPDATE `cashless-adm`.data_kalinda_produk SET kalinda_rekening = "
                       "'029999999999' WHERE kalinda_kode = '010'"));
    const auto check = [&](const char* entry, Rupiah amount, const char* account) {
        return checkProductChoice(*db, QString::fromLatin1(entry), amount,
                                  QString::fromLatin1(account));
    };
    using R = ProductChoiceRefusal;
    EXPECT_EQ(check("004 : Laundry Bulanan", 80000, "020100000004"), R::AmountNotThePrice);
    EXPECT_EQ(check("099 : Produk Lama", 1000, "020100000003"), R::UnknownProduct);
    EXPECT_EQ(check("003 : Jajan Kantin", 1000, ""), R::NoReceivingAccount);
    // Left behind by another product's lookup; a product whose account does not exist.
    EXPECT_EQ(check("003 : Jajan Kantin", 1000, "020100000001"), R::NoReceivingAccount);
    EXPECT_EQ(check("010 : Infaq", 1000, "029999999999"), R::NoReceivingAccount);
}

TEST_F(ProductPaymentTest, DescriptionNamesProductAccountAndHolder) {
    ProductPaymentInput in;
    in.cboJenis = QStringLiteral("ABC : Uang Makan");
    in.NoRekening = QStringLiteral("77");
    in.txtNama = QStringLiteral("Siti");
    EXPECT_EQ(productDescription(in), QStringLiteral("Uang Makan dari 77 a.n Siti"));
    in.cboJenis = QStringLiteral("Tanpa titik dua");
    EXPECT_EQ(productDescription(in), QStringLiteral("Tanpa titik dua dari 77 a.n Siti"));
}

TEST_F(ProductPaymentTest, StatementsAreTheOnesThePostingPrescribes) {
    StatementRecorder recorder;
    postProductPayment(*db, sitiPays(12500), kToday, fixedDraw(QStringLiteral("654321")));
    const QString id = onToday(QStringLiteral("KLD261207654321"));
    const QStringList expected = {
        QStringLiteral("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"),
        QStringLiteral("START TRANSACTION"),
        QStringLiteral("SELECT tab_rekening, tab_rfid, tab_status FROM `cashless-adm`."
                       "data_tabungan_master WHERE tab_rekening = '010100000002' FOR UPDATE"),
        QStringLiteral(
            "SELECT `cashless-adm`.GetTabSaldoAktif('010100000002', CURDATE()) as SaldoAktif"),
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '") + id +
            QStringLiteral(
                "', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                "trans_rekening = '010100000002', trans_nasabah = '240100002', "
                "trans_channel = 'KLD01', trans_rfid = '0004417002', "
                "trans_jumlah_keluar = '12500', trans_saldo_akhir = '137500', "
                "trans_ob_jenis = 1, trans_ob_rekening = '020100000003', trans_uraian = "
                "'Jajan Kantin dari 010100000002 a.n Siti Aminah', trans_status = 0, "
                "trans_reg_date = NOW(), trans_reg_time = NOW(),  trans_reg_alias = 'KLD|'"),
        QStringLiteral("INSERT INTO data_transaksi SET trans_id = '") + id +
            QStringLiteral("#', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01',  "
                           "trans_rekening = '010100000002', trans_nasabah = '240100002', "
                           "trans_nasabah_nama = 'Siti Aminah', trans_nasabah_kelas = '7A', "
                           "trans_channel = 'KLD01', trans_rfid = '0004417002', trans_jumlah = "
                           "'12500', trans_saldo_awal = '150000', trans_saldo_akhir = '137500', "
                           "trans_uraian = 'Jajan Kantin dari 010100000002 a.n Siti Aminah', "
                           "trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW(),  "
                           "trans_reg_alias = ''"),
        QStringLiteral("INSERT INTO log_transaksi SET log_tanggal = NOW(), log_time = NOW(), "
                       "log_user = '', log_rekening = '010100000002', log_rfid = '0004417002', "
                       "log_nama = 'Siti Aminah', log_kelas = '7A', log_transaksi = '003 : Jajan "
                       "Kantin', log_nominal = '12500', log_keterangan = 'TRANSAKSI BERHASIL', "
                       "log_transid = '") +
            id + QStringLiteral("' "),
        QStringLiteral("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = '") + id +
            QStringLiteral("##', trans_tanggal = NOW(), trans_kode = '15', trans_kantor = '01',  "
                           "trans_rekening = '020100000003', trans_nasabah = '240100002', "
                           "trans_channel = 'KLD01', trans_rfid = '0004417002', "
                           "trans_jumlah_masuk = '12500', trans_ob_jenis = 1, trans_ob_rekening = "
                           "'010100000002', trans_uraian = 'Jajan Kantin dari 010100000002 a.n "
                           "Siti Aminah', trans_status = 0, trans_reg_date = NOW(), "
                           "trans_reg_time = NOW(),  trans_reg_alias = 'KLD|'"),
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('010100000002') "),
        QStringLiteral("CALL `cashless-adm`.HitungTabSaldoNasabah('020100000003') "),
        kMarkStatement,
        QStringLiteral("COMMIT"),
    };
    EXPECT_EQ(maskMarks(recorder.statements()), expected);
}

TEST_F(ProductPaymentTest, AnExistingRandomIdIsDrawnAgain) {
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = "
                       "DATE_FORMAT(NOW(), 'KLD%y%m%d111111'), trans_tanggal = CURDATE(), "
                       "trans_kode = '15', trans_rekening = '020100000001'"));
    QStringList draws = {QStringLiteral("111111"), QStringLiteral("222222")};
    const auto r = postProductPayment(*db, sitiPays(1000), kToday,
                                      [&](Connection&) { return draws.takeFirst(); });
    EXPECT_EQ(r.transId, onToday(QStringLiteral("KLD261207222222")));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi WHERE trans_id LIKE '%222222#'")), 1);
}

TEST_F(ProductPaymentTest, HolderNamesWithQuotesArePostedAsTheyAre) {
    ProductPaymentInput in = sitiPays(5000);
    in.NoRekening = in.txtNorek = QStringLiteral("010100000003");
    in.Rfid = QStringLiteral("0004417003");
    in.NoCif = QStringLiteral("240100003");
    in.txtNama = QStringLiteral("Muhammad Ma'ruf");
    in.balance = 115000;
    const auto r = postProductPayment(*db, in, kToday);
    ASSERT_EQ(r.outcome, ProductPaymentResult::Outcome::Posted);
    Sql q;
    q << "SELECT trans_uraian FROM `cashless-adm`.data_tabungan_trans WHERE trans_id = '"
      << esc(r.transId) << "'";
    EXPECT_EQ(scalar(*admin, q),
              QStringLiteral("Jajan Kantin dari 010100000003 a.n Muhammad Ma'ruf"));
}

TEST_F(ProductPaymentTest, AFailingCreditRowLeavesNothingOfThePosting) {
    admin->execute(Sql("CREATE TRIGGER `cashless-adm`.refuse_credit BEFORE INSERT ON "
                       "`cashless-adm`.data_tabungan_trans FOR EACH ROW "
                       "IF NEW.trans_id LIKE '%##' THEN SIGNAL SQLSTATE '45000' "
                       "SET MESSAGE_TEXT = 'credit refused'; END IF"));
    const auto ledger = ledgerRows();
    try {
        postProductPayment(*db, sitiPays(12500), kToday);
        FAIL() << "the posting went through";
    } catch (const DbError& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("credit refused")));
    }
    EXPECT_EQ(ledgerRows(), ledger);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi")), 0);
    EXPECT_EQ(stored("010100000002"), 150000);
    // The connection is usable for the next posting.
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.refuse_credit"));
    EXPECT_EQ(postProductPayment(*db, sitiPays(12500), kToday).outcome,
              ProductPaymentResult::Outcome::Posted);
}

TEST_F(ProductPaymentTest, BalanceSpentByAnotherKioskIsCheckedAgainUnderTheLock) {
    // The screen still shows 150.000, but another kiosk spent 145.000 since.
    auto other = kioskConnection();
    ASSERT_EQ(postProductPayment(*other, sitiPays(145000), kToday).outcome,
              ProductPaymentResult::Outcome::Posted);
    const auto r = postProductPayment(*db, sitiPays(10000), kToday);
    EXPECT_EQ(r.outcome, ProductPaymentResult::Outcome::InsufficientBalance);
    EXPECT_EQ(stored("010100000002"), 5000);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_keterangan = "
                        "'Saldo tidak mencukupi!'")),
              1);
}

const QByteArray kCommitPacket("\x03"
                               "COMMIT");

// The link breaks around COMMIT: the kiosk looks the posting up and tells what happened.
TEST_F(ProductPaymentTest, ALostCommitIsLookedUpAndReportedAsItIs) {
    const std::pair<TcpProxy::Cut, bool> cases[] = {
        {TcpProxy::Cut::BeforeSending, false}, // COMMIT never reached the server
        {TcpProxy::Cut::AfterSending, true},   // its answer was lost
    };
    const Sql kioskRows("SELECT (SELECT COUNT(*) FROM data_transaksi) + "
                        "(SELECT COUNT(*) FROM log_transaksi)");
    for (const auto& [cut, isStored] : cases) {
        SCOPED_TRACE(isStored);
        TcpProxy proxy(MariaDbServer::instance().port());
        Connection kiosk;
        kiosk.connect(kioskParamsThrough(proxy));
        const long long rows = ledgerRows() + count(kioskRows);
        const long long balance = stored("010100000002");
        proxy.cutAt(kCommitPacket, cut);
        try {
            const auto r = postProductPayment(kiosk, sitiPays(12500), kToday);
            EXPECT_TRUE(isStored);
            EXPECT_EQ(r.outcome, ProductPaymentResult::Outcome::Posted);
            EXPECT_EQ(r.balanceAfter, balance - 12500);
        } catch (const PostingOutcomeUnknown&) {
            ADD_FAILURE() << "the look-up could have answered";
        } catch (const DbError& e) {
            EXPECT_FALSE(isStored);
            EXPECT_EQ(e.kind(), DbError::Kind::Connection);
        }
        EXPECT_EQ(ledgerRows() + count(kioskRows), rows + (isStored ? 4 : 0));
        EXPECT_EQ(stored("010100000002"), balance - (isStored ? 12500 : 0));
        EXPECT_EQ(proxy.cuts(), 1);
    }
}

// The server ends the idle session of a kiosk that vanished after its credit row: rows free.
TEST_F(ProductPaymentTest, AVanishedKioskFreesItsRowsWithinTheIdleTimeoutAndIsUndone) {
    TcpProxy proxy(MariaDbServer::instance().port());
    Connection frozen;
    frozen.connect(kioskParamsThrough(proxy));
    const long long rows = ledgerRows();
    proxy.cutAt("trans_kode = '15'", TcpProxy::Cut::AfterSendingThenHold);
    EXPECT_THROW(postProductPayment(frozen, sitiPays(12500), kToday), DbError);
    QElapsedTimer since;
    since.start();
    std::atomic<int> posted{0};
    std::vector<std::thread> kiosks;
    for (const char* n : {"10", "11", "13"})
        kiosks.emplace_back([&, n] {
            ProductPaymentInput in = sitiPays(1000);
            in.NoRekening = in.txtNorek = QStringLiteral("0101000000") + QLatin1String(n);
            in.Rfid = in.txtRfid = QStringLiteral("00044170") + QLatin1String(n);
            try {
                posted += !postProductPayment(*kioskConnection(), in, kToday).transId.isEmpty();
            } catch (...) { // refused, counted below
            }
        });
    admin->execute(Sql("SET SESSION innodb_lock_wait_timeout = 120"));
    Transaction office(*admin);
    admin->open(Sql("SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE "
                    "tab_rekening IN ('010100000002', '020100000003') FOR UPDATE"));
    const qint64 officeLocked = since.elapsed();
    office.commit();
    for (auto& k : kiosks)
        k.join();
    std::cout << "[ measure  ] vanished kiosk: office locked after " << officeLocked
              << " ms, canteen paid 3 times after " << since.elapsed() << " ms\n";
    EXPECT_LT(since.elapsed(), ConnectParams{}.idleTransactionTimeoutSeconds * 1000 + 1000);
    EXPECT_EQ(posted.load(), 3);       // none refused: a refusal throws
    EXPECT_EQ(ledgerRows(), rows + 6); // the vanished payment left nothing
}

} // namespace
