#include "app/heartbeat.h"
#include "inquiries/audit_tab.h"
#include "inquiries/frm_laporan.h"
#include "report_fixture.h"
#include "support/scripted_dialogs.h"
#include "support/test_settings.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class FrmLaporanTest : public ReportFixture {
protected:
    void SetUp() override {
        ReportFixture::SetUp();
        addRow(QStringLiteral("KLD2612010001"), QStringLiteral("2026-12-01"), QStringLiteral("Ali"),
               1500, QStringLiteral("KLD|"));
        addRow(QStringLiteral("KLD2612020002"), QStringLiteral("2026-12-02"),
               QStringLiteral("Budi"), 2500, QStringLiteral("KLD|siti"));
        form = std::make_unique<frmLaporan>(*db, QStringLiteral("Bu Sari"), kLast);
        form->showReady();
    }

    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    ScriptedDialogs dialogs;
    std::unique_ptr<frmLaporan> form;
};

TEST_F(FrmLaporanTest, OpensOnThisMonthWithEveryUserAndLabelledInputs) {
    EXPECT_EQ(form->dtpDari->date(), QDate(2026, 12, 1));
    EXPECT_EQ(form->dtpSampai->date(), kLast);
    QStringList users;
    for (int i = 0; i < form->cboUser->count(); ++i)
        users << form->cboUser->itemText(i);
    EXPECT_EQ(users, (QStringList{"(semua)", "KLD|", "KLD|siti"}));
    EXPECT_EQ(form->lblDari->buddy(), form->dtpDari);
    EXPECT_EQ(form->lblSampai->buddy(), form->dtpSampai);
    EXPECT_EQ(form->lblPengguna->buddy(), form->cboUser);
    EXPECT_EQ(form->cboUser->accessibleName(), QStringLiteral("User"));
    // The status tab is read when it is shown: a kiosk holding a posting in doubt is red.
    writeHeartbeat(*db, Heartbeat{QStringLiteral("k1"),
                                  QStringLiteral("hall"),
                                  {},
                                  {},
                                  {},
                                  {},
                                  {},
                                  {},
                                  QStringLiteral("ready"),
                                  1,
                                  false});
    form->tabs->setCurrentIndex(1);
    ASSERT_EQ(form->tblStatus->rowCount(), 1);
    EXPECT_EQ(form->tblStatus->item(0, 0)->text(), QStringLiteral("red"));
    EXPECT_EQ(form->tblStatus->item(0, 2)->text(), QStringLiteral("1 posting(s) in doubt"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FrmLaporanTest, AReversedPeriodIsRefusedBeforeAnythingOpens) {
    form->dtpDari->setDate(QDate(2026, 12, 8));
    for (QPushButton* b : {form->cmdPreview, form->cmdCetak, form->cmdPdf, form->cmdCsv})
        click(b);
    ASSERT_EQ(dialogs.messages.size(), 4u);
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Tanggal awal tidak boleh lebih dari tanggal akhir!"));
    EXPECT_TRUE(dialogs.modalsShown.isEmpty());
}

TEST_F(FrmLaporanTest, PreviewShowsTheReportReadyAndPrintingAsksFirst) {
    EXPECT_EQ(form->size(), form->screen()->availableGeometry().size()); // the whole screen
    int previewPages = 0;
    dialogs.onNextModal([&](QDialog& preview) {
        auto* pages = preview.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(pages, nullptr);
        QTRY_VERIFY(pages->pageCount() > 0);
        previewPages = pages->pageCount();
        EXPECT_EQ(pages->zoomMode(), QPrintPreviewWidget::FitToWidth);
        EXPECT_GE(preview.width(), form->width() * 9 / 10);
        preview.reject();
    });
    click(form->cmdPreview);
    EXPECT_EQ(previewPages, 1);
    click(form->cmdCetak); // the print dialog is cancelled: nothing is printed, nothing said
    EXPECT_EQ(dialogs.modalsShown, (QStringList{"previewLaporan", "printLaporan"}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FrmLaporanTest, SavingAsCsvWritesTheChosenUsersRowsToTheChosenFile) {
    const QString file = path(QStringLiteral("siti.csv"));
    form->cboUser->setCurrentText(QStringLiteral("KLD|siti"));
    dialogs.onNextModal([&](QDialog& ask) {
        auto& files = static_cast<QFileDialog&>(ask);
        EXPECT_TRUE(files.selectedFiles().value(0).endsWith(
            QStringLiteral("laporan-transaksi-20261201-20261207.csv")));
        auto* name = files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(file); // typed by the operator
        ask.accept();        // QFileDialog::accept is protected; QDialog's reaches it
    });
    click(form->cmdCsv);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Laporan disimpan: ") + file});
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1],
              QByteArray("1;2026-12-02;KLD2612020002;110112020002;Budi;7A;2500;KLD|siti"));
}

// The office's audit in the window: green when there is nothing; the kiosk's account cannot run
// it; each forged row in its colour, saved with the report's CSV rules.
TEST_F(FrmLaporanTest, AuditTabShowsEachFindingInItsColour) {
    AuditTab& tab = *form->auditTab;
    form->tabs->setCurrentWidget(&tab);
    tab.dtpSampai->setDate(QDate::currentDate());
    tab.dtpDari->setDate(QDate::currentDate());
    EXPECT_EQ(tab.lblDari->buddy(), tab.dtpDari);
    tab.account = [] { return testOfficeAccount(); };
    click(tab.cmdPeriksa);
    EXPECT_EQ(tab.lblAudit->text(), QStringLiteral("Tidak ada temuan"));
    EXPECT_EQ(tab.tblAudit->rowCount(), 0);

    forgeOneOfEachFinding();
    const ConnectParams kiosk = MariaDbServer::instance().kioskParams();
    tab.account = [&] { return OfficeAccount{kiosk.user, kiosk.password, {}}; };
    click(tab.cmdPeriksa);
    EXPECT_TRUE(tab.lblAudit->text().startsWith("Audit tidak dapat dijalankan: execute command "
                                                "denied"))
        << tab.lblAudit->text().toStdString();
    EXPECT_FALSE(tab.cmdCsv->isEnabled());

    tab.account = [] { return testOfficeAccount(); };
    click(tab.cmdPeriksa);
    ASSERT_EQ(tab.tblAudit->rowCount(), int(std::size(kForgedFindings)));
    for (int row = 0; row < tab.tblAudit->rowCount(); ++row) {
        const auto& [kind, colour] = kForgedFindings[row];
        EXPECT_EQ(tab.tblAudit->item(row, 0)->text(), QLatin1String(kind));
        EXPECT_EQ(tab.tblAudit->item(row, 6)->background().color(), rowColour(colour)) << kind;
    }
    EXPECT_EQ(tab.tblAudit->item(0, 3)->text(), QStringLiteral("3.000"));
    const QString file = path(QStringLiteral("audit.csv"));
    dialogs.onNextModal([&](QDialog& ask) {
        static_cast<QFileDialog&>(ask)
            .findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(file);
        ask.accept();
    });
    click(tab.cmdCsv);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Audit disimpan: ") + file});
    QFile csv(file);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().count('\n'), 12); // a header, ten, one of them over two lines
}

} // namespace
