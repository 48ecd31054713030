#include "visit/photo.h"
#include "visit_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace kalinda;
using namespace kalinda::test;

namespace {

QStringList enabledButtons(frmTransaksi& s) {
    QStringList names;
    for (QPushButton* b : s.findChildren<QPushButton*>()) {
        if (b->window() == &s && b->objectName().startsWith(QLatin1String("cmd")) &&
            b->isEnabled() && !b->isHidden())
            names << b->objectName();
    }
    names.sort();
    return names;
}

const QStringList kIdle = {QStringLiteral("cmdBlock"), QStringLiteral("cmdFinish"),
                           QStringLiteral("cmdKeluar"), QStringLiteral("cmdStart")};

class MainScreenTest : public VisitFixture {};

TEST_F(MainScreenTest, StartUpWritesTheLoginRowWithANewSessionId) {
    StatementRecorder recorder;
    openScreen();
    const QString session = screen->sessionId();
    ASSERT_EQ(session.size(), 13);
    EXPECT_EQ(session, QStringLiteral("SES") +
                           QDate::currentDate().toString(QStringLiteral("yyMMdd")) +
                           QStringLiteral("0001"));
    Recordset row = admin->open(Sql("SELECT * FROM log_login"));
    ASSERT_EQ(row.rowCount(), 1);
    EXPECT_EQ(row.text(QStringLiteral("log_session")), session);
    EXPECT_EQ(row.text(QStringLiteral("log_version")), QStringLiteral("1.0.1"));
    EXPECT_EQ(row.text(QStringLiteral("log_alias")), QString());
    EXPECT_EQ(
        scalar(*admin, Sql("SELECT user_session FROM data_pengguna_alias WHERE user_alias = ''")),
        session);

    QStringList writes;
    for (const QString& s : recorder.statements())
        if (s.startsWith(QLatin1String("INSERT INTO log_login")) ||
            s.startsWith(QLatin1String("UPDATE data_pengguna_alias")))
            writes << s;
    ASSERT_EQ(writes.size(), 2);
    EXPECT_TRUE(writes[0].startsWith(QStringLiteral("INSERT INTO log_login SET  log_alias = '', "
                                                    "log_tanggal = now(), log_ipaddress = '")));
    EXPECT_TRUE(writes[0].endsWith(QStringLiteral("', log_version = '1.0.1', log_session = '") +
                                   session + QStringLiteral("' ")));
    EXPECT_EQ(writes[1], QStringLiteral("UPDATE data_pengguna_alias SET user_session = '") +
                             session +
                             QStringLiteral("', user_last_login = NOW() WHERE user_alias = '' "));

    // The next start of the day takes the next number.
    screen.reset();
    openScreen();
    EXPECT_TRUE(screen->sessionId().endsWith(QStringLiteral("0002")));
}

TEST_F(MainScreenTest, StartUpLoadsParametersProductsAndTheBanner) {
    openScreen();
    EXPECT_EQ(parameters().AppParam.pinLogout, QStringLiteral("246810"));
    EXPECT_EQ(screen->cboJenis->itemText(1), QStringLiteral("001 : Uang Sekolah (SPP)"));
    EXPECT_EQ(screen->txtNominal->text(), QStringLiteral("0"));
    EXPECT_EQ(screen->lblRunningText->text(),
              QStringLiteral("CASHLESS APPLICATION - SELF TRANSACTION - Version 1.0.1"));
    EXPECT_TRUE(screen->lblJudul->text().startsWith(QStringLiteral("SELF TRANSACTION - ")));
    EXPECT_TRUE(screen->Timer3->isActive());
    EXPECT_EQ(screen->Timer3->interval(), 100);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainScreenTest, IdleMenuOffersOnlyTheFourIdleButtons) {
    openScreen();
    EXPECT_EQ(enabledButtons(*screen), kIdle);
    EXPECT_FALSE(screen->cmdKirna->isHidden());
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456"));
    EXPECT_EQ(enabledButtons(*screen).size(), 14);
    QTest::mouseClick(screen->cmdFinish, Qt::LeftButton);
    EXPECT_EQ(enabledButtons(*screen), kIdle);
    EXPECT_EQ(screen->txtNorek->text(), QString());
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("0"));
    EXPECT_TRUE(screen->visit()[VisitState::NoRekening].isEmpty());
    // FINISH in the idle state clears again and changes nothing else.
    QTest::mouseClick(screen->cmdFinish, Qt::LeftButton);
    EXPECT_EQ(enabledButtons(*screen), kIdle);
}

TEST_F(MainScreenTest, SelfOrderZeroHidesTheShopButtonInEveryState) {
    admin->execute(Sql("UPDATE set_app SET app_text = '0' WHERE app_case = 'SelfOrder'"));
    openScreen();
    EXPECT_TRUE(screen->cmdKirna->isHidden());
    screen->MenuEnable();
    EXPECT_TRUE(screen->cmdKirna->isHidden());
    screen->MenuDisable();
    EXPECT_TRUE(screen->cmdKirna->isHidden());
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456"));
    EXPECT_TRUE(screen->cmdKirna->isHidden());
}

TEST_F(MainScreenTest, AnAccountNumberOfNineCharactersDisablesTheMenu) {
    openScreen();
    screen->MenuEnable();
    screen->visit().set(VisitState::txtNorek, QStringLiteral("12345678"));
    EXPECT_TRUE(screen->cmdBayar->isEnabled());
    screen->visit().set(VisitState::txtNorek, QStringLiteral("123456789"));
    EXPECT_EQ(enabledButtons(*screen), kIdle);
}

TEST_F(MainScreenTest, ExitNeedsTheRightPasswordAndCancelNeverCloses) {
    openScreen();
    std::chrono::steady_clock::time_point now{};
    screen->exitGuard = ExitGuard([&] { return now; });
    QSignalSpy closed(screen.get(), &frmTransaksi::closed);
    dialogs.queueInput(QStringLiteral("0"));
    QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton);
    dialogs.queueInput(std::nullopt);
    QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(screen->isVisible());
    EXPECT_TRUE(dialogs.messages.empty()); // no message either way
    ASSERT_EQ(dialogs.inputs.size(), 2u);
    EXPECT_EQ(dialogs.inputs[0].prompt, QStringLiteral("Masukkan password"));
    EXPECT_EQ(dialogs.inputs[0].title, QStringLiteral("Input password"));
    EXPECT_EQ(dialogs.inputs[0].defaultText, QStringLiteral("0"));
    // The window cannot be closed any other way.
    screen->close();
    EXPECT_TRUE(screen->isVisible());
    dialogs.queueInput(QString());
    dialogs.queueInput(QStringLiteral("1"));
    for (int i = 0; i < 3; ++i) // the third wrong one shuts the box
        QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages.at(0).text, "Password salah 3 kali. Coba lagi dalam 60 detik.");
    now += ExitGuard::kLockTime;

    dialogs.queueInput(QStringLiteral("246810"));
    QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(screen->isVisible());
}

TEST_F(MainScreenTest, CancelDoesNotCloseEvenWithoutAPassword) {
    admin->execute(Sql("UPDATE set_app SET app_text = '' WHERE app_case = 'pinLogout'"));
    openScreen();
    QSignalSpy closed(screen.get(), &frmTransaksi::closed);
    dialogs.queueInput(std::nullopt);
    QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 0);
    dialogs.queueInput(QString());
    QTest::mouseClick(screen->cmdKeluar, Qt::LeftButton); // nor an empty answer: no box opens
    EXPECT_EQ(closed.count(), 0);
    EXPECT_EQ(dialogs.messageTexts(), QStringList(2, kPasswordKeluarBelumDiatur));
}

// Parameters unread at start-up: no visit, no block form and no exit until a START reads them.
TEST_F(MainScreenTest, UnreadParametersKeepPostingsAndTheExitShut) {
    admin->execute(Sql("RENAME TABLE `cashless-adm`.data_kalinda_produk TO `cashless-adm`.away"));
    openScreen();
    for (QPushButton* button : {screen->cmdStart, screen->cmdBlock, screen->cmdKeluar})
        QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(dialogs.modalsShown.isEmpty() && dialogs.inputs.empty() && screen->isVisible());
    EXPECT_TRUE(dialogs.messages.at(3).text.startsWith(kParameterBelumTerbaca)); // BLOCK's
    admin->execute(Sql("RENAME TABLE `cashless-adm`.away TO `cashless-adm`.data_kalinda_produk"));
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456"));
    EXPECT_EQ(parameters().AppParam.Channel + screen->txtNorek->text(), "KLD01010100000001");
    EXPECT_GT(screen->cboJenis->count(), 1);
}

TEST_F(MainScreenTest, BalanceAndLimitRefresh) {
    openScreen();
    tapCard(QStringLiteral("0004417003"), QStringLiteral("345678"));
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("120.000")); // effective balance
    screen->CekSaldoReal();
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("115.000")); // less the minimum balance
    admin->execute(
        Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_limit_transfer = 1234567 "
            "WHERE tab_rekening = '010100000003'"));
    screen->cekLimitTransfer();
    EXPECT_EQ(screen->txtQuota2->text(), QStringLiteral("1.234.567"));
    // A failing refresh of the limit is silent and keeps the value.
    admin->execute(Sql("DROP FUNCTION `cashless-adm`.GetTabTransferLimit"));
    screen->cekLimitTransfer();
    EXPECT_EQ(screen->txtQuota2->text(), QStringLiteral("1.234.567"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(MainScreenTest, EveryVisibleBoxIsNamedByItsLabel) {
    openScreen();
    const std::pair<const char*, QWidget*> expected[] = {
        {"Account", screen->txtNorek},   {"Name", screen->txtNama},
        {"Address", screen->txtAlamat},  {"Class", screen->txtKelas},
        {"Saldo Rp.", screen->txtSaldo}, {"Quota-1", screen->txtQuota1},
        {"Quota-2", screen->txtQuota2},  {"Nominal Rp.", screen->txtNominal},
        {"Produk", screen->cboJenis},
    };
    for (const auto& [caption, widget] : expected) {
        bool found = false;
        for (QLabel* label : screen->findChildren<QLabel*>())
            if (label->buddy() == widget && label->text() == QLatin1String(caption))
                found = true;
        EXPECT_TRUE(found) << caption;
    }
    for (QLineEdit* edit : screen->findChildren<QLineEdit*>()) {
        if (!edit->isVisible() || edit->parentWidget() == screen->cboJenis)
            continue;
        const QRect onScreen(edit->mapTo(screen.get(), QPoint(0, 0)), edit->size());
        if (!screen->rect().intersects(onScreen))
            continue; // the working fields kept off-screen
        bool labelled = false;
        for (QLabel* label : screen->findChildren<QLabel*>())
            labelled = labelled || label->buddy() == edit;
        EXPECT_TRUE(labelled) << edit->objectName().toStdString();
    }
}

TEST_F(MainScreenTest, ResizePlacesTheBandsTheExitAndTheHiddenFields) {
    openScreen();
    screen->Timer3->stop();
    screen->resize(1200, 750);
    QApplication::processEvents();
    // 15 twips to the pixel.
    EXPECT_EQ(screen->Shape1->width(), 1200 + 67);
    EXPECT_EQ(screen->Shape3->size(), QSize(1200, 750));
    EXPECT_EQ(screen->cmdKeluar->x(), 1200 - 107);
    EXPECT_GE(screen->txtCif->x(), 1200 + 600);
    EXPECT_EQ(screen->txtRekTujuan->x(), screen->txtRfid->x());
    EXPECT_EQ(screen->lblRunningText->y(), 750 - 33);
    EXPECT_EQ(screen->lblRunningText->x() + screen->lblRunningText->width(), 1200);
}

TEST_F(MainScreenTest, RunningTextMovesLeftAndComesBackFromTheRight) {
    openScreen();
    screen->Timer3->stop();
    const int x0 = screen->lblRunningText->x();
    QMetaObject::invokeMethod(screen->Timer3, "timeout", Qt::DirectConnection);
    EXPECT_EQ(screen->lblRunningText->x(), x0 - 7); // 100 twips
    for (int i = 0; i < 400 && screen->lblRunningText->x() + screen->lblRunningText->width() > 0;
         ++i)
        QMetaObject::invokeMethod(screen->Timer3, "timeout", Qt::DirectConnection);
    ASSERT_LE(screen->lblRunningText->x() + screen->lblRunningText->width(), 0);
    QMetaObject::invokeMethod(screen->Timer3, "timeout", Qt::DirectConnection);
    EXPECT_GT(screen->lblRunningText->x(), screen->width() - 20);
    const QColor c = screen->lblRunningText->palette().color(QPalette::WindowText);
    EXPECT_LE(std::max({c.red(), c.green(), c.blue()}), 250);
}

TEST(PhotoBoxTest, StretchesTheWholePictureIntoTheBox) {
    QImage square(100, 100, QImage::Format_RGB32);
    square.fill(Qt::red);
    for (int y = 50; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            square.setPixel(x, y, qRgb(0, 0, 255));
    PhotoBox box;
    box.resize(180, 240);
    box.setPicture(square);
    const QImage shown = box.grab().toImage();
    // The top half of the photo fills the top half of the portrait box, edge to edge.
    EXPECT_EQ(QColor(shown.pixel(2, 2)), QColor(Qt::red));
    EXPECT_EQ(QColor(shown.pixel(177, 110)), QColor(Qt::red));
    EXPECT_EQ(QColor(shown.pixel(2, 130)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(shown.pixel(177, 237)), QColor(0, 0, 255));
}

} // namespace
