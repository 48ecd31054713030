#pragma once

#include "arrears.h"
#include "inquiry_form.h"

class QLineEdit;

namespace kalinda {

// MONTHLY CHARGE INFORMATION: boarding and meal fees per period, what is paid and owing.
class frmTransaksiSpp final : public InquiryForm {
    Q_OBJECT
public:
    frmTransaksiSpp(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    QLineEdit* txtUPondok;
    QLineEdit* txtUMakan;
    QLineEdit* txtBpondok;
    QLineEdit* txtBmakan;

    const Arrears& arrears() const { return arrears_; }

protected:
    void DataTrans() override;
    QString failureText() const override;
    void clearData() override;

private:
    QString cell(int row, int column) const;
    void showTotals();

    Arrears arrears_;
};

// The main screen's MONTHLY CHARGE INFORMATION button.
void openTunggakan(KioskScreen& screen, Connection& db);

} // namespace kalinda
