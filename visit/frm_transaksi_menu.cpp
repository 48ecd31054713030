#include "app/busy.h"
#include "app/dialogs.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/typed_input.h"
#include "frm_info.h"
#include "frm_input_pin.h"
#include "frm_transaksi.h"
#include "idle_guard.h"
#include "postings/product_payment.h"
#include "printing/printer_check.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

// The menu: its states, its buttons and the exit.

namespace kalinda {

void frmTransaksi::MenuEnable() {
    setMenu(true);
    if (idle_)
        idle_->arm();
}

void frmTransaksi::MenuDisable() {
    setMenu(false);
    if (idle_)
        idle_->disarm();
}

void frmTransaksi::setMenu(bool enabled) {
    for (QPushButton* b : findChildren<QPushButton*>()) {
        // Only this screen's own buttons, not those of forms shown on top of it.
        if (b->window() == this && b->objectName().startsWith(QLatin1String("cmd")))
            b->setEnabled(enabled);
    }
    for (QPushButton* b : {cmdStart, cmdFinish, cmdBlock, cmdKeluar})
        b->setEnabled(true);
}

void frmTransaksi::CekProduk() {
    try {
        const std::optional<Product> product = findProduct(db_, cboJenis->currentText());
        if (!product)
            return;
        visit_.set(VisitState::txtRekTujuan, product->account);
        if (product->fixedPrice) {
            visit_.set(VisitState::txtNominal, QStringLiteral("0"));
            visit_.set(VisitState::txtNominal, QString::number(product->price));
            txtNominal->setReadOnly(true);
            cmdReset->hide();
        } else {
            txtNominal->setReadOnly(false);
            visit_.set(VisitState::txtNominal, QStringLiteral("0"));
            cmdReset->show();
        }
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data produk tidak dapat dibaca."), e, this);
    }
}

void frmTransaksi::cmdStart_Click() {
    Bersih();
    if (parametersReady()) {
        frmInputPin form(*this, db_, this);
        form.view = QStringLiteral("Start");
        dialogs().exec(form);
    }
    // The screen was cleared: a menu left enabled would open forms for no account.
    if (visit_[VisitState::NoRekening].isEmpty())
        MenuDisable();
}

void frmTransaksi::cmdFinish_Click() {
    Bersih();
    MenuDisable();
}

void frmTransaksi::cmdReset_Click() {
    visit_.set(VisitState::txtNominal, QStringLiteral("0"));
    txtNominal->setFocus();
}

void frmTransaksi::cmdBayar_Click() {
    if (cboJenis->currentText().isEmpty()) {
        showInfo(QStringLiteral("Jenis Produk harus dipilih!"), this);
        return;
    }
    // Text that is not a number at all is no valid amount either.
    const auto amount = parseTypedAmount(txtNominal->text());
    if (!amount || *amount <= 0) {
        showInfo(kNominalTidakValid, this);
        return;
    }
    if (!productChoiceAccepted(*amount) || !printerReadyOrAccepted(this))
        return;
    frmInputPin form(*this, db_, this);
    form.view = QStringLiteral("Bayar");
    form.txtRfid->setMaxLength(6);
    form.lblInfo->setText(QStringLiteral("Masukkan PIN ANDA!"));
    form.ValidasiTransaksi = [this](frmInputPin& pin) {
        if (actions_.payProduct)
            actions_.payProduct(*this, pin);
        else
            payProduct(*this, pin, db_);
    };
    dialogs().exec(form);
}

bool frmTransaksi::productChoiceAccepted(Rupiah amount) {
    ProductChoiceRefusal refusal;
    try {
        refusal = checkProductChoice(db_, cboJenis->currentText(), amount,
                                     visit_[VisitState::txtRekTujuan]);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data produk tidak dapat dibaca."), e, this);
        return false;
    }
    switch (refusal) {
    case ProductChoiceRefusal::None:
        return true;
    case ProductChoiceRefusal::UnknownProduct:
        showInfo(kProdukTidakDitemukan, this);
        return false;
    case ProductChoiceRefusal::AmountNotThePrice:
        // FINISH TRANSACTION unlocks the amount while the product stays chosen.
        showInfo(kNominalTidakValid, this);
        txtNominal->setFocus();
        return false;
    case ProductChoiceRefusal::NoReceivingAccount:
        showInfo(kRekeningTujuanTidakValid, this);
        return false;
    }
    return false;
}

void frmTransaksi::openWithFreshBalance(const std::function<void(KioskScreen&)>& open) {
    try {
        CekSaldoReal();
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Saldo tidak dapat diperbarui."), e, this);
        return;
    }
    if (open && printerReadyOrAccepted(this))
        open(*this);
}

void frmTransaksi::cmdKeluar_Click() {
    const BusyHold operatorBox; // the idle clock leaves the password box alone
    // Without a password every answer would match: such a kiosk is stopped from outside.
    const QString& password = parameters().AppParam.pinLogout;
    if (!parameters().read || password.isEmpty()) {
        showMessage(MessageIcon::Warning, kPasswordKeluarBelumDiatur, this);
        return;
    }
    if (const int wait = exitGuard.secondsLocked(); wait > 0) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Password salah 3 kali. Coba lagi dalam %1 detik.").arg(wait),
                    this);
        return;
    }
    const auto answer =
        dialogs().input(this, QStringLiteral("Masukkan password"), QStringLiteral("Input password"),
                        QStringLiteral("0"), InputEcho::Password);
    if (!answer) // Cancel is no try
        return;
    if (*answer != password) {
        exitGuard.wrongPassword();
        return;
    }
    closingAllowed_ = true;
    close();
}

void frmTransaksi::closeEvent(QCloseEvent* event) {
    // A kiosk is left only through KELUAR and its password.
    if (!closingAllowed_) {
        event->ignore();
        return;
    }
    Timer3->stop();
    event->accept();
    emit closed();
}

} // namespace kalinda
