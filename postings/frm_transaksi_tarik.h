#pragma once

#include "app/db.h"
#include "app/visit_state.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace kalinda {

struct TransferResult;

// Transfer to a friend: the target account and its holder, the amount, the PIN, PROSES.
class frmTransaksiTarik final : public QDialog {
public:
    frmTransaksiTarik(KioskScreen& screen, Connection& db, QWidget* parent = nullptr);

    void cekLimitTransfer();
    void CekRekening();

    QLabel* lblJudul;
    QLabel* lblSubJudul;
    QLineEdit* txtPin;
    QLineEdit* txtRekening;
    QLineEdit* txtNama;
    QLineEdit* txtKelas;
    QLineEdit* txtKeterangan;
    QLineEdit* txtNominal;
    QLineEdit* txtLimit;
    QPushButton* cmdSimpan;
    QPushButton* cmdKeluar;
    QPushButton* cmdSelect1;
    QPushButton* Command1;
    QPushButton* Command2;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    void cmdSimpan_Click();
    void ValidasiTransaksi();
    void refuse(const QString& message, QLineEdit* focus);
    // Everything the screen does once a transfer is stored.
    void posted(const TransferResult& result);

    KioskScreen& screen_;
    Connection& db_;
};

// Opens the transfer form modally over the main screen (TRANSFER TO MY FRIENDS).
void showTransfer(KioskScreen& screen, Connection& db);

} // namespace kalinda
