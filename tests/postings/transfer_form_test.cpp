#include "postings/frm_transaksi_tarik.h"
#include "visit/visit_fixture.h"

#include <QLabel>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Dewi Lestari (80.000, transfer limit 100.000) at the kiosk, TRANSFER wired as the program does.
class TransferFormTest : public VisitFixture {
protected:
    void SetUp() override {
        VisitFixture::SetUp();
        setReceiptPrinter(&printer);
        KioskActions actions;
        actions.openTransfer = [this](KioskScreen& s) { showTransfer(s, *db); };
        openScreen(std::move(actions));
        tapCard(QStringLiteral("0004417007"), QStringLiteral("222222"));
        ASSERT_EQ(screen->txtNama->text(), QStringLiteral("Dewi Lestari"));
    }
    void TearDown() override {
        setReceiptPrinter(nullptr);
        VisitFixture::TearDown();
    }
    // TRANSFER TO MY FRIENDS, then `drive` on the open form; true when the form closed itself.
    bool onTransferForm(const std::function<void(frmTransaksiTarik&)>& drive) {
        bool closed = false;
        dialogs.onNextModal([&](QDialog& d) {
            drive(static_cast<frmTransaksiTarik&>(d));
            closed = !d.isVisible();
            if (!closed)
                d.reject();
        });
        QTest::mouseClick(screen->cmdVoucher, Qt::LeftButton);
        return closed;
    }
    static void retype(QLineEdit* box, const QString& text) {
        box->clear();
        QTest::keyClicks(box, text);
    }
    long long written() {
        return count(Sql("SELECT (SELECT COUNT(*) FROM log_transaksi) + (SELECT COUNT(*) FROM "
                         "`cashless-adm`.data_tabungan_trans WHERE trans_id LIKE 'KLD%')"));
    }

    RecordingPrinter printer;
};

TEST_F(TransferFormTest, TheWholeRoadPostsPrintsAndReturnsToTheVisit) {
    // 900 on the ledger while the stored balance still says 80.000: the button refreshes it.
    admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_trans SET trans_status = 9 WHERE "
                       "trans_rekening = '010100000007'"));
    admin->execute(Sql("INSERT INTO `cashless-adm`.data_tabungan_trans SET trans_id = 'DEP1', "
                       "trans_tanggal = CURDATE(), trans_kode = '15', trans_rekening = "
                       "'010100000007', trans_jumlah_masuk = 900, trans_status = 1"));
    const bool closed = onTransferForm([&](frmTransaksiTarik& f) {
        EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("900"));
        EXPECT_EQ(QApplication::focusWidget(), f.txtPin);
        EXPECT_EQ(f.txtLimit->text(), QStringLiteral("100.000"));
        const std::pair<const char*, QLineEdit*> buddies[] = {
            {"PIN", f.txtPin},     {"Rek. Tujuan", f.txtRekening}, {"Nama Rek", f.txtNama},
            {"Kelas", f.txtKelas}, {"Ket. Rek", f.txtKeterangan},  {"Nominal Rp.", f.txtNominal},
            {"Limit", f.txtLimit}};
        for (const auto& [caption, box] : buddies) {
            int found = 0;
            for (QLabel* l : f.findChildren<QLabel*>())
                found += l->text() == QLatin1String(caption) && l->buddy() == box;
            EXPECT_EQ(found, 1) << caption;
        }
        QTest::keyClicks(f.txtRekening, QStringLiteral(" 010100000001"));
        EXPECT_EQ(f.txtRekening->text(), QStringLiteral("010100000001"));
        EXPECT_EQ(f.txtNama->text(), QStringLiteral("Ahmad Fauzi"));
        EXPECT_EQ(f.txtKelas->text(), QStringLiteral("7A"));
        EXPECT_EQ(f.txtKeterangan->text(), QStringLiteral("VALID"));
        retype(f.txtNominal, QStringLiteral("500"));
        QTest::keyClicks(f.txtPin, QStringLiteral("222222"));
        EXPECT_EQ(f.txtPin->displayText(), QStringLiteral("******"));
        QTest::mouseClick(f.cmdSimpan, Qt::LeftButton);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("Transaksi Sukses")});
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("400"));
    EXPECT_EQ(screen->txtQuota2->text(), QStringLiteral("99.500"));
    ASSERT_EQ(printer.jobs.size(), 1u);
    const QString receipt = QString::fromLatin1(printer.jobs[0].second);
    for (const char* line : {"Jenis     : TARIK KE TABUNGAN\r\n", "Tujuan    : 010100000001\r\n",
                             "Nominal   : Rp. 500\r\n"})
        EXPECT_TRUE(receipt.contains(QLatin1String(line))) << line;
    EXPECT_TRUE(receipt.contains(screen->visit()[VisitState::TransID]));
}

TEST_F(TransferFormTest, ProsesChecksInTheirOrderAndWritesOnlyTheBalanceRefusal) {
    using Box = QLineEdit* frmTransaksiTarik::*;
    const Box onPin = &frmTransaksiTarik::txtPin, onRek = &frmTransaksiTarik::txtRekening,
              onNominal = &frmTransaksiTarik::txtNominal;
    const char* const tujuan = "No. Rekening tujuan tidak valid!";
    const struct {
        const char *target, *amount, *pin; // nullptr: left as it is
        const char* keterangan;            // after the target was typed
        const char* message;
        Box focus; // nullptr: the balance refusal, which writes its log row
    } steps[] = {
        {nullptr, nullptr, "", "", "PIN tidak boleh kosong!", onPin},
        {"", nullptr, "222222", "", "No. Rekening tujuan tidak boleh kosong!", onRek},
        {"019999999999", nullptr, nullptr, "TIDAK VALID", tujuan, onRek}, // no name yet
        {"01010000000", nullptr, nullptr, "TIDAK VALID", tujuan, onRek},  // 11: no lookup
        {"010100000007", nullptr, nullptr, "VALID", tujuan, onRek},       // the sender's own
        {"019999999999", nullptr, nullptr, "TIDAK VALID", "No. Rekening tidak valid!", onRek},
        {"010100000001", "0", nullptr, "VALID", "Nominal tidak valid!", onNominal},
        {nullptr, "100000", "999999", "VALID", "PIN tidak valid!", onPin}, // the limit passes
        {nullptr, "100001", nullptr, "VALID", "Nominal Rp. melebihi limit transfer!", onNominal},
        {nullptr, "1000", "999999", "VALID", "PIN tidak valid!", onPin},
        {nullptr, "80000", "222222", "VALID", "Saldo tidak mencukupi!", nullptr},
    };
    const bool closed = onTransferForm([&](frmTransaksiTarik& f) {
        for (const auto& s : steps) {
            SCOPED_TRACE(s.message);
            dialogs.messages.clear();
            if (s.target)
                retype(f.txtRekening, QString::fromLatin1(s.target));
            if (s.amount)
                retype(f.txtNominal, QString::fromLatin1(s.amount));
            if (s.pin)
                retype(f.txtPin, QString::fromLatin1(s.pin));
            EXPECT_EQ(f.txtKeterangan->text(), QString::fromLatin1(s.keterangan));
            const auto before = written();
            QTest::mouseClick(f.cmdSimpan, Qt::LeftButton);
            EXPECT_EQ(dialogs.messageTexts(), QStringList{QString::fromLatin1(s.message)});
            if (s.focus) {
                EXPECT_EQ(QApplication::focusWidget(), f.*s.focus);
            }
            EXPECT_EQ(written() - before, s.focus ? 0 : 1);
        }
        // The target's "<>" empties its four boxes, the amount's puts "0" back.
        EXPECT_EQ(f.txtNama->text(), QStringLiteral("Ahmad Fauzi"));
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        for (QLineEdit* cleared : {f.txtRekening, f.txtNama, f.txtKelas, f.txtKeterangan})
            EXPECT_EQ(cleared->text(), QString());
        EXPECT_EQ(f.txtNominal->text(), QStringLiteral("0"));

        // A lookup that fails leaves no earlier verdict beside the new number.
        QTest::keyClicks(f.txtRekening, QStringLiteral("010100000001"));
        admin->execute(Sql("DROP FUNCTION `cashless-adm`.GetNasabahKelas"));
        retype(f.txtRekening, QStringLiteral("010100000002"));
        EXPECT_EQ(f.txtKeterangan->text(), QStringLiteral("TIDAK VALID"));
        EXPECT_TRUE(dialogs.messages.back().text.startsWith(
            QStringLiteral("No. Rekening tujuan tidak dapat diperiksa.")));
        retype(f.txtNominal, QStringLiteral("1000"));
        QTest::mouseClick(f.cmdSimpan, Qt::LeftButton);
        EXPECT_EQ(dialogs.messages.back().text, QStringLiteral("No. Rekening tidak valid!"));
    });
    EXPECT_FALSE(closed);
    EXPECT_EQ(written(), 1); // the balance refusal's log row
}

} // namespace
