#include "app/frm_koneksi.h"
#include "inquiries/frm_transaksi_mutasi.h"
#include "inquiries/frm_transaksi_spp.h"
#include "postings/frm_transaksi_baru.h"
#include "postings/frm_transaksi_block.h"
#include "postings/frm_transaksi_ganti_pin.h"
#include "postings/frm_transaksi_kirna.h"
#include "postings/frm_transaksi_tarik.h"
#include "printing/printer_check.h"
#include "visit_fixture.h"
#include "widgets/kiosk_style.h"
#include "widgets/on_screen_keypad.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QInputDialog>
#include <QIntValidator>
#include <QLabel>
#include <QStyleOptionComboBox>
#include <QTimer>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Every screen of the program runs with the kiosk style and the keypad follower.
KeypadFollower* follower() {
    static KeypadFollower* instance = [] {
        installKioskStyle(*qApp);
        return installOnScreenKeypad();
    }();
    return instance;
}

QList<OnScreenKeypad*> visiblePads() {
    QList<OnScreenKeypad*> pads;
    for (QWidget* w : QApplication::allWidgets()) {
        if (auto* pad = qobject_cast<OnScreenKeypad*>(w); pad && pad->isVisible())
            pads << pad;
    }
    return pads;
}

QRect globalRect(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
}

void expectCentredOver(const QWidget& dialog, const QWidget& screen) {
    // The platform's border is known once the dialog is up; it is placed again then.
    (void)QTest::qWaitFor(
        [&] {
            const QPoint d = dialog.frameGeometry().center() - screen.geometry().center();
            return std::abs(d.x()) <= 1 && std::abs(d.y()) <= 1;
        },
        1000);
    const QPoint offset = dialog.frameGeometry().center() - screen.geometry().center();
    EXPECT_LE(std::abs(offset.x()), 1) << dialog.objectName().toStdString();
    EXPECT_LE(std::abs(offset.y()), 1) << dialog.objectName().toStdString();
    EXPECT_TRUE(screen.geometry().contains(dialog.frameGeometry()));
}

std::string nameOf(const QWidget* w) {
    const auto* b = qobject_cast<const QAbstractButton*>(w);
    return !w->objectName().isEmpty() ? w->objectName().toStdString()
           : b                        ? '"' + b->text().toStdString() + '"'
                                      : w->metaObject()->className();
}

// Every button and combo a finger touches on `window` is 56 px both ways, and so is each row
// of every combo's list, opened as a student opens it. An editable combo opens by its arrow.
void expectTouchSized(QWidget& window, const std::string& where) {
    const auto expectTouchable = [&](const QSize& size, const std::string& what) {
        EXPECT_GE(std::min(size.width(), size.height()), kTouchPixels)
            << where << ": " << what << " is " << size.width() << "x" << size.height();
    };
    for (const QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (b->isVisible() && b->window() == &window)
            expectTouchable(b->size(), nameOf(b));
    }
    for (QComboBox* c : window.findChildren<QComboBox*>()) {
        if (!c->isVisible() || c->window() != &window)
            continue;
        QStyleOptionComboBox option;
        option.initFrom(c);
        option.editable = c->isEditable();
        const QRect arrow =
            c->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, c);
        expectTouchable(c->isEditable() ? QSize(arrow.width(), c->height()) : c->size(), nameOf(c));
        c->showPopup();
        QApplication::processEvents();
        for (int row = 0; row < c->count(); ++row) {
            const QRect r = c->view()->visualRect(c->model()->index(row, c->modelColumn()));
            expectTouchable(QSize(c->view()->width(), r.height()),
                            "row " + std::to_string(row) + " of " + nameOf(c));
        }
        c->hidePopup();
    }
}

// Measures, then closes, each modal window that `open` shows; returns their names in order.
QStringList measureModals(const std::string& where, const std::function<void()>& open) {
    QStringList seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal->property("touchMeasured").toBool())
            return;
        modal->setProperty("touchMeasured", true);
        seen << QString::fromStdString(nameOf(modal));
        expectTouchSized(*modal, where + ", " + nameOf(modal));
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
    });
    poll.start(10);
    open();
    return seen;
}

// Runs `step` on the next visible modal dialog of type T (for the real Qt boxes).
template <class T>
void whenModal(std::function<void(T&)> step) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, step] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        step(*dialog);
    });
    poll->start(10);
}

void press(OnScreenKeypad& pad, const QString& keys) {
    for (const QChar c : keys) {
        QAbstractButton* key = pad.key(QString(c));
        ASSERT_NE(key, nullptr) << QString(c).toStdString();
        QTest::mouseClick(key, Qt::LeftButton);
    }
}

TEST(KeypadRule, EachBoxGetsThePadItsContentNeeds) {
    // name, masked, max length, asked for, read-only, expected
    const std::tuple<const char*, bool, int, const char*, bool, KeypadKind> cases[] = {
        {"txtRfid", true, 6, "", false, KeypadKind::Digits},
        {"txtRfid", true, 32767, "", false, KeypadKind::None}, // the card reader's box
        {"txtPin", true, 6, "", true, KeypadKind::None},
        {"txtNominal", false, 32767, "", false, KeypadKind::Digits},
        {"txtNominal", false, 32767, "none", false, KeypadKind::None},
        {"txtRekening", false, 12, "", false, KeypadKind::Digits},
        {"txtReg", false, 32767, "text", false, KeypadKind::Text},
        {"txtReg", false, 32767, "", false, KeypadKind::None},
    };
    for (const auto& [name, masked, maxLength, asked, readOnly, expected] : cases) {
        QLineEdit box;
        box.setObjectName(QString::fromLatin1(name));
        box.setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
        box.setMaxLength(maxLength);
        box.setReadOnly(readOnly);
        box.setProperty(kKeypadProperty, QString::fromLatin1(asked));
        EXPECT_EQ(keypadKindFor(&box), expected) << name << " " << maxLength;
    }
    QLineEdit quantity;
    quantity.setValidator(new QIntValidator(&quantity));
    EXPECT_EQ(keypadKindFor(&quantity), KeypadKind::Digits);
}

class TouchTest : public VisitFixture {
protected:
    void SetUp() override {
        follower();
        VisitFixture::SetUp();
    }
    void TearDown() override {
        setDialogs(&dialogs);
        VisitFixture::TearDown();
    }
    void keypadOn() {
        admin->execute(Sql("INSERT INTO set_app (app_case, app_text) VALUES "
                           "('OnScreenKeypad', '1')"));
    }
    void withCardForm(const std::function<void(QDialog&)>& drive) {
        dialogs.onNextModal([&](QDialog& d) {
            drive(d);
            if (d.isVisible())
                d.reject();
        });
        QTest::mouseClick(screen->cmdStart, Qt::LeftButton);
    }
    frmTransaksi& openScreenSized(const QSize& size, KioskActions actions = {}) {
        openScreen(std::move(actions));
        screen->setGeometry(QRect(QPoint(0, 0), size));
        return *screen;
    }
    KioskActions everyForm() {
        KioskActions a;
        a.openBlock = [this](KioskScreen& s) { openBlock(s, *db); };
        a.openGantiPin = [this](KioskScreen& s) { openGantiPin(s, *db); };
        a.openMutasi = [this](KioskScreen& s) { openMutasi(s, *db); };
        a.openTunggakan = [this](KioskScreen& s) { openTunggakan(s, *db); };
        a.openTransfer = [this](KioskScreen& s) { showTransfer(s, *db); };
        a.openKirna = [this](KioskScreen& s) { openKirna(s, *db); };
        a.openFee = [this](KioskScreen& s, const QString& v) { openFeePayment(s, *db, v); };
        return a;
    }
};

TEST_F(TouchTest, EveryFormAndMessageIsTouchSizedAtEveryKioskSize) {
    frmKoneksi start({});
    start.adjustSize();
    start.show();
    expectTouchSized(start, "start");
    start.hide();
    for (const QSize size : {QSize(1024, 768), QSize(1366, 768), QSize(1920, 1080)}) {
        const std::string at = std::to_string(size.width()) + "x" + std::to_string(size.height());
        openScreenSized(size, everyForm());
        screen->MenuEnable();
        expectTouchSized(*screen, at);
        QList<QAbstractButton*> shown;
        for (QAbstractButton* b : screen->findChildren<QAbstractButton*>()) {
            if (!b->isVisible())
                continue;
            const QRect r = globalRect(b);
            EXPECT_TRUE(screen->geometry().contains(r)) << b->objectName().toStdString();
            // The whole caption is readable and no button lies on another.
            EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text()))
                << b->objectName().toStdString() << " at " << size.width();
            for (const QAbstractButton* other : shown)
                EXPECT_FALSE(r.intersects(globalRect(other))) << b->objectName().toStdString();
            shown << b;
        }
        for (const QLineEdit* e : screen->findChildren<QLineEdit*>())
            EXPECT_GE(e->font().pointSizeF(), 16) << e->objectName().toStdString();

        withCardForm([&](QDialog& form) {
            expectCentredOver(form, *screen);
            EXPECT_NE(form.findChild<QWidget*>(QStringLiteral("kioskFrame")), nullptr);
        });

        // Every form through its button and every kind of message, as the real boxes. PAY with
        // nothing to pay answers in the information box; START comes last: it ends the visit.
        tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
        setDialogs(nullptr);
        // clang-format off
        const std::pair<QPushButton*, const char*> buttons[] = {
            {screen->cmdVoucher, "frmTransaksiTarik"}, {screen->cmdInfaq, "frmTransaksiBaru"},
            {screen->cmdSchool, "frmTransaksiBaru"}, {screen->cmdWaqf, "frmTransaksiBaru"},
            {screen->cmdKirna, "frmTransaksiKirna"}, {screen->cmdMutasi, "frmTransaksiMutasi"},
            {screen->cmdTunggakan, "frmTransaksiSpp"}, {screen->cmdGantiPin, "frmTransaksiGantiPin"},
            {screen->cmdBayar, "frmInfo"}, {screen->cmdBlock, "frmTransaksiBlock"},
            {screen->cmdKeluar, "QInputDialog"}, {screen->cmdStart, "frmInputPin"}};
        // clang-format on
        for (const auto& [button, expected] : buttons) {
            const auto open = [b = button] { QTest::mouseClick(b, Qt::LeftButton); };
            EXPECT_EQ(measureModals(at, open), QStringList{expected}) << at;
        }
        const auto warn = [&] {
            showMessage(MessageIcon::Warning, kNominalTidakValid, screen.get());
        };
        EXPECT_EQ(measureModals(at, warn), QStringList{"QMessageBox"});
        const auto printer = [&] {
            frmPrinterWarning form(QStringLiteral("kertas habis"), screen.get());
            kalinda::dialogs().exec(form);
        };
        EXPECT_EQ(measureModals(at, printer), QStringList{"frmPrinterWarning"});
        setDialogs(&dialogs);
        screen.reset();
    }
}

TEST_F(TouchTest, ThePinBoxIsTheWholeUncoveredTopmostDialogAndTheKeypadAloneOpensAVisit) {
    keypadOn();
    openScreenSized(QSize(1024, 768));
    StatementRecorder recorder;
    withCardForm([&](QDialog& form) {
        auto& cardForm = static_cast<frmInputPin&>(form);
        // The reader still types into the card box: it has no pad to get in its way.
        EXPECT_TRUE(visiblePads().isEmpty());
        setDialogs(nullptr); // the real PIN box
        whenModal<QInputDialog>([&](QInputDialog& pin) {
            EXPECT_EQ(pin.parentWidget(), &cardForm);
            expectTouchSized(pin, "PIN box");
            expectCentredOver(pin, *screen);
            expectCentredOver(cardForm, *screen);
            // The pad comes with the focus, and leaves it in the box.
            ASSERT_TRUE(QTest::qWaitFor([&] {
                const QWidget* focus = QApplication::focusWidget();
                return follower()->visibleKeypad() && focus && focus->window() == &pin;
            }));
            OnScreenKeypad* pad = follower()->visibleKeypad();
            EXPECT_EQ(visiblePads().size(), 1);
            EXPECT_EQ(pad->shownKind(), KeypadKind::Digits);
            EXPECT_FALSE(pad->frameGeometry().intersects(pin.frameGeometry()));
            EXPECT_TRUE(screen->geometry().contains(pad->frameGeometry()));
            EXPECT_EQ(QApplication::activeModalWidget(), &pin);
            press(*pad, QStringLiteral("4567"));
            QTest::mouseClick(pad->key(QStringLiteral("\u232B")), Qt::LeftButton);
            press(*pad, QStringLiteral("789"));
            EXPECT_NE(QApplication::focusWidget(), nullptr);
            EXPECT_EQ(QApplication::focusWidget()->window(), &pin); // the pad took no focus
            QTest::mouseClick(pad->key(QStringLiteral("CLR")), Qt::LeftButton);
            press(*pad, QStringLiteral("456789"));
            EXPECT_EQ(pin.findChild<QLineEdit*>()->displayText(), QStringLiteral("******"));
            QTest::mouseClick(pad->key(QStringLiteral("OK")), Qt::LeftButton);
        });
        typeAsKeyboard(QStringLiteral("0004417004"));
        setDialogs(&dialogs);
    });
    EXPECT_EQ(screen->txtNorek->text(), QStringLiteral("010100000004"));
    EXPECT_EQ(recorder.statements()
                  .filter(QStringLiteral("WHERE tab_rfid"))
                  .value(0)
                  .section(QStringLiteral("WHERE "), 1),
              QStringLiteral("tab_rfid = '0004417004' AND tab_pin = '456789' AND tab_status=1 "));
}

TEST_F(TouchTest, APaymentPinFromTheKeypadSendsTheKeyboardsStatements) {
    keypadOn();
    KioskActions actions;
    int payments = 0;
    actions.payProduct = [&](KioskScreen&, frmInputPin&) { ++payments; };
    openScreenSized(QSize(1366, 768), std::move(actions));
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    ASSERT_TRUE(screen->cmdBayar->isEnabled());
    screen->cboJenis->setCurrentIndex(
        screen->cboJenis->findText(QStringLiteral("003 : Jajan Kantin")));
    screen->CekProduk();

    // The same attempts, once on the keyboard and once on the pad: a wrong PIN, then the right.
    const auto pay = [&](bool onThePad) {
        screen->visit().set(VisitState::txtNominal, QStringLiteral("12500"));
        StatementRecorder recorder;
        dialogs.onNextModal([&](QDialog& d) {
            auto& form = static_cast<frmInputPin&>(d);
            ASSERT_TRUE(QTest::qWaitFor([&] {
                return follower()->visibleKeypad() && QApplication::focusWidget() == form.txtRfid;
            }));
            OnScreenKeypad* pad = follower()->visibleKeypad();
            EXPECT_EQ(pad->target(), form.txtRfid);
            EXPECT_FALSE(pad->frameGeometry().intersects(form.frameGeometry()));
            for (const QString& pin : {QStringLiteral("111111"), QStringLiteral("234567")}) {
                if (onThePad) {
                    press(*pad, pin);
                } else {
                    typeAsKeyboard(pin);
                }
                if (form.isVisible() && pin == QLatin1String("111111"))
                    QTest::mouseClick(form.cmdReset, Qt::LeftButton);
            }
            form.reject();
        });
        QTest::mouseClick(screen->cmdBayar, Qt::LeftButton);
        return recorder.statements();
    };
    const QStringList typed = pay(false);
    const QStringList padded = pay(true);
    EXPECT_EQ(payments, 2);
    ASSERT_FALSE(typed.filter(QStringLiteral("tab_pin = '111111'")).isEmpty());
    ASSERT_FALSE(typed.filter(QStringLiteral("INSERT INTO log_transaksi")).isEmpty());
    EXPECT_EQ(padded, typed);
}

TEST_F(TouchTest, WithoutTheKeyNoKeypadAppears) {
    for (const char* value : {"", "0"}) {
        if (*value)
            admin->execute(Sql("INSERT INTO set_app (app_case, app_text) VALUES "
                               "('OnScreenKeypad', '")
                           << esc(QString::fromLatin1(value)) << "')");
        openScreenSized(QSize(1366, 768));
        screen->MenuEnable();
        screen->txtNominal->setFocus();
        QTest::qWait(20); // nothing is coming, but give it the chance
        EXPECT_EQ(QApplication::focusWidget(), screen->txtNominal);
        EXPECT_TRUE(visiblePads().isEmpty()) << value;
        screen.reset();
    }
    keypadOn();
    openScreenSized(QSize(1366, 768));
    screen->MenuEnable();
    screen->txtNominal->setFocus();
    // The same box with the key on; the pad leaves the focus where it was.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return visiblePads().size() == 1 && QApplication::focusWidget() == screen->txtNominal;
    }));
    ASSERT_EQ(visiblePads().size(), 1);
    EXPECT_FALSE(globalRect(visiblePads()[0]).intersects(globalRect(screen->cmdBayar)));
}

} // namespace
