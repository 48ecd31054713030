#pragma once

#include "app/db.h"
#include "app/visit_state.h"
#include "postings/product_payment.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kalinda {

// The card and PIN form. Mode "Start": the card reader types the 10-character card number and
// the student types the PIN; the account is loaded into the main screen. Mode "Bayar": the
// 6-digit PIN that confirms a product payment.
class frmInputPin final : public QDialog {
    Q_OBJECT
public:
    frmInputPin(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    QString view;
    QLineEdit* txtRfid;
    QLabel* lblInfo;
    QPushButton* cmdReset;
    QPushButton* cmdKeluar;
    QTimer* Timer1;

    // Mode "Bayar": the active balance at the PIN check, "#,##0".
    QString SaldoAwal;
    // Mode "Bayar": runs the payment after a correct PIN; it may close the form.
    std::function<void(frmInputPin&)> ValidasiTransaksi;

    void CekKartu();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void txtRfid_Change();
    void CekPinBayar();
    void cmdReset_Click();
    void focusEntry();

    KioskScreen& screen_;
    Connection& db_;
};

// The product payment after a correct PIN: posts it, shows the outcome on the form, and on
// success updates the main screen, prints the receipt and closes the form.
void payProduct(KioskScreen& screen, frmInputPin& form, Connection& db);
// The payment is stored: main screen, receipt, message, form closed.
void productPaid(KioskScreen& screen, frmInputPin& form, const ProductPaymentResult& result);

} // namespace kalinda
