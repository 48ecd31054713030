#pragma once

#include "inquiry_form.h"
#include "statement.h"

namespace kalinda {

// SAVING MUTATION: the account's confirmed ledger rows, newest first, with a running balance.
class frmTransaksiMutasi final : public InquiryForm {
    Q_OBJECT
public:
    frmTransaksiMutasi(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    const Statement& statement() const { return statement_; }

    // Under the list: why it may end below the main screen's balance; hidden when nothing
    // waits for the office.
    QLabel* lblBelumDibukukan;

protected:
    void TabelTrans() override;
    void DataTrans() override;
    QString failureText() const override;
    void clearData() override;

private:
    QString cell(int row, int column) const;

    Statement statement_;
};

// The main screen's SAVING MUTATION button.
void openMutasi(KioskScreen& screen, Connection& db);

} // namespace kalinda
