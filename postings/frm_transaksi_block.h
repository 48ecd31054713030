#pragma once

#include "app/db.h"
#include "app/visit_state.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

// BLOCK ACCOUNT: a lost card is blocked by registration id and PIN, with or without a visit.
// The main screen is left as it is.
class frmTransaksiBlock final : public QDialog {
    Q_OBJECT
public:
    frmTransaksiBlock(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QLineEdit* txtReg;
    QLineEdit* txtPin;
    QPushButton* cmdSimpan;
    QPushButton* cmdKeluar;
    QPushButton* cmdSelect1; // "<>" of the registration id
    QPushButton* Command1;   // "<>" of the PIN

    void CekRegSiswa();

private:
    void cmdSimpan_Click();
    void accountBlocked();

    KioskScreen& screen_;
    Connection& db_;
};

// Shows the form modally over the main screen.
void openBlock(KioskScreen& screen, Connection& db);

} // namespace kalinda
