#include "frm_input_pin.h"

#include "app/busy.h"
#include "app/dialogs.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/pin_guard.h"
#include "app/typed_input.h"
#include "card_lookup.h"
#include "postings/posting_outcome.h"
#include "postings/product_payment.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace kalinda {

frmInputPin::frmInputPin(KioskScreen& screen, Connection& db, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db) {
    setObjectName(QStringLiteral("frmInputPin"));
    setWindowTitle(kAppTitle);

    lblInfo = new QLabel(QStringLiteral("TEMPELKAN ID CARD ANDA!"), this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setAlignment(Qt::AlignCenter);
    QFont f = lblInfo->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 6);
    lblInfo->setFont(f);

    txtRfid = new QLineEdit(this);
    txtRfid->setObjectName(QStringLiteral("txtRfid"));
    maskInput(*txtRfid);
    txtRfid->setAlignment(Qt::AlignCenter);
    txtRfid->setFont(f);
    lblInfo->setBuddy(txtRfid);

    // The buttons never take the keyboard focus: the card reader types into whatever has it.
    cmdReset = new QPushButton(QStringLiteral("<>"), this);
    cmdReset->setObjectName(QStringLiteral("cmdReset"));
    cmdReset->setFocusPolicy(Qt::NoFocus);
    cmdKeluar = new QPushButton(QStringLiteral("KELUAR"), this);
    cmdKeluar->setObjectName(QStringLiteral("cmdKeluar"));
    cmdKeluar->setFocusPolicy(Qt::NoFocus);
    cmdKeluar->setAutoDefault(false);
    cmdReset->setAutoDefault(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    auto* entry = new QHBoxLayout;
    entry->addWidget(txtRfid, 1);
    entry->addWidget(cmdReset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addLayout(entry);
    layout->addWidget(cmdKeluar, 0, Qt::AlignRight);
    setMinimumWidth(480);

    connect(txtRfid, &QLineEdit::textChanged, this, [this] { txtRfid_Change(); });
    connect(cmdReset, &QPushButton::clicked, this, [this] { cmdReset_Click(); });
    connect(cmdKeluar, &QPushButton::clicked, this, &QDialog::reject);
}

void frmInputPin::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    focusEntry();
}

void frmInputPin::focusEntry() {
    activateWindow();
    txtRfid->setFocus(Qt::OtherFocusReason);
}

void frmInputPin::cmdReset_Click() {
    txtRfid->clear();
    focusEntry();
}

void frmInputPin::txtRfid_Change() {
    if (view == QLatin1String("Start"))
        CekKartu();
    else if (view == QLatin1String("Bayar"))
        CekPinBayar();
}

void frmInputPin::CekKartu() {
    if (txtRfid->text().size() != 10)
        return;
    const QString card = txtRfid->text();
    const QString refused = QStringLiteral("PIN Tidak sesuai atau tabungan tidak AKTIF");
    // Blanks, control characters and look-alikes name no card: answered as an unknown card, no
    // PIN asked.
    if (!isLookupKey(card)) {
        showMessage(MessageIcon::Warning, refused, this);
        focusEntry();
        return;
    }
    // The accounts the card names while PIN attempts are counted: whichever of them the PIN
    // opens, the attempt counted against it.
    QStringList counted;
    try {
        if (PinGuardRules::current().active())
            counted = cardAccounts(db_, card);
        for (const QString& account : counted) {
            if (refuseLockedPin(db_, account, logTransaksiHead(account, card, {}, {}),
                                QStringLiteral("START TRANSACTION"), this)) {
                focusEntry();
                return;
            }
        }
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data kartu tidak dapat dibaca."), e, this);
        focusEntry();
        return;
    }
    const auto pin =
        dialogs().input(this, QStringLiteral("Masukkan PIN!"), QStringLiteral("Input password"),
                        QStringLiteral("0"), InputEcho::Password);
    if (!pin || pin->isEmpty()) {
        focusEntry();
        return;
    }
    if (settlePendingPosting(db_, this) == Settlement::StillUnknown) {
        focusEntry();
        return;
    }
    std::optional<CardAccount> account;
    try {
        if (!counted.isEmpty() &&
            !admitPinAttempt(db_, counted, logTransaksiHead(counted.first(), card, {}, {}),
                             QStringLiteral("START TRANSACTION"), this)) {
            focusEntry();
            return;
        }
        account = lookupCard(db_, card, *pin);
        if (account)
            clearPinAttempts(db_, {account->tab_rekening});
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data kartu tidak dapat dibaca."), e, this);
        focusEntry();
        return;
    }
    if (!account) {
        showMessage(MessageIcon::Warning, refused, this);
        focusEntry();
        return;
    }
    offerSettledReceipt(db_, account->tab_rekening);
    // The main screen reacts to each box as it is filled (photo, menu), so the order matters.
    VisitState& v = screen_.visit();
    v.set(VisitState::NoCif, account->tab_nasabah);
    v.set(VisitState::txtCif, account->tab_nasabah);
    // The card as its row stores it, whatever case the reader typed: postings compare it exactly.
    v.set(VisitState::Rfid, account->tab_rfid);
    v.set(VisitState::NoRekening, account->tab_rekening);
    v.set(VisitState::txtNorek, v[VisitState::NoRekening]);
    v.set(VisitState::txtRfid, v[VisitState::Rfid]);
    v.set(VisitState::txtNama, account->Nama);
    v.set(VisitState::txtAlamat, account->Alamat);
    v.set(VisitState::txtKelas, account->Kelas);
    v.set(VisitState::txtSaldo, formatRupiah(account->tab_saldo_efektif));
    v.set(VisitState::txtQuota1, formatRupiah(account->KuotaSisa));
    v.set(VisitState::txtQuota2, formatRupiah(account->LimitTransfer));
    screen_.MenuEnable();
    screen_.cekLimitTransfer();
    accept();
}

void frmInputPin::CekPinBayar() {
    if (txtRfid->text().size() != 6)
        return;
    // A payment whose outcome was in doubt is settled first; the student then decides anew.
    const Settlement settlement = settlePendingPosting(db_, this);
    if (settlement == Settlement::SettledStored) {
        reject(); // that payment is made: one more PIN would pay it again
        return;
    }
    if (settlement != Settlement::NothingPending) {
        txtRfid->clear();
        focusEntry();
        return;
    }
    VisitState& v = screen_.visit();
    try {
        if (!admitPinAttempt(db_, {v[VisitState::txtNorek]}, logTransaksiHead(v),
                             v[VisitState::cboJenis], this)) {
            lblInfo->setText(QStringLiteral("PIN TERKUNCI!"));
            return;
        }
        const auto active = checkPaymentPin(db_, v[VisitState::txtNorek], txtRfid->text());
        if (active)
            clearPinAttempts(db_, {v[VisitState::txtNorek]});
        if (!active) {
            lblInfo->setText(QStringLiteral("PIN TIDAK SESUAI!"));
            db_.execute(productPaymentLog(
                v[VisitState::txtNorek], v[VisitState::txtRfid], v[VisitState::txtNama],
                v[VisitState::txtKelas], v[VisitState::cboJenis],
                parseRupiah(v[VisitState::txtNominal]).value_or(0), lblInfo->text()));
            focusEntry();
            return;
        }
        SaldoAwal = formatRupiah(*active);
        v.set(VisitState::txtSaldo, SaldoAwal);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("PIN tidak dapat diperiksa."), e, this);
        focusEntry();
        return;
    }
    if (ValidasiTransaksi) {
        const BusyHold posting;
        ValidasiTransaksi(*this);
    }
    if (isVisible())
        focusEntry();
}

void payProduct(KioskScreen& screen, frmInputPin& form, Connection& db) {
    VisitState& v = screen.visit();
    ProductPaymentInput in;
    fillPayer(in, v);
    in.cboJenis = v[VisitState::cboJenis];
    in.txtRekTujuan = v[VisitState::txtRekTujuan];
    in.channel = parameters().AppParam.Channel;
    in.amount = parseTypedAmount(v[VisitState::txtNominal]).value_or(0);
    in.balance = parseRupiah(v[VisitState::txtSaldo]).value_or(0);

    PostingReport report;
    report.failedText = QStringLiteral("Transaksi gagal, tidak ada yang dibukukan.");
    report.visit = &screen;
    // Printed if the outcome is in doubt and the payment later turns out stored.
    ReceiptValues receipt = receiptOfVisit(v);
    receipt.kind = v[VisitState::cboJenis];
    receipt.target = v[VisitState::txtRekTujuan];
    receipt.amount = v[VisitState::txtNominal];
    report.receipt = receipt;

    const auto result = runPosting<ProductPaymentResult>(
        db, &form, report, [&] { return postProductPayment(db, in); });
    if (!result) {
        form.lblInfo->setText(pendingPostingId() ? QStringLiteral("TRANSAKSI BELUM PASTI")
                                                 : QStringLiteral("TRANSAKSI GAGAL"));
        return;
    }
    if (result->outcome != ProductPaymentResult::Outcome::Posted) {
        form.lblInfo->setText(kSaldoTidakMencukupi);
        return;
    }
    productPaid(screen, form, *result);
}

void productPaid(KioskScreen& screen, frmInputPin& form, const ProductPaymentResult& result) {
    VisitState& v = screen.visit();
    form.lblInfo->setText(kTransaksiBerhasil);
    v.set(VisitState::TransID, result.transId);
    v.set(VisitState::Nominal, v[VisitState::txtNominal]);
    v.set(VisitState::RekTujuan, v[VisitState::txtRekTujuan]);
    form.txtRfid->hide();
    v.set(VisitState::txtNominal, QStringLiteral("0"));
    v.set(VisitState::txtSaldo, formatRupiah(result.balanceAfter));
    v.set(VisitState::JenisTrans, v[VisitState::cboJenis]);
    // The posting is stored: printing problems are reported by the printer code and end here.
    screen.CetakNota();
    showMessage(MessageIcon::Information, QStringLiteral("Transaksi Sukses"), &form);
    form.accept();
}

} // namespace kalinda
