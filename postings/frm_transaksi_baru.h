#pragma once

#include "app/db.h"
#include "app/visit_state.h"
#include "fee_payment.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

// The fee and donation form: school fee ("SPP"), meals ("MAKAN"), infaq ("INFAQ") and waqf
// ("WAKAF"), each paid to the receiving account of its product. The opener sets `view`, the two
// titles and txtJenis before showing it.
class frmTransaksiBaru final : public QDialog {
    Q_OBJECT
public:
    frmTransaksiBaru(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    QString view;
    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QLineEdit* txtJenis;
    QLineEdit* txtNominal;
    QLineEdit* txtPin;
    QPushButton* cmdSimpan;
    QPushButton* cmdKeluar;
    QPushButton* cmdSelect1;
    QPushButton* Command1;

    void cmdSimpan_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    FeePaymentInput input() const;
    bool ValidasiPIN(const FeePaymentInput& in);
    void ValidasiTransaksi(const FeePaymentInput& in);
    // The main screen's values, the receipt, the message; the form closes.
    void posted(const FeePaymentInput& in, const FeePaymentResult& result);
    void focusBox(QLineEdit* box);

    KioskScreen& screen_;
    Connection& db_;
};

// The SCHOOL PAYMENT, INFAQ and WAQF buttons: the form for `view` with its titles, shown
// modally over the main screen (whose balance the caller has just refreshed).
void openFeePayment(KioskScreen& screen, Connection& db, const QString& view);

} // namespace kalinda
