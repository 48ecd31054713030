#include "frm_transaksi_tarik.h"

#include "app/busy.h"
#include "app/dialogs.h"
#include "app/helpers.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/pin_guard.h"
#include "app/typed_input.h"
#include "posting_outcome.h"
#include "product_payment.h"
#include "transfer.h"
#include "widgets/kiosk_style.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <tuple>

namespace kalinda {
namespace {

const QString kValid = QStringLiteral("VALID");
const QString kTidakValid = QStringLiteral("TIDAK VALID");

QLineEdit* box(QWidget* parent, const char* name, bool locked) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(locked);
    if (locked)
        e->setFocusPolicy(Qt::NoFocus);
    return e;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmTransaksiTarik::frmTransaksiTarik(KioskScreen& screen, Connection& db, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db) {
    setObjectName(QStringLiteral("frmTransaksiTarik"));
    setWindowTitle(kAppTitle);
    setStyleSheet(
        QStringLiteral("QLineEdit { font-size: 14pt; }"
                       "#txtNama, #txtKelas, #txtLimit { background: #d0d0d0; }"
                       "#txtKeterangan { background: #ffff00; }"
                       "#cmdSimpan { background: #1b7f4c; color: white; font-weight: bold; }"
                       "#cmdKeluar { background: #b3261e; color: white; font-weight: bold; }"));

    lblJudul = new QLabel(QStringLiteral("TARIK KE TABUNGAN"), this);
    lblJudul->setObjectName(QStringLiteral("lblJudul"));
    styleFormTitle(*lblJudul);
    lblSubJudul = new QLabel(
        QStringLiteral("Form ini untuk mentranfer saldo ke rekening tabungan lain"), this);
    lblSubJudul->setObjectName(QStringLiteral("lblSubJudul"));

    txtPin = box(this, "txtPin", false);
    maskInput(*txtPin);
    txtPin->setMaxLength(6);
    txtPin->setAlignment(Qt::AlignCenter);
    txtRekening = box(this, "txtRekening", false);
    txtRekening->setMaxLength(12);
    txtRekening->setAlignment(Qt::AlignCenter);
    txtNama = box(this, "txtNama", true);
    txtKelas = box(this, "txtKelas", true);
    txtKeterangan = box(this, "txtKeterangan", true);
    txtNominal = box(this, "txtNominal", false);
    txtNominal->setAlignment(Qt::AlignRight);
    txtNominal->setText(QStringLiteral("0"));
    txtLimit = box(this, "txtLimit", true);
    txtLimit->setAlignment(Qt::AlignRight);
    txtLimit->setText(QStringLiteral("0"));

    cmdSelect1 = button(this, "cmdSelect1", QStringLiteral("<>"));
    Command1 = button(this, "Command1", QStringLiteral("<>"));
    Command2 = button(this, "Command2", QStringLiteral("<>"));
    cmdSimpan = button(this, "cmdSimpan", QStringLiteral("PROSES"));
    cmdKeluar = button(this, "cmdKeluar", QStringLiteral("KELUAR"));
    for (QPushButton* small : {cmdSelect1, Command1, Command2})
        small->setFixedWidth(kTouchPixels);

    auto* grid = new QGridLayout;
    const std::tuple<const char*, QLineEdit*, QPushButton*> rows[] = {
        {"PIN", txtPin, cmdSelect1},          {"Rek. Tujuan", txtRekening, Command1},
        {"Nama Rek", txtNama, nullptr},       {"Kelas", txtKelas, nullptr},
        {"Ket. Rek", txtKeterangan, nullptr}, {"Nominal Rp.", txtNominal, Command2},
        {"Limit", txtLimit, nullptr},
    };
    int row = 0;
    for (const auto& [caption, edit, reset] : rows) {
        auto* label = new QLabel(QString::fromLatin1(caption), this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        if (reset)
            grid->addWidget(reset, row, 2);
        ++row;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdSimpan);
    buttons->addWidget(cmdKeluar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJudul);
    layout->addWidget(lblSubJudul);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    setMinimumWidth(560);

    setTabOrder(txtPin, txtRekening);
    setTabOrder(txtRekening, txtNominal);
    setTabOrder(txtNominal, cmdSimpan);
    setTabOrder(cmdSimpan, cmdKeluar);

    connect(txtRekening, &QLineEdit::textChanged, this, [this] { CekRekening(); });
    connect(txtNominal, &QLineEdit::textChanged, this, [this] { FormatTextBoxNumber(txtNominal); });
    connect(txtLimit, &QLineEdit::textChanged, this, [this] { FormatTextBoxNumber(txtLimit); });
    connect(cmdSelect1, &QPushButton::clicked, this, [this] {
        txtPin->clear();
        txtPin->setFocus();
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        txtRekening->clear();
        txtNama->clear();
        txtKelas->clear();
        txtKeterangan->clear();
        txtRekening->setFocus();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        txtNominal->setText(QStringLiteral("0"));
        txtNominal->setFocus();
    });
    connect(cmdSimpan, &QPushButton::clicked, this, [this] { cmdSimpan_Click(); });
    connect(cmdKeluar, &QPushButton::clicked, this, &QDialog::reject);

    Form_Load();
}

void frmTransaksiTarik::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    activateWindow();
    txtPin->setFocus(Qt::OtherFocusReason);
}

void frmTransaksiTarik::Form_Load() {
    txtLimit->setText(screen_.visit()[VisitState::txtQuota2]);
    cekLimitTransfer();
}

void frmTransaksiTarik::cekLimitTransfer() {
    // A failure keeps the limit copied from the main screen.
    try {
        const QString limit = transferLimitText(db_, screen_.visit()[VisitState::txtNorek]);
        if (!limit.isNull())
            txtLimit->setText(limit);
    } catch (const DbError&) {
    }
}

void frmTransaksiTarik::CekRekening() {
    const QString trimmed = trimBlanks(txtRekening->text());
    if (trimmed != txtRekening->text()) {
        txtRekening->setText(trimmed); // changes the text again, which looks it up
        return;
    }
    if (trimmed.size() != 12)
        return;
    std::optional<TransferTarget> target;
    try {
        target = lookupTransferTarget(db_, trimmed);
    } catch (const DbError& e) {
        // An earlier verdict must not stand beside a number nobody has checked.
        txtKeterangan->setText(kTidakValid);
        showDatabaseError(QStringLiteral("No. Rekening tujuan tidak dapat diperiksa."), e, this);
        return;
    }
    if (!target) {
        txtKeterangan->setText(kTidakValid);
        return;
    }
    txtNama->setText(target->Nama);
    txtKelas->setText(target->Kelas);
    txtKeterangan->setText(kValid);
}

void frmTransaksiTarik::refuse(const QString& message, QLineEdit* focus) {
    showMessage(MessageIcon::Warning, message, this);
    focus->setFocus();
}

void frmTransaksiTarik::cmdSimpan_Click() {
    const QString rekening = trimBlanks(txtRekening->text());
    const VisitState& v = screen_.visit();
    const QString tujuanTidakValid = QStringLiteral("No. Rekening tujuan tidak valid!");
    if (txtPin->text().isEmpty())
        return refuse(QStringLiteral("PIN tidak boleh kosong!"), txtPin);
    if (rekening.isEmpty())
        return refuse(QStringLiteral("No. Rekening tujuan tidak boleh kosong!"), txtRekening);
    if (rekening.size() != 12 || txtRekening->text() == v[VisitState::NoRekening] ||
        trimBlanks(txtNama->text()).isEmpty())
        return refuse(tujuanTidakValid, txtRekening);
    if (txtKeterangan->text() != kValid)
        return refuse(QStringLiteral("No. Rekening tidak valid!"), txtRekening);
    // Text that is not a number is no valid amount either.
    const Rupiah amount = parseTypedAmount(txtNominal->text()).value_or(0);
    if (amount <= 0)
        return refuse(kNominalTidakValid, txtNominal);
    if (parseRupiah(txtLimit->text()).value_or(0) < amount)
        return refuse(QStringLiteral("Nominal Rp. melebihi limit transfer!"), txtNominal);

    std::optional<Rupiah> active;
    try {
        if (!admitPinAttempt(db_, {v[VisitState::NoRekening]}, logTransaksiHead(v),
                             kTarikKeTabungan, this))
            return;
        active = checkTransferPin(db_, v[VisitState::NoRekening], txtPin->text());
        if (active)
            clearPinAttempts(db_, {v[VisitState::NoRekening]});
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("PIN tidak dapat diperiksa."), e, this);
        txtPin->setFocus();
        return;
    }
    if (!active)
        return refuse(QStringLiteral("PIN tidak valid!"), txtPin);
    screen_.visit().set(VisitState::txtSaldo, plainDigits(*active));
    ValidasiTransaksi();
}

void frmTransaksiTarik::ValidasiTransaksi() {
    const BusyHold busy; // the idle clock waits for the posting and its receipt
    VisitState& v = screen_.visit();
    TransferInput in;
    fillPayer(in, v);
    in.txtRekening = txtRekening->text();
    in.targetName = txtNama->text();
    in.channel = parameters().AppParam.Channel;
    in.amount = parseTypedAmount(txtNominal->text()).value_or(0);
    in.balance = parseRupiah(v[VisitState::txtSaldo]).value_or(0);

    PostingReport report;
    report.failedText = QStringLiteral("Transfer gagal, tidak ada yang dibukukan.");
    report.visit = &screen_;
    // Printed if the outcome is in doubt and the transfer later turns out stored.
    ReceiptValues receipt = receiptOfVisit(v);
    receipt.kind = kTarikKeTabungan;
    receipt.target = in.txtRekening;
    receipt.amount = txtNominal->text();
    report.receipt = receipt;
    const auto posting =
        runPosting<TransferResult>(db_, this, report, [&] { return postTransfer(db_, in); });
    if (!posting)
        return;
    const TransferResult& result = *posting;
    switch (result.outcome) {
    case TransferResult::Outcome::Posted:
        posted(result);
        return;
    case TransferResult::Outcome::InsufficientBalance:
        // Another kiosk may have spent from the account since the PIN check.
        v.set(VisitState::txtSaldo, plainDigits(result.balanceBefore));
        showMessage(MessageIcon::Warning, kSaldoTidakMencukupi, this);
        return;
    case TransferResult::Outcome::OverLimit:
        txtLimit->setText(plainDigits(result.limit.value_or(0)));
        screen_.cekLimitTransfer();
        return refuse(QStringLiteral("Nominal Rp. melebihi limit transfer!"), txtNominal);
    case TransferResult::Outcome::TargetInvalid:
        txtKeterangan->setText(kTidakValid);
        return refuse(QStringLiteral("No. Rekening tidak valid!"), txtRekening);
    }
}

void frmTransaksiTarik::posted(const TransferResult& result) {
    VisitState& v = screen_.visit();
    v.set(VisitState::TransID, result.transId);
    v.set(VisitState::JenisTrans, kTarikKeTabungan);
    v.set(VisitState::Nominal, txtNominal->text());
    v.set(VisitState::RekTujuan, txtRekening->text());
    v.set(VisitState::txtSaldo, formatRupiah(result.balanceAfter));
    // The transfer is stored: printing problems are reported by the printer code and end here.
    screen_.CetakNota();
    screen_.cekLimitTransfer();
    showMessage(MessageIcon::Information, QStringLiteral("Transaksi Sukses"), this);
    accept();
}

void showTransfer(KioskScreen& screen, Connection& db) {
    frmTransaksiTarik form(screen, db, dynamic_cast<QWidget*>(&screen));
    dialogs().exec(form);
}

} // namespace kalinda
