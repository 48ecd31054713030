#include "frm_transaksi_block.h"

#include "app/dialogs.h"
#include "app/pin_guard.h"
#include "block_account.h"
#include "entry_form.h"
#include "posting_outcome.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kalinda {

frmTransaksiBlock::frmTransaksiBlock(KioskScreen& screen, Connection& db, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db) {
    setObjectName(QStringLiteral("frmTransaksiBlock"));
    EntryForm form(*this, QStringLiteral("PIN BLOCKING"),
                   QStringLiteral("Form ini untuk blokir PIN rekening tabungan"));
    lblJudul = form.lblJudul;
    lblSubJudul = form.lblSubJudul;
    txtReg = form.addEntry(QStringLiteral("ID SIPARDO"), "txtReg", cmdSelect1, "cmdSelect1");
    txtReg->setProperty(kKeypadProperty, QStringLiteral("text")); // letters and digits
    txtPin = form.addEntry(QStringLiteral("PIN TRANSAKSI"), "txtPin", Command1, "Command1");
    maskInput(*txtPin);
    txtPin->setMaxLength(6);
    form.addButtons(cmdSimpan, cmdKeluar);
    txtReg->setFocus(Qt::OtherFocusReason);
    connect(cmdSimpan, &QPushButton::clicked, this, [this] { cmdSimpan_Click(); });
}

void frmTransaksiBlock::cmdSimpan_Click() {
    if (txtReg->text().isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("ID SIPARDO harus diisi!"), this);
        txtReg->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (txtPin->text().isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("PIN harus diisi!"), this);
        txtPin->setFocus(Qt::OtherFocusReason);
        return;
    }
    CekRegSiswa();
}

void frmTransaksiBlock::CekRegSiswa() {
    // The main screen's customer only fills the log row of a refusal.
    const VisitState& v = screen_.visit();
    BlockInput in;
    in.txtReg = txtReg->text();
    in.txtPin = txtPin->text();
    in.txtNorek = v[VisitState::txtNorek];
    in.txtRfid = v[VisitState::txtRfid];
    in.txtNama = v[VisitState::txtNama];
    in.txtKelas = v[VisitState::txtKelas];
    PostingReport report;
    report.failedText = QStringLiteral("Account tidak dapat diblokir.");
    // Counted per registration id and against the accounts it names, so that this form is no
    // way around the lock of the card form.
    QStringList counted{registrationPinKey(in.txtReg)};
    try {
        if (PinGuardRules::current().active())
            counted += registrationAccounts(db_, in.txtReg);
        if (!admitPinAttempt(db_, counted, logTransaksiHead(v), QStringLiteral("BLOKIR PIN"), this))
            return;
    } catch (const DbError& e) {
        showDatabaseError(report.failedText, e, this);
        return;
    }
    const auto result =
        runPosting<BlockResult>(db_, this, report, [&] { return blockAccount(db_, in); });
    if (!result)
        return;
    if (result->outcome != BlockResult::Outcome::Blocked) {
        showMessage(MessageIcon::Warning, QStringLiteral("REG/PIN tidak valid!"), this);
        return;
    }
    clearAttemptsAfterPosting(db_, {counted.first(), result->account});
    accountBlocked();
}

// The block is stored; the main screen keeps whatever visit it shows.
void frmTransaksiBlock::accountBlocked() {
    showMessage(MessageIcon::Warning,
                QStringLiteral("Blokir ACCOUNT SUKSES! \r\nSilahkan ke Bag. Administrasi untuk "
                               "PIN BARU!"),
                this);
    accept();
}

void openBlock(KioskScreen& screen, Connection& db) {
    frmTransaksiBlock form(screen, db, dynamic_cast<QWidget*>(&screen));
    dialogs().exec(form);
}

} // namespace kalinda
