#include "app/heartbeat.h"
#include "postings/pin_change.h"
#include "postings/posting_outcome.h"
#include "printing/cups_link.h"
#include "printing/print.h"
#include "printing/printer_check.h"
#include "printing/raw_printer.h"
#include "printing/receipt.h"
#include "support/cups_server.h"
#include "support/tcp_proxy.h"
#include "visit/frm_info.h"
#include "visit/login_log.h"
#include "visit_fixture.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <cups/cups.h>
#include <sys/stat.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// The road of a product payment on the real forms: card, PIN, product, PAY, PIN.
class ProductPaymentFormTest : public VisitFixture {
protected:
    void SetUp() override {
        VisitFixture::SetUp();
        setReceiptPrinter(&printer);
        openScreen();
        tapCard(QStringLiteral("0004417002"), QStringLiteral("234567")); // Siti, 150.000
        ASSERT_EQ(screen->txtNama->text(), QStringLiteral("Siti Aminah"));
    }
    void TearDown() override {
        setReceiptPrinter(nullptr);
        VisitFixture::TearDown();
    }

    void chooseProduct(const QString& entry) {
        const int index = screen->cboJenis->findText(entry);
        ASSERT_GE(index, 0) << entry.toStdString();
        screen->cboJenis->setCurrentIndex(index);
        emit screen->cboJenis->activated(index);
    }

    // PAY, then the PIN typed digit by digit; returns what the PIN form showed at the end.
    QString payWithPin(const QString& pin, bool expectClosed = true) {
        QString label;
        bool closed = false;
        dialogs.onNextModal([&](QDialog& d) {
            auto& form = static_cast<frmInputPin&>(d);
            typeAsKeyboard(pin);
            label = form.lblInfo->text();
            closed = !form.isVisible();
            if (!closed)
                form.reject();
        });
        QTest::mouseClick(screen->cmdBayar, Qt::LeftButton);
        EXPECT_EQ(closed, expectClosed);
        return label;
    }

    // Pays 12.500 whose COMMIT answer is lost with the link held, so its outcome stays unknown.
    void loseCommitOfPayment(TcpProxy& proxy) {
        ConnectParams p = kioskParamsThrough(proxy);
        p.connectTimeoutSeconds = 1;
        p.readTimeoutSeconds = 2;
        db->connect(p);
        chooseProduct(QStringLiteral("003 : Jajan Kantin"));
        screen->txtNominal->setText(QStringLiteral("12500"));
        proxy.cutAt(QByteArray("\x03"
                               "COMMIT"),
                    TcpProxy::Cut::AfterSendingThenHold);
        EXPECT_EQ(payWithPin(QStringLiteral("234567"), false),
                  QStringLiteral("TRANSAKSI BELUM PASTI"));
    }

    RecordingPrinter printer;
};

TEST_F(ProductPaymentFormTest, FixedAmountProductsLockTheAmountAndFreeOnesUnlockIt) {
    chooseProduct(QStringLiteral("004 : Laundry Bulanan"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("75.000"));
    EXPECT_TRUE(screen->txtNominal->isReadOnly());
    EXPECT_TRUE(screen->cmdReset->isHidden());
    EXPECT_EQ(screen->txtRekTujuan->text(), QStringLiteral("020100000004"));
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("0"));
    EXPECT_FALSE(screen->txtNominal->isReadOnly());
    EXPECT_FALSE(screen->cmdReset->isHidden());
    EXPECT_EQ(screen->txtRekTujuan->text(), QStringLiteral("020100000003"));
    // The empty entry is no product: nothing changes.
    screen->txtNominal->setText(QStringLiteral("5000"));
    chooseProduct(QString());
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("5.000"));
    EXPECT_EQ(screen->txtRekTujuan->text(), QStringLiteral("020100000003"));
}

TEST_F(ProductPaymentFormTest, APaymentPostsPrintsThenSaysSuccessAndKeepsTheVisit) {
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    QTest::keyClicks(screen->txtNominal, QStringLiteral("12500"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("12.500"));
    std::size_t printedAtSuccess = 99;
    dialogs.onMessage = [&](const ScriptedDialogs::Message& m) {
        EXPECT_FALSE(WaitNotice::shown());
        if (m.text == QLatin1String("Transaksi Sukses"))
            printedAtSuccess = printer.jobs.size();
    };
    EXPECT_EQ(payWithPin(QStringLiteral("234567")), QStringLiteral("TRANSAKSI BERHASIL"));
    EXPECT_EQ(printedAtSuccess, 1u); // the receipt came before the message
    EXPECT_EQ(printer.waitShown, std::vector<bool>{true});
    ASSERT_EQ(dialogs.messages.back().icon, MessageIcon::Information);

    const VisitState& v = screen->visit();
    EXPECT_TRUE(v[VisitState::TransID].startsWith(QStringLiteral("KLD")));
    EXPECT_EQ(v[VisitState::Nominal], QStringLiteral("12.500"));
    EXPECT_EQ(v[VisitState::RekTujuan], QStringLiteral("020100000003"));
    EXPECT_EQ(v[VisitState::JenisTrans], QStringLiteral("003 : Jajan Kantin"));
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("137.500"));
    // Quota-1 as the server has it after the payment, no longer the card tap's 50.000.
    EXPECT_EQ(screen->txtQuota1->text(), QStringLiteral("37.500"));
    EXPECT_EQ(parseRupiah(screen->txtQuota1->text()).value_or(-1),
              count(Sql("SELECT `cashless-adm`.GetJajanKuotaSisa('010100000002')")));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("0"));
    EXPECT_TRUE(screen->cmdBayar->isEnabled()); // the visit stays open
    EXPECT_EQ(screen->cboJenis->currentText(), QStringLiteral("003 : Jajan Kantin"));

    ASSERT_EQ(printer.jobs.size(), 1u);
    EXPECT_EQ(printer.jobs[0].first, QStringLiteral("Struk"));
    const QString receipt = QString::fromLatin1(printer.jobs[0].second);
    EXPECT_TRUE(receipt.contains(QStringLiteral("Nominal   : Rp. 12.500\r\n")));
    EXPECT_TRUE(receipt.contains(QStringLiteral("TransID   : ") + v[VisitState::TransID] +
                                 QStringLiteral("\r\n")));
    EXPECT_TRUE(receipt.contains(QStringLiteral("Nama      : Siti Aminah\r\n")));
    EXPECT_TRUE(receipt.endsWith(QStringLiteral("\x1dV0")));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE "
                        "trans_id LIKE 'KLD%' AND trans_reg_date = CURDATE()")),
              2);
}

TEST_F(ProductPaymentFormTest, AfterAFixedAmountProductASecondPayWaitsForTheProductAgain) {
    chooseProduct(QStringLiteral("005 : Potong Rambut"));
    payWithPin(QStringLiteral("234567"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("0"));
    EXPECT_TRUE(screen->txtNominal->isReadOnly());
    QString info;
    dialogs.onNextModal([&](QDialog& d) {
        info = static_cast<frmInfo&>(d).lblInfo->text();
        d.accept();
    });
    QTest::mouseClick(screen->cmdBayar, Qt::LeftButton);
    EXPECT_EQ(info, QStringLiteral("Nominal tidak valid!"));
    chooseProduct(QStringLiteral("005 : Potong Rambut"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("10.000"));
    payWithPin(QStringLiteral("234567"));
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("130.000"));
}

TEST_F(ProductPaymentFormTest, AfterFinishAFixedPriceProductIsStillPaidAtItsPrice) {
    chooseProduct(QStringLiteral("004 : Laundry Bulanan"));
    QTest::mouseClick(screen->cmdFinish, Qt::LeftButton);
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    QTest::keyClicks(screen->txtNominal, QStringLiteral("1")); // the product is still chosen
    QString info;
    dialogs.onNextModal([&](QDialog& d) {
        if (auto* f = dynamic_cast<frmInfo*>(&d))
            info = f->lblInfo->text();
        d.reject();
    });
    QTest::mouseClick(screen->cmdBayar, Qt::LeftButton);
    EXPECT_EQ(info, QStringLiteral("Nominal tidak valid!"));
    EXPECT_EQ(screen->focusWidget(), screen->txtNominal);
    screen->txtNominal->setText(QStringLiteral("75000"));
    payWithPin(QStringLiteral("234567"));
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("75.000"));
}

TEST_F(ProductPaymentFormTest, NotEnoughMoneyKeepsThePinFormOpenWithTheReason) {
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("150000"));
    EXPECT_EQ(payWithPin(QStringLiteral("234567"), false),
              QStringLiteral("Saldo tidak mencukupi!"));
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_keterangan = "
                        "'Saldo tidak mencukupi!' AND log_transid IS NULL")),
              1);
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("150.000"));
}

TEST_F(ProductPaymentFormTest, ADatabaseFailureBooksNothingAndSaysSo) {
    admin->execute(Sql("CREATE TRIGGER `cashless-adm`.refuse_credit BEFORE INSERT ON "
                       "`cashless-adm`.data_tabungan_trans FOR EACH ROW "
                       "IF NEW.trans_id LIKE '%##' THEN SIGNAL SQLSTATE '45000' "
                       "SET MESSAGE_TEXT = 'credit refused'; END IF"));
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("1000"));
    EXPECT_EQ(payWithPin(QStringLiteral("234567"), false), QStringLiteral("TRANSAKSI GAGAL"));
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.messages.back().text.startsWith(
        QStringLiteral("Transaksi gagal, tidak ada yang dibukukan.")));
    EXPECT_TRUE(dialogs.messages.back().text.contains(QStringLiteral("credit refused")));
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
    EXPECT_EQ(screen->visit()[VisitState::TransID], QString());
    // The kiosk carries on: once the cause is gone the same payment goes through.
    admin->execute(Sql("DROP TRIGGER `cashless-adm`.refuse_credit"));
    EXPECT_EQ(payWithPin(QStringLiteral("234567")), QStringLiteral("TRANSAKSI BERHASIL"));
}

// The answer to COMMIT is lost and the server stays away for the look-up: the student hears
// that the outcome is unknown and which id to ask about, and no receipt is printed. Settled at
// the next student's tap, it is shown and printed to nobody, goes to the log, and its receipt
// waits for its own account's next visit, for CETAK ULANG.
TEST_F(ProductPaymentFormTest, APaymentSettledAfterItsVisitReachesOnlyTheLogAndItsOwnStudent) {
    TcpProxy proxy(MariaDbServer::instance().port());
    loseCommitOfPayment(proxy);
    const std::optional<QString> id = pendingPostingId();
    ASSERT_TRUE(id.has_value());
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.messages.back().text.contains(*id));
    proxy.hold(false);
    dialogs.messages.clear();
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456")); // another student
    EXPECT_FALSE(pendingPostingId().has_value());
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_TRUE(printer.jobs.empty());
    EXPECT_TRUE(lastReceipt().isEmpty());
    Sql logged;
    logged << "SELECT COUNT(*) FROM log_transaksi WHERE log_rekening = '010100000002' AND "
              "log_keterangan = 'TRANSAKSI BERHASIL' AND log_transaksi = 'HASIL TRANSAKSI "
              "TERTUNDA' AND log_transid = '"
           << esc(*id) << "'";
    EXPECT_EQ(count(logged), 1);
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    EXPECT_TRUE(lastReceipt().contains(QStringLiteral("TransID   : ") + *id));
    EXPECT_TRUE(printer.jobs.empty());
    screen->Bersih();
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    EXPECT_TRUE(lastReceipt().isEmpty());
    // A PIN change's id is longer than the log's id column; its settlement is logged all the same.
    PostingReport report;
    report.visit = screen.get();
    proxy.cutAt(QByteArray("\x03"
                           "COMMIT"),
                TcpProxy::Cut::AfterSendingThenHold);
    EXPECT_FALSE(runPosting<PinChangeOutcome>(*db, nullptr, report, [&] {
        return changePin(*db, {QStringLiteral("010100000002"),
                               QStringLiteral("0004417002"),
                               {},
                               {},
                               QStringLiteral("234567"),
                               QStringLiteral("246810")});
    }));
    proxy.hold(false);
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456"));
    EXPECT_FALSE(pendingPostingId().has_value());
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_transaksi = 'HASIL "
                        "TRANSAKSI TERTUNDA GANTI PIN 010100000002' AND log_transid IS NULL")),
              1);
}

// The student types the PIN again once the server is back: the payment in doubt is settled
// first, it was stored, so the PIN form closes instead of paying a second time.
TEST_F(ProductPaymentFormTest, APaymentSettledAsStoredAtTheNextPinClosesTheForm) {
    TcpProxy proxy(MariaDbServer::instance().port());
    loseCommitOfPayment(proxy);
    proxy.hold(false);
    payWithPin(QStringLiteral("234567"), true);
    EXPECT_FALSE(pendingPostingId().has_value());
    EXPECT_EQ(printer.jobs.size(), 1u);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE "
                        "trans_rekening = '010100000002' AND trans_id LIKE 'KLD%'")),
              1);
}

// The office's heartbeat beside the payments: one whose server hangs fails on its own thread
// while the payment goes on at once; a payment in doubt is reported until it is settled.
TEST_F(ProductPaymentFormTest, TheHeartbeatReportsAPaymentInDoubtAndNeverHoldsOne) {
    TcpProxy beatLink(MariaDbServer::instance().port());
    beatLink.hold(true);
    HeartbeatWriter writer({[] {
                                Heartbeat beat;
                                beat.machine = QStringLiteral("form-test");
                                beat.inDoubt = pendingPostingId() ? 1 : 0;
                                return beat;
                            },
                            [&] { return kioskParamsThrough(beatLink); },
                            {}},
                           std::chrono::hours(1));
    installHeartbeat(&writer);
    const auto reported = [&](long long inDoubt) { // polls the row until it says so
        const Sql row("SELECT COALESCE(MAX(hb_tertunda), -1) FROM data_kiosk_heartbeat");
        for (QDeadlineTimer d(15000); count(row) != inDoubt && !d.hasExpired();)
            QTest::qWait(20);
        return count(row);
    };
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("1000"));
    QElapsedTimer paying;
    paying.start();
    EXPECT_EQ(payWithPin(QStringLiteral("234567")), QStringLiteral("TRANSAKSI BERHASIL"));
    EXPECT_LT(paying.elapsed(), HeartbeatWriter::kTimeoutSeconds * 1000 / 2);
    for (QDeadlineTimer d(15000); writer.failed() == 0 && !d.hasExpired();)
        QTest::qWait(20);
    EXPECT_EQ(writer.written(), 0);
    beatLink.hold(false);

    TcpProxy proxy(MariaDbServer::instance().port());
    loseCommitOfPayment(proxy);
    EXPECT_EQ(reported(1), 1);
    proxy.hold(false);
    payWithPin(QStringLiteral("234567"), true); // settled as stored first
    EXPECT_EQ(reported(0), 0);
}

// The kiosk dies while a payment is in doubt: the intent file it wrote before the COMMIT lets
// the next start settle it by its mark, as one settled after its visit. A file open to other
// users, no whole posting, or one older than the marks the server keeps, is set aside unread.
TEST_F(ProductPaymentFormTest, APaymentInDoubtOutlivesACrashAndIsSettledAtStart) {
    TcpProxy proxy(MariaDbServer::instance().port());
    loseCommitOfPayment(proxy);
    const QString id = pendingPostingId().value_or(QString());
    QFile intent(intentFilePath());
    ASSERT_TRUE(intent.open(QIODevice::ReadOnly));
    const QByteArray written = intent.readAll();
    intent.close();
    struct stat file {};
    ::stat(QFile::encodeName(intentFilePath()).constData(), &file);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    proxy.hold(false);
    detail::forgetPendingPosting();
    dialogs.messages.clear();
    EXPECT_EQ(settleLeftPosting(*db), Settlement::SettledStored);
    EXPECT_FALSE(intent.exists());
    EXPECT_TRUE(dialogs.messages.empty());
    Sql logged;
    logged << "SELECT COUNT(*) FROM log_transaksi WHERE log_transaksi = 'HASIL TRANSAKSI "
              "TERTUNDA' AND log_keterangan = 'TRANSAKSI BERHASIL' AND log_transid = '"
           << esc(id) << "'";
    EXPECT_EQ(count(logged), 1);
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    EXPECT_TRUE(lastReceipt().contains(QStringLiteral("TransID   : ") + id));
    QJsonObject aged = QJsonDocument::fromJson(written).object();
    aged.insert(QStringLiteral("made"), 0); // its mark may have been cleared
    for (const auto& [text, mode, folder] : {std::tuple{written, 0644, 0700},
                                             {written, 0600, 0770}, // others may write the folder
                                             {written, 0600, 0703},
                                             {QByteArray("{\"version\":1"), 0600, 0700},
                                             {QJsonDocument(aged).toJson(), 0600, 0700}}) {
        QFile left(intentFilePath());
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write(text);
        left.close();
        ::chmod(QFile::encodeName(intentFilePath()).constData(), mode);
        ::chmod(QFile::encodeName(stateFolder()).constData(), folder);
        QFile::remove(intentFilePath() + QStringLiteral(".untrusted"));
        EXPECT_EQ(settleLeftPosting(*db), Settlement::NothingPending) << mode << ' ' << folder;
        EXPECT_TRUE(QFile::exists(intentFilePath() + QStringLiteral(".untrusted")));
    }
    EXPECT_EQ(count(logged), 1);
}

// READ COMMITTED cannot be logged in the STATEMENT format. Only the postings ask for it, so
// everything else keeps working, and a posting the server refuses says what to change.
TEST_F(ProductPaymentFormTest, OnAServerLoggingStatementsOnlyPostingsAreRefusedWithTheCure) {
    MariaDbServer::instance().restart(
        {"--log-bin=kalinda-bin", "--binlog-format=STATEMENT", "--server-id=1"});
    struct Restore {
        ~Restore() { MariaDbServer::instance().restart(); }
    } restore;
    ASSERT_EQ(scalar(*admin, Sql("SELECT @@GLOBAL.binlog_format")), QStringLiteral("STATEMENT"));
    EXPECT_NO_THROW(LogLogin(*db, MachineIdentity{}, QStringLiteral("1.0.1")));
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    EXPECT_EQ(screen->txtNama->text(), QStringLiteral("Siti Aminah"));
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("1000"));
    EXPECT_EQ(payWithPin(QStringLiteral("234567"), false), QStringLiteral("TRANSAKSI GAGAL"));
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_TRUE(dialogs.messages.back().text.contains(QStringLiteral("MIXED atau ROW")));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
}

TEST_F(ProductPaymentFormTest, TheReceiptArrivesByteForByteInTheRawQueue) {
    CupsServer& cups = CupsServer::instance();
    cups.reset();
    setReceiptPrinter(nullptr); // the real CUPS default destination
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("2500"));
    const QDateTime printedAt(QDate(2026, 12, 7), QTime(23, 59, 59));
    screen->setReceiptClock([&] { return printedAt; });
    payWithPin(QStringLiteral("234567"));
    const auto jobs = cups.waitForFinishedJobs(1);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].title, QStringLiteral("Struk"));

    ReceiptValues values;
    values.account = QStringLiteral("010100000002");
    values.name = QStringLiteral("Siti Aminah");
    values.kelas = QStringLiteral("7A");
    values.kind = QStringLiteral("003 : Jajan Kantin");
    values.target = QStringLiteral("020100000003");
    values.amount = QStringLiteral("2.500");
    values.transId = screen->visit()[VisitState::TransID];
    const ReceiptSettings settings = readReceiptSettings(*db);
    EXPECT_EQ(cups.output().toStdString(),
              receiptBytes(buildReceipt(settings, values, printedAt, printedAt, printedAt))
                  .toStdString());
}

// A scheduler that takes the connection and never answers costs the receipt, never the
// payment: the printer check and the print each give up after their timeout.
TEST_F(ProductPaymentFormTest, AHungSchedulerCostsTheReceiptNotThePayment) {
    TcpProxy hung(MariaDbServer::instance().port());
    hung.hold(true); // takes every connection and answers nothing
    struct Restore {
        ~Restore() { cupsSetServer(nullptr); }
    } restore;
    cupsSetServer(("127.0.0.1:" + QByteArray::number(hung.port())).constData());
    setReceiptPrinter(nullptr);
    parameters().AppParam.PrinterCheck = QStringLiteral("1");
    chooseProduct(QStringLiteral("003 : Jajan Kantin"));
    screen->txtNominal->setText(QStringLiteral("2500"));
    dialogs.clear();
    dialogs.onNextModal([](QDialog& d) {
        QTest::mouseClick(static_cast<frmPrinterWarning&>(d).cmdLanjut, Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(payWithPin(QStringLiteral("234567")), QStringLiteral("TRANSAKSI BERHASIL"));
    EXPECT_LT(clock.elapsed(), 4 * kCupsTimeoutMs); // the check and the print, about 6 s each
    EXPECT_EQ(dialogs.messageTexts(),
              (QStringList{kStrukTidakTercetak, QStringLiteral("Transaksi Sukses")}));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_keterangan = "
                        "'TRANSAKSI BERHASIL'")),
              1);
}

} // namespace
