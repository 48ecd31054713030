#pragma once

#include "app/db.h"
#include "app/visit_state.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

// CHANGE PIN: the old PIN, the new PIN twice. A change ends the visit, so the student starts
// again with the new PIN.
class frmTransaksiGantiPin final : public QDialog {
    Q_OBJECT
public:
    frmTransaksiGantiPin(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QLabel* lblHint;
    QLineEdit* txtPinLama;
    QLineEdit* txtPinBaru;
    QLineEdit* txtUlangiPin;
    QPushButton* cmdSimpan;
    QPushButton* cmdKeluar;
    QPushButton* cmdSelect1; // "<>" of the old PIN
    QPushButton* Command1;   // "<>" of the new PIN
    QPushButton* Command2;   // "<>" of the repetition

private:
    void cmdSimpan_Click();
    void pinChanged();

    KioskScreen& screen_;
    Connection& db_;
};

// Shows the form modally over the main screen.
void openGantiPin(KioskScreen& screen, Connection& db);

} // namespace kalinda
