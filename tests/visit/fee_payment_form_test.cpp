#include "postings/frm_transaksi_baru.h"
#include "visit_fixture.h"

#include <QLabel>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// SCHOOL PAYMENT, INFAQ and WAQF on the real forms, Siti (150.000) in visit.
class FeePaymentFormTest : public VisitFixture {
protected:
    void begin() {
        setReceiptPrinter(&printer);
        KioskActions actions;
        actions.openFee = [this](KioskScreen& s, const QString& v) { openFeePayment(s, *db, v); };
        openScreen(std::move(actions));
        tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
        ASSERT_EQ(screen->txtNama->text(), QStringLiteral("Siti Aminah"));
    }
    void TearDown() override {
        setReceiptPrinter(nullptr);
        VisitFixture::TearDown();
    }
    // Opens the form with `button` and runs `steps` in it; true when the form closed itself.
    bool drive(QPushButton* button, const std::function<void(frmTransaksiBaru&)>& steps) {
        bool closed = false;
        dialogs.onNextModal([&](QDialog& d) {
            steps(static_cast<frmTransaksiBaru&>(d));
            closed = !d.isVisible();
            if (!closed)
                d.reject();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        return closed;
    }

    RecordingPrinter printer;
};

TEST_F(FeePaymentFormTest, EachButtonPaysItsPurposeAndPrintsItsTitleAndAccount) {
    begin();
    const struct {
        QPushButton* button;
        const char *view, *judul, *subJudul, *account;
    } cases[] = {
        {screen->cmdSchool, "SPP", "SCHOOL PAYMENT", "Form ini untuk pembayaran uang sekolah",
         "020100000001"},
        {screen->cmdInfaq, "INFAQ", "INFAQ", "Form ini untuk pembayaran infaq", "020100000010"},
        {screen->cmdWaqf, "WAKAF", "WAKAF", "Form ini untuk pembayaran wakaf", "020100000011"},
    };
    int paid = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.view);
        EXPECT_TRUE(drive(c.button, [&](frmTransaksiBaru& form) {
            const QStringList shown = {form.view, form.lblJudul->text(), form.lblSubJudul->text(),
                                       form.txtJenis->text()};
            EXPECT_EQ(shown, QStringList({c.view, c.judul, c.subJudul, c.judul}));
            EXPECT_EQ(QApplication::focusWidget(), form.txtNominal);
            QStringList buddies;
            for (const QLabel* label : form.findChildren<QLabel*>())
                if (label->buddy() == form.txtNominal || label->buddy() == form.txtPin)
                    buddies << label->text();
            EXPECT_EQ(buddies, QStringList({"NOMINAL RP.", "PIN TRANSAKSI"}));
            form.txtPin->setText(QStringLiteral("1"));
            QTest::mouseClick(form.Command1, Qt::LeftButton); // "<>" empties the PIN
            EXPECT_EQ(QApplication::focusWidget(), form.txtPin);
            form.txtNominal->setText(QStringLiteral("99"));
            QTest::mouseClick(form.cmdSelect1, Qt::LeftButton); // and the amount back to 0
            EXPECT_EQ(QApplication::focusWidget(), form.txtNominal);
            QTest::keyClicks(form.txtNominal, QStringLiteral("12500"));
            EXPECT_EQ(form.txtNominal->text(), QStringLiteral("12.500"));
            QTest::keyClicks(form.txtPin, QStringLiteral("2345678")); // six are kept
            QTest::mouseClick(form.cmdSimpan, Qt::LeftButton);
        }));
        ++paid;
        const QString debit = QStringLiteral("KLD") +
                              QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                              QStringLiteral("%1").arg(2 * paid - 1, 4, 10, QChar('0'));
        EXPECT_EQ(screen->visit()[VisitState::TransID], debit);
        EXPECT_EQ(screen->txtSaldo->text(), formatRupiah(150000 - 12500 * paid));
        EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("TRANSAKSI SUKSES"));
        EXPECT_EQ(dialogs.messages.back().icon, MessageIcon::Information);
        ASSERT_EQ(printer.jobs.size(), std::size_t(paid));
        const QString receipt = QString::fromLatin1(printer.jobs.back().second);
        for (const QString& line :
             {QStringLiteral("Jenis     : ") + c.judul, QStringLiteral("Tujuan    : ") + c.account,
              QStringLiteral("Nominal   : Rp. 12.500"), QStringLiteral("TransID   : ") + debit})
            EXPECT_TRUE(receipt.contains(line + QStringLiteral("\r\n"))) << line.toStdString();
    }
}

TEST_F(FeePaymentFormTest, RefusalsComeInTheOrderOfTheChecksAndPostNothing) {
    admin->execute(
        Sql("DELETE FROM `cashless-adm`.data_kalinda_produk WHERE kalinda_kode = '011'"));
    begin();
    const struct {
        QPushButton* button;
        const char *amount, *pin;
        QStringList messages;
    } steps[] = {
        {screen->cmdInfaq, "0", "234567", {"Nominal Rp. tidak valid!"}},
        {screen->cmdInfaq, "", "234567", {"Nominal Rp. tidak valid!"}}, // no number at all
        {screen->cmdInfaq, "5000", "  ", {"PIN harus diisi!"}},
        {screen->cmdInfaq, "200000", "234567", {"Saldo tidak mencukupi!"}},
        {screen->cmdInfaq, "5000", "23456", {}}, // the earlier right PIN is not reused
        {screen->cmdInfaq, "200000", "999999", {"PIN TIDAK SESUAI!", "Saldo tidak mencukupi!"}},
        {screen->cmdInfaq, "150000", "234567", {"SALDO TIDAK MENCUKUPI!"}},
        {screen->cmdWaqf, "5000", "234567", {"Rekening tujujan kosong!"}}, // no product 011
    };
    for (QPushButton* button : {screen->cmdInfaq, screen->cmdWaqf}) {
        EXPECT_FALSE(drive(button, [&](frmTransaksiBaru& form) {
            for (const auto& s : steps) {
                if (s.button != button)
                    continue;
                dialogs.clear();
                form.txtNominal->setText(QLatin1String(s.amount));
                form.txtPin->setText(QLatin1String(s.pin));
                QTest::mouseClick(form.cmdSimpan, Qt::LeftButton);
                EXPECT_EQ(dialogs.messageTexts(), s.messages) << s.amount << " " << s.pin;
            }
        }));
    }
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM data_transaksi")), 0);
    EXPECT_EQ(scalar(*admin, Sql("SELECT GROUP_CONCAT(CONCAT(log_transaksi, '|', log_keterangan) "
                                 "ORDER BY log_id) FROM log_transaksi WHERE log_transaksi IN "
                                 "('INFAQ', 'WAKAF')")),
              QStringLiteral("INFAQ|PIN TIDAK SESUAI!,INFAQ|SALDO TIDAK MENCUKUPI!"));
    EXPECT_TRUE(printer.jobs.empty());
}

} // namespace
