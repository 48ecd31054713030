#include "app/busy.h"
#include "app/pin_guard.h"
#include "postings/frm_transaksi_baru.h"
#include "postings/frm_transaksi_block.h"
#include "postings/frm_transaksi_ganti_pin.h"
#include "postings/frm_transaksi_kirna.h"
#include "postings/frm_transaksi_tarik.h"
#include "visit/idle_guard.h"
#include "visit_fixture.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <thread>

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QString kAccount = QStringLiteral("010100000001");
const QString kCard = QStringLiteral("0004417001");
const QString kPin = QStringLiteral("123456");

class GuardsTest : public VisitFixture {
protected:
    void setApp(const char* key, const QString& value) {
        Sql s;
        s << "INSERT INTO set_app (app_case, app_text) VALUES ('" << esc(QString::fromLatin1(key))
          << "', '" << esc(value) << "')";
        admin->execute(s);
    }
    long long wrongPins(const QString& key) {
        Sql s;
        s << "SELECT COALESCE(MAX(pin_jumlah), 0) FROM data_pin_salah WHERE pin_kunci = '"
          << esc(key) << "'";
        return count(s);
    }
    void payWithPin(const QString& pin) {
        frmInputPin form(*screen, *db, screen.get());
        form.view = QStringLiteral("Bayar");
        form.txtRfid->setMaxLength(6);
        form.ValidasiTransaksi = [this](frmInputPin& f) { payProduct(*screen, f, *db); };
        form.txtRfid->setText(pin);
    }
    // Fills the named boxes of a new `Form` and presses SIMPAN (PROSES).
    template <typename Form>
    void submit(std::vector<std::pair<const char*, QString>> boxes) {
        Form form(*screen, *db, screen.get());
        if constexpr (std::is_same_v<Form, frmTransaksiBaru>)
            form.view = QStringLiteral("INFAQ");
        for (const auto& [name, text] : boxes)
            form.template findChild<QLineEdit*>(QString::fromLatin1(name))->setText(text);
        form.cmdSimpan->click();
    }
    void changePinWithOld(const QString& oldPin) {
        frmTransaksiGantiPin form(*screen, *db, screen.get());
        form.txtPinLama->setText(oldPin);
        form.txtPinBaru->setText(QStringLiteral("111111"));
        form.txtUlangiPin->setText(QStringLiteral("111111"));
        QTest::mouseClick(form.cmdSimpan, Qt::LeftButton);
    }
};

// Each of the seven ways to type a PIN counts a wrong one and refuses a locked account; the card
// is tapped at a second kiosk with its own connection and screen.
TEST_F(GuardsTest, WrongPinsFromEveryPathAndTwoKiosksLockTheAccount) {
    setApp("PinMaxAttempts", QStringLiteral("7"));
    openScreen();
    tapCard(kCard, kPin);
    ASSERT_EQ(screen->txtNorek->text(), kAccount);
    auto db2 = kioskConnection();
    frmTransaksi other(*db2);
    other.show();
    auto pick = [](QComboBox* box, const char* text) {
        box->setCurrentIndex(box->findText(QString::fromUtf8(text)));
        emit box->activated(box->currentIndex());
    };
    const std::pair<const char*, std::function<void(const QString&)>> paths[] = {
        {"card tap",
         [&](const QString& pin) {
             dialogs.queueInput(pin);
             dialogs.onNextModal([](QDialog& form) {
                 typeAsKeyboard(kCard);
                 if (form.isVisible())
                     form.reject();
             });
             other.cmdStart->click();
         }},
        {"product payment", [&](const QString& pin) { payWithPin(pin); }},
        {"PIN change", [&](const QString& pin) { changePinWithOld(pin); }},
        {"block",
         [&](const QString& pin) {
             submit<frmTransaksiBlock>({{"txtReg", QStringLiteral("SPD2024001")}, {"txtPin", pin}});
         }},
        {"transfer",
         [&](const QString& pin) {
             submit<frmTransaksiTarik>({{"txtPin", pin},
                                        {"txtRekening", QStringLiteral("010100000002")},
                                        {"txtNominal", QStringLiteral("1.000")}});
         }},
        {"fee",
         [&](const QString& pin) {
             submit<frmTransaksiBaru>({{"txtNominal", QStringLiteral("1.000")}, {"txtPin", pin}});
         }},
        {"shop order",
         [&](const QString& pin) {
             frmTransaksiKirna form(*screen, *db, screen.get(), [] { return QTime(9, 30); });
             for (const auto& [item, qty] :
                  {std::pair{"K007 : Pulpen", "3"}, {"K005 : Pasta Gigi", "1"}}) {
                 pick(form.cboBarang, item);
                 pick(form.cboQty, qty);
                 form.cmdInsert->click();
             }
             pick(form.cboKirim, "Siang");
             form.txtPin->setText(pin);
             form.cmdBayar->click();
         }},
    };
    long long wrong = 0;
    for (const auto& [path, typePin] : paths) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(pinLocked(*db2, kAccount));
        typePin(QStringLiteral("999999"));
        EXPECT_EQ(wrongPins(kAccount), ++wrong);
    }
    EXPECT_TRUE(pinLocked(*db2, kAccount));

    // Locked: the right PIN is refused without being looked at, on every path.
    StatementRecorder recorder;
    for (const auto& [path, typePin] : paths) {
        SCOPED_TRACE(path);
        dialogs.clear();
        typePin(kPin);
        EXPECT_EQ(dialogs.messageTexts(), QStringList{kPinTerkunci});
        EXPECT_TRUE(dialogs.inputs.empty()); // the card tap did not even ask for the PIN
    }
    for (const QString& statement : recorder.statements())
        EXPECT_FALSE(statement.contains(QLatin1String("tab_pin"))) << statement.toStdString();
    EXPECT_EQ(other.txtNorek->text(), QString());
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_rekening = '010100000001' "
                        "AND log_keterangan = 'PIN TERKUNCI, DITOLAK'")),
              7);

    // The administration unlocks.
    admin->execute(Sql("CALL BukaKunciPin('010100000001')"));
    dialogs.clear();
    tapCard(kCard, kPin);
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
}

TEST_F(GuardsTest, ARightPinBeforeTheLimitStartsTheCountAgain) {
    setApp("PinMaxAttempts", QStringLiteral("3"));
    openScreen();
    tapCard(kCard, QStringLiteral("000000"));
    tapCard(kCard, QStringLiteral("000001"));
    EXPECT_EQ(wrongPins(kAccount), 2);
    tapCard(kCard, kPin);
    EXPECT_EQ(wrongPins(kAccount), 0);
    payWithPin(QStringLiteral("999999"));
    payWithPin(QStringLiteral("999998"));
    EXPECT_FALSE(pinLocked(*db, kAccount));
}

TEST_F(GuardsTest, ALockEndsByItselfAfterTheLockDays) {
    setApp("PinMaxAttempts", QStringLiteral("2"));
    setApp("PinLockDays", QStringLiteral("1"));
    openScreen();
    tapCard(kCard, QStringLiteral("000000"));
    tapCard(kCard, QStringLiteral("000001"));
    EXPECT_TRUE(pinLocked(*db, kAccount));
    admin->execute(Sql("UPDATE data_pin_salah SET pin_terakhir = NOW() - INTERVAL 25 HOUR"));
    EXPECT_FALSE(pinLocked(*db, kAccount));
    tapCard(kCard, QStringLiteral("000002")); // an old count does not carry on
    EXPECT_EQ(wrongPins(kAccount), 1);
}

TEST_F(GuardsTest, TheBlockFormCountsPerRegistrationId) {
    setApp("PinMaxAttempts", QStringLiteral("2"));
    openScreen();
    auto block = [&](const QString& pin) {
        frmTransaksiBlock form(*screen, *db, screen.get());
        form.txtReg->setText(QStringLiteral("SPD2024001"));
        form.txtPin->setText(pin);
        QTest::mouseClick(form.cmdSimpan, Qt::LeftButton);
    };
    block(QStringLiteral("000000"));
    block(QStringLiteral("000001"));
    EXPECT_EQ(wrongPins(registrationPinKey(QStringLiteral("SPD2024001"))), 2);
    dialogs.clear();
    block(kPin);
    tapCard(kCard, kPin); // the account the id names is locked as well
    EXPECT_EQ(dialogs.messageTexts(), QStringList(2, kPinTerkunci));
    EXPECT_EQ(scalar(*admin, Sql("SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master "
                                 "WHERE tab_rekening = '010100000001'")),
              kCard);
}

// The office stored the card in small hex letters, the reader types capitals: the visit opens,
// a wrong PIN counts against the account, and the first posting is not taken for a block.
TEST_F(GuardsTest, ACardStoredInSmallLettersOpensItsVisitTypedInCapitals) {
    setApp("PinMaxAttempts", QStringLiteral("5"));
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = '00a1b2c3d4' "
                       "WHERE tab_rekening = '010100000001'"));
    openScreen();
    tapCard(QStringLiteral("00A1B2C3D4"), QStringLiteral("000000"));
    EXPECT_EQ(wrongPins(kAccount), 1);
    tapCard(QStringLiteral("00A1B2C3D4"), kPin);
    EXPECT_EQ(screen->visit()[VisitState::Rfid], QStringLiteral("00a1b2c3d4"));
    submit<frmTransaksiBaru>({{"txtNominal", QStringLiteral("1.000")}, {"txtPin", kPin}});
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_trans WHERE "
                        "trans_rfid = '00a1b2c3d4' AND trans_kode = '14'")),
              1);
}

TEST_F(GuardsTest, WithoutTheKeyFiftyWrongPinsChangeNothing) {
    openScreen();
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(takePinAttempt(*db, {kAccount}));
    tapCard(kCard, QStringLiteral("000000"));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_pin_salah")), 0);
    EXPECT_FALSE(pinLocked(*db, kAccount));
    tapCard(kCard, kPin);
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
    EXPECT_FALSE(screen->idleGuard()->armed()); // no idle timeout either
}

// Every guess is counted before it is compared: two kiosks together get exactly the limit.
TEST_F(GuardsTest, TwoKiosksGuessingAtOnceGetExactlyTheLimit) {
    std::atomic<int> admitted{0};
    auto kiosk = [&] {
        auto c = kioskConnection();
        for (int i = 0; i < 12; ++i)
            admitted += takePinAttempt(*c, {kAccount}, PinGuardRules{15, 0});
    };
    std::thread a(kiosk), b(kiosk);
    a.join();
    b.join();
    EXPECT_EQ(admitted.load(), 15);
    EXPECT_EQ(wrongPins(kAccount), 15);
}

// Every box whose value reaches SQL gets each hostile text: nothing opens, pays, changes or is
// blocked that the text does not name exactly (the school's accounts have no card, PIN, id).
TEST_F(GuardsTest, HostileInputOpensPaysAndBlocksNothing) {
    setApp("PinMaxAttempts", QStringLiteral("900")); // counted, never reached
    openScreen();
    Sql state("SELECT CONCAT(COUNT(*), (SELECT SUM(CRC32(CONCAT(tab_rfid, tab_pin))) FROM "
              "`cashless-adm`.data_tabungan_master)) FROM `cashless-adm`.data_tabungan_trans");
    const QString before = scalar(*admin, state);
    StatementRecorder recorder;
    for (const QString& t : kHostileInputs) {
        SCOPED_TRACE(t.toStdString());
        const QString card = t.repeated(10).left(10);
        for (const auto& [c, p] : {std::pair{card, t}, {card, kPin}, {kCard, t}}) {
            dialogs.clear();
            dialogs.queueInput(p);
            dialogs.onNextModal([&](QDialog& f) {
                static_cast<frmInputPin&>(f).txtRfid->setText(c);
                f.reject();
            });
            screen->cmdStart->click();
            EXPECT_EQ(screen->txtNorek->text(), QString());
        }
        screen->visit().set(VisitState::txtNorek, QStringLiteral("020100000001")); // PIN ''
        payWithPin(t.repeated(6).left(6));
        submit<frmTransaksiBaru>({{"txtNominal", "1.000"}, {"txtPin", t.repeated(6)}});
        changePinWithOld(t);
        tapCard(kCard, kPin); // Ahmad's own visit: he knows his PIN
        submit<frmTransaksiBaru>({{"txtNominal", t}, {"txtPin", kPin}});
        const QString siti = QStringLiteral("010100000002"), amount = QStringLiteral("1.000");
        for (const auto& [p, r, n] :
             {std::tuple{t, siti, amount}, {kPin, t, amount}, {kPin, siti, t}})
            submit<frmTransaksiTarik>({{"txtPin", p}, {"txtRekening", r}, {"txtNominal", n}});
        for (const auto& [r, p] : {std::pair{t, t}, {t, kPin}, {QStringLiteral("SPD2024001"), t}})
            submit<frmTransaksiBlock>({{"txtReg", r}, {"txtPin", p}});
    }
    EXPECT_EQ(scalar(*admin, state), before);
    const QRegularExpression blank(QStringLiteral("tab_\\w+ = '[^']*[^\\x21-\\x7e]"));
    EXPECT_EQ(recorder.statements().filter(blank), QStringList());
}

class IdleTest : public GuardsTest {
protected:
    void SetUp() override {
        GuardsTest::SetUp();
        setApp("IdleTimeout", QStringLiteral("1"));
        openScreen();
        guard = screen->idleGuard();
        guard->setTimeoutMs(kIdleMs);
        guard->setCountdown(2);
        tapCard(kCard, kPin);
        ASSERT_TRUE(guard->armed());
    }
    bool visitEnded() const {
        return screen->txtNorek->text().isEmpty() && !screen->cmdBayar->isEnabled();
    }
    static constexpr int kIdleMs = 300;
    IdleGuard* guard = nullptr;
};

TEST_F(IdleTest, InputKeepsTheVisitAndNoInputEndsIt) {
    QTRY_VERIFY(guard->warning() != nullptr);
    EXPECT_EQ(guard->warning()->text(),
              QStringLiteral("Sesi akan berakhir dalam 2 detik. Sentuh layar untuk melanjutkan."));
    QTest::keyClick(screen.get(), Qt::Key_Shift);
    EXPECT_EQ(guard->warning(), nullptr);
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
    // A finger on FINISH: the warning goes, nothing is pressed (Qt turns a touch nobody took
    // into a mouse press).
    QSignalSpy pressed(screen->cmdFinish, &QPushButton::pressed);
    QPointingDevice* finger = QTest::createTouchDevice();
    const QPoint at = screen->cmdFinish->rect().center();
    QTRY_VERIFY(guard->warning() != nullptr);
    QTest::touchEvent(screen.get(), finger).press(0, at, screen->cmdFinish);
    QTest::touchEvent(screen.get(), finger).release(0, at, screen->cmdFinish);
    QCoreApplication::processEvents();
    EXPECT_EQ(guard->warning(), nullptr);
    EXPECT_EQ(pressed.count(), 0);
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
    QTRY_VERIFY_WITH_TIMEOUT(visitEnded(), 5000);
    EXPECT_FALSE(guard->armed());
}

TEST_F(IdleTest, AnOpenFormClosesWithoutWriting) {
    const long long logRows = count(Sql("SELECT COUNT(*) FROM log_transaksi"));
    bool closedByIdle = false;
    dialogs.onNextModal([&](QDialog& d) {
        auto& form = static_cast<frmTransaksiGantiPin&>(d);
        form.txtPinLama->setText(kPin);
        form.txtPinBaru->setText(QStringLiteral("222222"));
        QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 5000);
        closedByIdle = true;
    });
    openGantiPin(*screen, *db);
    EXPECT_TRUE(closedByIdle);
    EXPECT_TRUE(visitEnded());
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi")), logRows);
}

TEST_F(IdleTest, ARunningPostingIsNotCut) {
    {
        const BusyHold posting;
        // Three idle times: a guard that ignored the posting would have shown its warning
        // after the first, and only the warning's countdown ends a visit.
        QTest::qWait(3 * kIdleMs);
        EXPECT_EQ(screen->txtNorek->text(), kAccount);
        EXPECT_EQ(guard->warning(), nullptr);
    }
    // The countdown runs out while a payment waits for the row the office holds; the message
    // after it runs the clock (a message box has its own loop).
    guard->setCountdown(1);
    screen->cboJenis->setCurrentIndex(screen->cboJenis->findText("003 : Jajan Kantin"));
    screen->CekProduk();
    screen->visit().set(VisitState::txtNominal, QStringLiteral("1000"));
    dialogs.onMessage = [](const auto&) { QTest::qWait(100); };
    QTRY_VERIFY(guard->warning() != nullptr);
    Transaction office(*admin);
    admin->open(Sql("SELECT tab_pin FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = "
                    "'010100000001' FOR UPDATE"));
    std::thread later([&] {
        QThread::msleep(1500);
        office.commit();
    });
    payWithPin(kPin);
    later.join();
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 1);
    EXPECT_EQ(screen->txtNorek->text(), kAccount);
    EXPECT_EQ(guard->warning(), nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(visitEnded(), 5000);
}

} // namespace
