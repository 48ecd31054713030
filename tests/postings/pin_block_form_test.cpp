#include "postings/fee_payment.h"
#include "postings/frm_transaksi_block.h"
#include "postings/frm_transaksi_ganti_pin.h"
#include "postings/pin_change.h"
#include "postings/posting_outcome.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "visit/visit_fixture.h"

using namespace kalinda;
using namespace kalinda::test;

namespace {

const QString kStartRefused = QStringLiteral("PIN Tidak sesuai atau tabungan tidak AKTIF");

// CHANGE PIN and BLOCK ACCOUNT on the real main screen, wired as the program wires them.
class PinBlockFormTest : public VisitFixture {
protected:
    void SetUp() override {
        VisitFixture::SetUp();
        KioskActions actions;
        actions.openGantiPin = [this](KioskScreen& s) { openGantiPin(s, *db); };
        actions.openBlock = [this](KioskScreen& s) { openBlock(s, *db); };
        openScreen(std::move(actions));
    }

    // Presses `button` and drives the form it opens; true when the form closed itself.
    template <typename Form>
    bool withForm(QPushButton* button, const std::function<void(Form&)>& drive) {
        bool closed = false;
        dialogs.onNextModal([&](QDialog& d) {
            drive(dynamic_cast<Form&>(d));
            closed = !d.isVisible();
            if (!closed)
                d.reject();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        return closed;
    }

    // Fills the boxes, presses SIMPAN, and checks the message and where the focus went.
    void simpan(QPushButton* cmdSimpan, const std::vector<std::pair<QLineEdit*, QString>>& boxes,
                const QString& message = {}, QWidget* focus = nullptr) {
        for (const auto& [box, text] : boxes)
            box->setText(text);
        cmdSimpan->setFocus();
        QTest::mouseClick(cmdSimpan, Qt::LeftButton);
        if (!message.isEmpty()) {
            EXPECT_EQ(dialogs.messages.back().text, message);
        }
        if (focus) {
            EXPECT_EQ(QApplication::focusWidget(), focus) << message.toStdString();
        }
    }

    // Whether Siti's account row holds what `where` asks.
    bool siti(SqlText where) {
        Sql s("SELECT COUNT(*) FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = "
              "'010100000002' AND ");
        return count(s << where) == 1;
    }
    long long logs(SqlText where) {
        Sql s("SELECT COUNT(*) FROM log_transaksi WHERE ");
        return count(s << where);
    }
};

TEST_F(PinBlockFormTest, ChangePinChecksTheEntriesThenEndsTheVisitWithTheNewPin) {
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    dialogs.clear();
    EXPECT_TRUE(withForm<frmTransaksiGantiPin>(screen->cmdGantiPin, [&](frmTransaksiGantiPin& f) {
        EXPECT_EQ(QApplication::focusWidget(), f.txtPinLama);
        for (QLineEdit* box : {f.txtPinLama, f.txtPinBaru, f.txtUlangiPin})
            EXPECT_TRUE(box->echoMode() == QLineEdit::Password && box->maxLength() == 6);
        const auto s = [&](const char* lama, const char* baru, const char* ulangi,
                           const char* message, QWidget* focus) {
            simpan(f.cmdSimpan,
                   {{f.txtPinLama, QString::fromUtf8(lama)},
                    {f.txtPinBaru, QString::fromUtf8(baru)},
                    {f.txtUlangiPin, QString::fromUtf8(ulangi)}},
                   QString::fromUtf8(message), focus);
        };
        s("", "111111", "111111", "PIN Lama tidak boleh kosong!", f.txtPinLama);
        s("234567", "", "1", "PIN Baru tidak boleh kosong!", f.txtPinBaru);
        s("234567", "111111", "", "Ulangi PIN Baru tidak boleh kosong!", f.txtUlangiPin);
        s("234567", "1234", "12345", "Ulangi PIN Baru harus sama dengan pin baru!", f.txtUlangiPin);
        s("234567", "1234", "1234", "PIN Baru harus 6 digit angka!", f.txtPinBaru);
        s("234567", "١٢٣٤٥٦", "١٢٣٤٥٦", "PIN Baru harus 6 digit angka!", f.txtPinBaru);
        EXPECT_EQ(logs("TRUE"), 0);
        // A wrong old PIN is logged on every attempt; the entries stay for correcting.
        s("765432", "246810", "246810", "PIN LAMA tidak valid!", f.cmdSimpan);
        s("765432", "246810", "246810", "PIN LAMA tidak valid!", f.cmdSimpan);
        s("234567", "246810", "246810",
          "Penggantian PIN SUKSES, Silahkan START TRANSACTION kembali!", nullptr);
    }));
    EXPECT_EQ(dialogs.messages.back().icon, MessageIcon::Information);
    EXPECT_TRUE(siti("tab_pin = '246810'"));
    EXPECT_EQ(logs("log_transaksi = 'GANTI PIN' AND log_keterangan = 'PIN LAMA TIDAK VALID, "
                   "GANTI PIN GAGAL' AND CONCAT(log_rekening, log_rfid, log_nama, log_kelas) = "
                   "'0101000000020004417002Siti Aminah7A'"),
              2);
    // The visit is over: an empty screen and the idle menu.
    EXPECT_EQ(screen->txtNorek->text() + screen->txtNama->text() + screen->txtSaldo->text(),
              QStringLiteral("0"));
    EXPECT_FALSE(screen->cmdGantiPin->isEnabled() || screen->cmdBayar->isEnabled());
    EXPECT_TRUE(screen->cmdStart->isEnabled() && screen->cmdBlock->isEnabled());

    dialogs.clear();
    tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kStartRefused});
    tapCard(QStringLiteral("0004417002"), QStringLiteral("246810"));
    EXPECT_EQ(screen->txtNama->text(), QStringLiteral("Siti Aminah"));
}

TEST_F(PinBlockFormTest, BlockDisablesTheCardAndLeavesTheMainScreenAlone) {
    EXPECT_TRUE(withForm<frmTransaksiBlock>(screen->cmdBlock, [&](frmTransaksiBlock& f) {
        EXPECT_EQ(QApplication::focusWidget(), f.txtReg);
        EXPECT_TRUE(f.txtPin->echoMode() == QLineEdit::Password && f.txtPin->maxLength() == 6);
        simpan(f.cmdSimpan, {}, QStringLiteral("ID SIPARDO harus diisi!"), f.txtReg);
        simpan(f.cmdSimpan, {{f.txtReg, QStringLiteral("SPD2024002")}},
               QStringLiteral("PIN harus diisi!"), f.txtPin);
        simpan(f.cmdSimpan, {{f.txtPin, QStringLiteral("111111")}},
               QStringLiteral("REG/PIN tidak valid!"));
        simpan(f.cmdSimpan, {{f.txtReg, QStringLiteral(" SPD2024002")}, {f.txtPin, "234567"}},
               QStringLiteral("REG/PIN tidak valid!")); // not trimmed
        f.txtReg->setText(QStringLiteral("SPD2024002"));
        simpan(f.cmdSimpan, {{f.txtPin, QStringLiteral("234567")}},
               QStringLiteral("Blokir ACCOUNT SUKSES! \r\nSilahkan ke Bag. Administrasi untuk PIN "
                              "BARU!"));
    }));
    EXPECT_EQ(dialogs.messages.size(), 5u);
    EXPECT_TRUE(siti("tab_rfid = '#0004417002' AND tab_pin = '582931'"));
    EXPECT_EQ(logs("log_transaksi = 'BLOKIR PIN' AND CONCAT(log_rekening, log_rfid, log_nama, "
                   "log_kelas) = ''"),
              2);
    dialogs.clear();
    tapCard(QStringLiteral("0004417002"), QStringLiteral("582931"));
    EXPECT_EQ(dialogs.messageTexts(), QStringList{kStartRefused});
    // Blocked again with the reset PIN during Ahmad's visit: his screen stays as it was, and a
    // refusal names him, whoever's id was typed.
    tapCard(QStringLiteral("0004417001"), QStringLiteral("123456"));
    EXPECT_TRUE(withForm<frmTransaksiBlock>(screen->cmdBlock, [&](frmTransaksiBlock& f) {
        simpan(f.cmdSimpan, {{f.txtReg, QStringLiteral("SPD2024002")}, {f.txtPin, "999999"}});
        simpan(f.cmdSimpan, {{f.txtPin, QStringLiteral("582931")}});
    }));
    EXPECT_TRUE(siti("tab_rfid = '##0004417002' AND tab_status = 1"));
    EXPECT_EQ(logs("log_transaksi = 'BLOKIR PIN' AND log_rekening = '010100000001'"), 1);
    EXPECT_TRUE(screen->txtNama->text() == QStringLiteral("Ahmad Fauzi") &&
                screen->cmdBayar->isEnabled());
}

// Siti's card blocked at another kiosk during her visit (as a block leaves it), or her account
// closed by the office: no kind of posting writes anything, each is refused, the visit ends.
TEST_F(PinBlockFormTest, ABlockedCardOrAClosedAccountStopsItsOpenVisit) {
    const auto siti = [](auto in) {
        in.NoRekening = QStringLiteral("010100000002");
        in.Rfid = QStringLiteral("0004417002");
        in.balance = 2; // the payer is refused before any other rule
        if constexpr (requires { in.amount; })
            in.amount = 1;
        return in;
    };
    auto order = siti(ShopOrderInput{});
    order.shopAccount = order.NoRekening;
    const std::function<void()> postings[] = {
        [&] { postProductPayment(*db, siti(ProductPaymentInput{})); },
        [&] { postTransfer(*db, siti(TransferInput{})); },
        [&] { postFeePayment(*db, siti(FeePaymentInput{})); },
        [&] { postShopOrder(*db, order); },
        [&] {
            changePin(*db, {order.NoRekening, order.Rfid, {}, {}, "582931", "111111"});
        },
    };
    for (const Sql& stop : {Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = "
                                "'#0004417002' WHERE tab_rekening = '010100000002'"),
                            Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_status = 0 "
                                "WHERE tab_rekening = '010100000002'")}) {
        admin->execute(Sql("UPDATE `cashless-adm`.data_tabungan_master SET tab_rfid = "
                           "'0004417002', tab_pin = 582931 WHERE tab_rekening = '010100000002'"));
        tapCard(order.Rfid, QStringLiteral("582931"));
        admin->execute(stop);
        const long long before = logs("TRUE");
        dialogs.clear();
        QDialog form; // the posting's form, closed with the visit
        form.show();
        for (const auto& post : postings)
            runPosting<bool>(*db, &form, {{}, {}, screen.get()}, [&] { return post(), true; });
        EXPECT_EQ(dialogs.messageTexts(), QStringList(5, kStartRefused));
        EXPECT_EQ(logs("TRUE"), before);
        EXPECT_TRUE(screen->txtNorek->text().isEmpty() && !screen->cmdBayar->isEnabled() &&
                    !form.isVisible());
    }
}

} // namespace
