#include "app/money.h"
#include "app/server_switch.h"
#include "frm_transaksi.h"
#include "photo.h"
#include "postings/posting_outcome.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "printing/print.h"
#include "printing/receipt.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// The visit on the screen: its boxes, clearing them, and refreshing the balance and limits.

namespace kalinda {

void frmTransaksi::visitChanged(VisitState::Field field) {
    const QString& value = visit_[field];
    if (QLineEdit* edit = boxes_[field]) {
        if (edit->text() != value)
            edit->setText(value);
    } else if (field == VisitState::cboJenis && cboJenis->currentText() != value) {
        cboJenis->setCurrentIndex(cboJenis->findText(value));
    }
}

void frmTransaksi::showServer() {
    ServerSwitch* server = serverSwitch();
    const bool shown = server && server->serves(db_) && server->movesByItself();
    lblServer->setVisible(shown);
    if (shown)
        lblServer->setText(QStringLiteral("Server: ") + server->caption());
}

void frmTransaksi::Bersih() {
    visit_.set(VisitState::txtNama, QString());
    visit_.set(VisitState::txtAlamat, QString());
    visit_.set(VisitState::txtKelas, QString());
    visit_.set(VisitState::txtRfid, QString());
    visit_.set(VisitState::txtSaldo, QStringLiteral("0"));
    visit_.set(VisitState::txtNominal, QStringLiteral("0"));
    visit_.set(VisitState::txtNorek, QString());
    picFoto->clearPicture();
    visit_.set(VisitState::NoCif, QString());
    visit_.set(VisitState::NoRekening, QString());
    visit_.set(VisitState::Rfid, QString());
    visit_.set(VisitState::txtCif, QString());
    txtNominal->setReadOnly(false);
    visit_.set(VisitState::txtNominal, QString());
    visit_.set(VisitState::txtQuota1, QStringLiteral("0"));
    visit_.set(VisitState::txtQuota2, QStringLiteral("0"));
    forgetLastReceipt(); // a copy is only ever of this visit's receipt
    visitEnded();
}

void frmTransaksi::CekSaldoReal() {
    Sql s;
    s << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(visit_[VisitState::txtNorek])
      << "', CURDATE()) as Saldo";
    Recordset rs = db_.open(s);
    if (!rs.eof())
        visit_.set(VisitState::txtSaldo, formatRupiah(toRupiah(rs.value(QStringLiteral("Saldo")))));
}

void frmTransaksi::cekLimitTransfer() {
    // Failures leave the limit shown as it was.
    try {
        visit_.set(VisitState::txtQuota2, transferLimitText(db_, visit_[VisitState::txtNorek]));
    } catch (const DbError&) {
    }
}

void frmTransaksi::cekKuotaSisa() {
    // The posting is stored whatever happens here; a failure leaves the quota as it was.
    try {
        visit_.set(VisitState::txtQuota1,
                   formatRupiah(remainingQuota(db_, visit_[VisitState::txtNorek])));
    } catch (const DbError&) {
    }
}

void frmTransaksi::CetakNota() {
    // Every posting that moved money comes here right after its COMMIT: the shop's LIMIT is
    // copied from Quota-1, which must be today's quota, not the one of the card tap.
    cekKuotaSisa();
    kalinda::CetakNota(db_, receiptOfVisit(visit_), this, receiptClock_);
}

void frmTransaksi::TampilFoto() {
    picFoto->clearPicture();
    picFoto->setPicture(loadHolderPhoto(db_, txtCif->text()));
}

} // namespace kalinda
