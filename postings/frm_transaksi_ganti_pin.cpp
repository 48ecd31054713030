#include "frm_transaksi_ganti_pin.h"

#include "app/dialogs.h"
#include "app/pin_guard.h"
#include "entry_form.h"
#include "pin_change.h"
#include "posting_outcome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kalinda {

namespace {

QLineEdit* pinBox(QLineEdit* box) {
    maskInput(*box);
    box->setMaxLength(6);
    return box;
}

} // namespace

frmTransaksiGantiPin::frmTransaksiGantiPin(KioskScreen& screen, Connection& db, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db) {
    setObjectName(QStringLiteral("frmTransaksiGantiPin"));
    EntryForm form(*this, QStringLiteral("CHANGE PIN"),
                   QStringLiteral("Form ini untuk mengganti PIN transaksi"));
    lblJudul = form.lblJudul;
    lblSubJudul = form.lblSubJudul;
    lblHint = form.addNote("lblHint", QStringLiteral("Maksimal 6 digit angka"));
    txtPinLama =
        pinBox(form.addEntry(QStringLiteral("PIN LAMA"), "txtPinLama", cmdSelect1, "cmdSelect1"));
    txtPinBaru =
        pinBox(form.addEntry(QStringLiteral("PIN BARU"), "txtPinBaru", Command1, "Command1"));
    txtUlangiPin = pinBox(
        form.addEntry(QStringLiteral("ULANGI PIN BARU"), "txtUlangiPin", Command2, "Command2"));
    form.addButtons(cmdSimpan, cmdKeluar);
    txtPinLama->setFocus(Qt::OtherFocusReason);
    connect(cmdSimpan, &QPushButton::clicked, this, [this] { cmdSimpan_Click(); });
}

void frmTransaksiGantiPin::cmdSimpan_Click() {
    if (const auto refusal =
            checkPinEntries(txtPinLama->text(), txtPinBaru->text(), txtUlangiPin->text())) {
        showMessage(MessageIcon::Warning, refusal->message, this);
        QLineEdit* const boxes[] = {txtPinLama, txtPinBaru, txtUlangiPin};
        boxes[static_cast<int>(refusal->focus)]->setFocus(Qt::OtherFocusReason);
        return;
    }
    const VisitState& v = screen_.visit();
    PinChangeInput in;
    in.txtNorek = v[VisitState::txtNorek];
    in.txtRfid = v[VisitState::txtRfid];
    in.txtNama = v[VisitState::txtNama];
    in.txtKelas = v[VisitState::txtKelas];
    in.pinLama = txtPinLama->text();
    in.pinBaru = txtPinBaru->text();
    PostingReport report;
    report.failedText = QStringLiteral("PIN tidak dapat diganti.");
    report.visit = &screen_;
    try {
        if (!admitPinAttempt(db_, {in.txtNorek}, logTransaksiHead(v), QStringLiteral("GANTI PIN"),
                             this))
            return;
    } catch (const DbError& e) {
        showDatabaseError(report.failedText, e, this);
        return;
    }
    const auto outcome =
        runPosting<PinChangeOutcome>(db_, this, report, [&] { return changePin(db_, in); });
    if (!outcome)
        return;
    if (*outcome == PinChangeOutcome::WrongOldPin) {
        showMessage(MessageIcon::Warning, QStringLiteral("PIN LAMA tidak valid!"), this);
        return;
    }
    clearAttemptsAfterPosting(db_, {in.txtNorek});
    pinChanged();
}

// The new PIN is stored: the visit ends and the student starts again with it.
void frmTransaksiGantiPin::pinChanged() {
    showMessage(MessageIcon::Information,
                QStringLiteral("Penggantian PIN SUKSES, Silahkan START TRANSACTION kembali!"),
                this);
    screen_.Bersih();
    screen_.MenuDisable();
    accept();
}

void openGantiPin(KioskScreen& screen, Connection& db) {
    frmTransaksiGantiPin form(screen, db, dynamic_cast<QWidget*>(&screen));
    dialogs().exec(form);
}

} // namespace kalinda
