#pragma once

#include "app/db.h"
#include "app/visit_state.h"
#include "shop_cart.h"
#include "shop_order.h"

#include <QDialog>
#include <QTime>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace kalinda {

// The kiosk's clock, for the shop's delivery cut-off times.
using ShopClock = std::function<QTime()>;

// The school shop's order form: pick items into a cart, choose the delivery slot, confirm with
// the PIN and pay. It is loaded afresh every time, so a cart never outlives the form.
class frmTransaksiKirna final : public QDialog {
    Q_OBJECT
public:
    frmTransaksiKirna(KioskScreen& screen, Connection& db, QWidget* parent = nullptr,
                      ShopClock clock = &QTime::currentTime,
                      std::function<QDate()> today = &QDate::currentDate);

    const ShopCart& cart() const { return cart_; }

    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QComboBox* cboBarang;
    QLineEdit* txtHarga;
    QComboBox* cboQty;
    QLineEdit* txtJumlah;
    QPushButton* cmdInsert;
    QPushButton* cmdHapus;
    QTreeWidget* ListView1;
    QLineEdit* txtTotalQty;
    QLineEdit* txtTotalHarga;
    QLineEdit* txtLimit;
    QComboBox* cboKirim;
    QLineEdit* txtPin;
    QPushButton* Command1;
    QPushButton* cmdBayar;
    QPushButton* cmdKeluar;

    // The PIN check result of the last BAYAR: "1" matched, "0" did not, empty before.
    QString PinValid;

private:
    void buildControls();
    void Form_Load();
    void TabelDetail();
    void DetailBarang();
    void HitungHarga();
    void JumlahBarang();
    void Bersih();
    void showCart();
    void cmdInsert_Click();
    void cmdHapus_Click();
    void cmdBayar_Click();
    void ValidasiPIN(const ShopOrderInput& input);
    void payOrder(const ShopOrderInput& input);
    void showPosted(const ShopOrderResult& result);
    ShopOrderInput orderInput() const;

    KioskScreen& screen_;
    Connection& db_;
    ShopClock clock_;
    std::function<QDate()> today_;
    ShopCart cart_;
};

// Opens the shop form on top of the main screen (KIRNA ORDER).
void openKirna(KioskScreen& screen, Connection& db);

} // namespace kalinda
