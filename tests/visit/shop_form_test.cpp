#include "postings/frm_transaksi_kirna.h"
#include "printing/receipt.h"
#include "visit_fixture.h"

#include <QLabel>
#include <QTreeWidget>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Siti (150.000, quota 50.000) at the main screen; KIRNA ORDER opens the shop form on a clock
// the test sets.
class ShopFormTest : public VisitFixture {
protected:
    void SetUp() override {
        VisitFixture::SetUp();
        setReceiptPrinter(&printer);
        KioskActions actions;
        actions.openKirna = [this](KioskScreen& s) {
            frmTransaksiKirna form(s, *db, screen.get(), [this] { return now; });
            dialogs.exec(form);
        };
        openScreen(std::move(actions));
        tapCard(QStringLiteral("0004417002"), QStringLiteral("234567"));
        ASSERT_EQ(screen->txtNama->text(), QStringLiteral("Siti Aminah"));
    }
    void TearDown() override {
        setReceiptPrinter(nullptr);
        VisitFixture::TearDown();
    }

    // KIRNA ORDER, then `drive` on the open form; returns whether the form closed itself.
    bool withShopForm(const std::function<void(frmTransaksiKirna&)>& drive) {
        bool closed = false;
        dialogs.onNextModal([&](QDialog& d) {
            drive(static_cast<frmTransaksiKirna&>(d));
            closed = !d.isVisible();
            if (!closed)
                d.reject();
        });
        QTest::mouseClick(screen->cmdKirna, Qt::LeftButton);
        return closed;
    }

    static void choose(QComboBox* combo, const QString& text) {
        const int index = combo->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    static void addLine(frmTransaksiKirna& f, const char* item, const char* qty) {
        choose(f.cboBarang, QString::fromUtf8(item));
        choose(f.cboQty, QString::fromUtf8(qty));
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
    }
    static QStringList row(QTreeWidget* list, int index) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(index)->text(c);
        return cells;
    }
    QString lastMessage() const {
        return dialogs.messages.empty() ? QString() : dialogs.messages.back().text;
    }
    // Three pens and a toothpaste (17.500), midday, the PIN typed.
    void fillOrder(frmTransaksiKirna& f, const QString& pin) {
        addLine(f, "K007 : Pulpen", "3");
        addLine(f, "K005 : Pasta Gigi", "1");
        choose(f.cboKirim, QStringLiteral("Siang"));
        QTest::keyClicks(f.txtPin, pin);
    }

    QTime now = QTime(9, 30);
    RecordingPrinter printer;
};

TEST_F(ShopFormTest, TheCartAddsChecksResetsAndClears) {
    withShopForm([&](frmTransaksiKirna& f) {
        QStringList buddies;
        for (QLabel* label : f.findChildren<QLabel*>()) {
            if (label->buddy())
                buddies << label->text() + QStringLiteral("=") + label->buddy()->objectName();
        }
        buddies.sort();
        EXPECT_EQ(buddies.join(QLatin1Char(' ')),
                  QStringLiteral("Barang=cboBarang Harga / pcs=txtHarga Jumlah=txtJumlah "
                                 "Kirim=cboKirim LIMIT=txtLimit PIN TRANSAKSI=txtPin "
                                 "QTY=txtTotalQty Qty=cboQty TOTAL=txtTotalHarga"));
        EXPECT_EQ(f.ListView1->headerItem()->text(5), QStringLiteral("Jumlah"));
        EXPECT_EQ(f.txtLimit->text(), QStringLiteral("50.000"));
        EXPECT_EQ(f.cboQty->currentText(), QString()); // no quantity preselected
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Pilih barang!"));
        choose(f.cboBarang, QStringLiteral("K007 : Pulpen"));
        EXPECT_EQ(f.txtHarga->text(), QStringLiteral("2.500"));
        EXPECT_EQ(f.txtJumlah->text(), QStringLiteral("0"));
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Pilih Quantity!"));

        choose(f.cboQty, QStringLiteral("3")); // a quantity recomputes the line at once
        EXPECT_EQ(f.txtJumlah->text(), QStringLiteral("7.500"));
        choose(f.cboKirim, QStringLiteral("Siang"));
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
        ASSERT_EQ(f.ListView1->topLevelItemCount(), 1);
        EXPECT_EQ(
            row(f.ListView1, 0),
            QStringList({QString(), QStringLiteral("K007"), QStringLiteral("Pulpen"),
                         QStringLiteral("2.500"), QStringLiteral("3"), QStringLiteral("7.500")}));
        EXPECT_EQ(f.txtTotalQty->text(), QStringLiteral("3"));
        EXPECT_EQ(f.txtTotalHarga->text(), QStringLiteral("8.500"));
        // The entry line and the slot are reset.
        EXPECT_EQ(f.cboBarang->currentText(), QString());
        EXPECT_EQ(f.cboQty->currentText(), QStringLiteral("1"));
        EXPECT_EQ(f.txtHarga->text(), QStringLiteral("0"));
        EXPECT_EQ(f.txtJumlah->text(), QStringLiteral("0"));
        EXPECT_EQ(f.cboKirim->currentText(), QString());

        choose(f.cboBarang, QStringLiteral("K011 : Sampel Gratis"));
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Jumlah harga tidak boleh NOL!"));
        // Changing the item keeps the quantity and takes the new price.
        choose(f.cboQty, QStringLiteral("2"));
        choose(f.cboBarang, QStringLiteral("K010 : Kertas: A4 1 rim"));
        EXPECT_EQ(f.txtJumlah->text(), QStringLiteral("110.000"));
        QTest::mouseClick(f.cmdInsert, Qt::LeftButton);
        addLine(f, "K007 : Pulpen", "3"); // the same item again: a row of its own
        ASSERT_EQ(f.ListView1->topLevelItemCount(), 3);
        EXPECT_EQ(f.ListView1->topLevelItem(1)->text(2), QStringLiteral("Kertas"));
        EXPECT_EQ(f.txtTotalQty->text(), QStringLiteral("8"));
        EXPECT_EQ(f.txtTotalHarga->text(), QStringLiteral("126.000"));
        EXPECT_EQ(f.cart().lines().size(), 3u);

        QTest::mouseClick(f.cmdHapus, Qt::LeftButton);
        EXPECT_EQ(f.ListView1->topLevelItemCount(), 0);
        EXPECT_EQ(f.txtTotalQty->text(), QStringLiteral("0"));
        EXPECT_EQ(f.txtTotalHarga->text(), QStringLiteral("1.000"));
        EXPECT_EQ(dialogs.messages.size(), 3u);
    });
}

TEST_F(ShopFormTest, BayarRefusesInOrderAndMovesTheFocus) {
    withShopForm([&](frmTransaksiKirna& f) {
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Total bayar tidak boleh NOL!"));
        QTest::mouseClick(f.cmdHapus, Qt::LeftButton);
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Total QTY tidak boleh NOL!"));
        addLine(f, "K005 : Pasta Gigi", "1");
        addLine(f, "K009 : Biskuit", "1");
        addLine(f, "K006 : Buku Tulis", "1");
        EXPECT_EQ(f.txtTotalHarga->text(), QStringLiteral("16.500"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Jadwal kirim harus dipilih!"));
        EXPECT_EQ(QApplication::focusWidget(), f.cboKirim);
        choose(f.cboKirim, QStringLiteral("Siang"));
        now = QTime(11, 0, 1); // the form reads the kiosk's clock at BAYAR
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("Order SIANG closed!"));
        choose(f.cboKirim, QStringLiteral("Malam"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("PIN harus diisi!"));
        EXPECT_EQ(QApplication::focusWidget(), f.txtPin);

        // Five characters: nothing visible, nothing stored.
        const auto shown = dialogs.messages.size();
        QTest::keyClicks(f.txtPin, QStringLiteral("23456"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(dialogs.messages.size(), shown);
        EXPECT_EQ(f.PinValid, QStringLiteral("0"));
        // A wrong PIN is told and logged once.
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        EXPECT_EQ(f.txtPin->text(), QString());
        QTest::keyClicks(f.txtPin, QStringLiteral("999999"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
        EXPECT_EQ(lastMessage(), QStringLiteral("PIN TIDAK SESUAI!"));
    });
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi WHERE log_keterangan = 'PIN TIDAK "
                        "SESUAI!' AND log_transaksi = 'ORDER KIRNA' AND log_nominal = 16500")),
              1);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order")), 0);
}

TEST_F(ShopFormTest, APaidOrderPrintsThenSaysSuccessAndCloses) {
    std::size_t printedAtSuccess = 99;
    dialogs.onMessage = [&](const ScriptedDialogs::Message& m) {
        if (m.text == QLatin1String("TRANSAKSI SUKSES"))
            printedAtSuccess = printer.jobs.size();
    };
    const bool closed = withShopForm([&](frmTransaksiKirna& f) {
        fillOrder(f, QStringLiteral("234567"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(lastMessage(), QStringLiteral("TRANSAKSI SUKSES"));
    EXPECT_EQ(printedAtSuccess, 1u);
    const VisitState& v = screen->visit();
    EXPECT_EQ(screen->txtSaldo->text(), QStringLiteral("132.500"));
    EXPECT_EQ(v[VisitState::JenisTrans], QStringLiteral("ORDER KIRNA"));
    EXPECT_EQ(v[VisitState::RekTujuan], QStringLiteral("020100000099"));
    EXPECT_EQ(v[VisitState::Nominal], QStringLiteral("17.500"));
    EXPECT_EQ(screen->txtQuota1->text(), QStringLiteral("32.500")); // read again: 50.000 less
    const QString receipt = QString::fromLatin1(printer.jobs.at(0).second);
    EXPECT_TRUE(receipt.contains(QStringLiteral("Nominal   : Rp. 17.500\r\n")));
    EXPECT_TRUE(receipt.contains(v[VisitState::TransID]));
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `aio-kirna`.data_transaksi")), 1);
}

TEST_F(ShopFormTest, WithoutAShopAccountBayarIsRefusedBeforeAnythingIsStored) {
    parameters().ShopNoRekening.clear(); // "SelfOrder" neither "0" nor "1"
    withShopForm([&](frmTransaksiKirna& f) {
        fillOrder(f, QStringLiteral("234567"));
        QTest::mouseClick(f.cmdBayar, Qt::LeftButton);
    });
    EXPECT_EQ(lastMessage(), kShopTanpaRekening);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM `aio-kirna`.data_barang_order")), 0);
    EXPECT_EQ(count(Sql("SELECT COUNT(*) FROM log_transaksi")), 0);
    EXPECT_TRUE(printer.jobs.empty());
}

} // namespace
