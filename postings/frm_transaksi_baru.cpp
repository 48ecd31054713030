#include "frm_transaksi_baru.h"

#include "app/busy.h"
#include "app/dialogs.h"
#include "app/helpers.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/pin_guard.h"
#include "app/typed_input.h"
#include "identifiers.h"
#include "posting_outcome.h"
#include "product_payment.h"
#include "widgets/kiosk_style.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalinda {
namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

QLineEdit* box(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

frmTransaksiBaru::frmTransaksiBaru(KioskScreen& screen, Connection& db, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db) {
    setObjectName(QStringLiteral("frmTransaksiBaru"));
    setWindowTitle(kAppTitle);
    setStyleSheet(QStringLiteral("#txtJenis { background: yellow; font-weight: bold; }"
                                 "QLineEdit { font-size: 14pt; }"
                                 "QPushButton { font-size: 12pt; font-weight: bold; }"
                                 "#cmdSimpan { background: #1b7f4c; color: white; }"
                                 "#cmdKeluar { background: #b3261e; color: white; }"));

    lblJudul = new QLabel(QStringLiteral("JUDUL"), this);
    lblJudul->setObjectName(QStringLiteral("lblJudul"));
    styleFormTitle(*lblJudul);
    lblJudul->setAlignment(Qt::AlignCenter);
    lblSubJudul = new QLabel(QStringLiteral("Sub Judul"), this);
    lblSubJudul->setObjectName(QStringLiteral("lblSubJudul"));
    lblSubJudul->setAlignment(Qt::AlignCenter);

    txtJenis = box(this, "txtJenis");
    txtJenis->setAlignment(Qt::AlignCenter);

    txtNominal = box(this, "txtNominal");
    txtNominal->setAlignment(Qt::AlignRight);
    txtNominal->setText(QStringLiteral("0"));
    auto* nominalLabel = new QLabel(QStringLiteral("NOMINAL RP."), this);
    nominalLabel->setBuddy(txtNominal);
    cmdSelect1 = button(this, "cmdSelect1", QStringLiteral("<>"));
    cmdSelect1->setFixedWidth(kTouchPixels);

    txtPin = box(this, "txtPin");
    maskInput(*txtPin);
    txtPin->setMaxLength(6);
    txtPin->setAlignment(Qt::AlignCenter);
    auto* pinLabel = new QLabel(QStringLiteral("PIN TRANSAKSI"), this);
    pinLabel->setBuddy(txtPin);
    Command1 = button(this, "Command1", QStringLiteral("<>"));
    Command1->setFixedWidth(kTouchPixels);

    cmdSimpan = button(this, "cmdSimpan", QStringLiteral("PROSES"));
    cmdKeluar = button(this, "cmdKeluar", QStringLiteral("KELUAR"));
    cmdSimpan->setMinimumHeight(kTouchPixels);
    cmdKeluar->setMinimumHeight(kTouchPixels);

    auto* inputs = new QGridLayout;
    inputs->addWidget(nominalLabel, 0, 0);
    inputs->addWidget(txtNominal, 0, 1);
    inputs->addWidget(cmdSelect1, 0, 2);
    inputs->addWidget(pinLabel, 1, 0);
    inputs->addWidget(txtPin, 1, 1);
    inputs->addWidget(Command1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSimpan);
    buttons->addWidget(cmdKeluar);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJudul);
    layout->addWidget(lblSubJudul);
    layout->addWidget(txtJenis);
    layout->addLayout(inputs);
    layout->addLayout(buttons);
    setMinimumWidth(520);

    // The amount comes first in the tab order.
    setTabOrder(txtNominal, txtPin);
    setTabOrder(txtPin, cmdSimpan);
    setTabOrder(cmdSimpan, cmdKeluar);
    setTabOrder(cmdKeluar, txtJenis);

    connect(txtNominal, &QLineEdit::textChanged, this, [this] { FormatTextBoxNumber(txtNominal); });
    connect(cmdSelect1, &QPushButton::clicked, this, [this] {
        txtNominal->setText(QStringLiteral("0"));
        focusBox(txtNominal);
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        txtPin->clear();
        focusBox(txtPin);
    });
    connect(cmdSimpan, &QPushButton::clicked, this, [this] { cmdSimpan_Click(); });
    connect(cmdKeluar, &QPushButton::clicked, this, &QDialog::reject);
}

void frmTransaksiBaru::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    focusBox(txtNominal);
}

void frmTransaksiBaru::focusBox(QLineEdit* box) {
    activateWindow();
    box->setFocus(Qt::OtherFocusReason);
}

FeePaymentInput frmTransaksiBaru::input() const {
    const VisitState& v = screen_.visit();
    FeePaymentInput in;
    fillPayer(in, v);
    in.judul = lblJudul->text();
    in.jenis = txtJenis->text();
    in.channel = parameters().AppParam.Channel;
    in.amount = parseTypedAmount(txtNominal->text()).value_or(0);
    in.balance = parseRupiah(v[VisitState::txtSaldo]).value_or(0);
    return in;
}

void frmTransaksiBaru::cmdSimpan_Click() {
    txtPin->setText(trimBlanks(txtPin->text()));
    // Text that is no number is no valid amount either.
    const std::optional<Rupiah> amount = parseTypedAmount(txtNominal->text());
    if (!amount || *amount <= 0) {
        showMessage(MessageIcon::Warning, QStringLiteral("Nominal Rp. tidak valid!"), this);
        focusBox(txtNominal);
        return;
    }
    if (txtPin->text().isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("PIN harus diisi!"), this);
        focusBox(txtPin);
        return;
    }
    FeePaymentInput in = input();
    try {
        const bool validPin = ValidasiPIN(in);
        if (in.balance - in.amount < 0) {
            showMessage(MessageIcon::Warning, kSaldoTidakMencukupi, this);
            return;
        }
        if (!validPin)
            return; // ValidasiPIN said why, if anything
        // Looked up afresh for every attempt: nothing of a refused one is reused.
        if (const ProductSlot* purpose = parameters().ProductAccount.forPurpose(view)) {
            in.rekTujuan = purpose->Rekening;
            in.purposeName = purpose->Nama;
        }
        if (in.rekTujuan.isEmpty()) {
            showMessage(MessageIcon::Warning, QStringLiteral("Rekening tujujan kosong!"), this);
            return;
        }
        ValidasiTransaksi(in);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Transaksi gagal, tidak ada yang dibukukan."), e, this);
    }
}

bool frmTransaksiBaru::ValidasiPIN(const FeePaymentInput& in) {
    // Anything but six characters is not checked and not answered.
    if (txtPin->text().size() != 6)
        return false;
    if (!admitPinAttempt(db_, {in.txtNorek}, logTransaksiHead(screen_.visit()), in.judul, this))
        return false;
    if (transactionPinMatches(db_, in.txtNorek, txtPin->text())) {
        clearPinAttempts(db_, {in.txtNorek});
        return true;
    }
    showMessage(MessageIcon::Warning, kPinTidakSesuai, this);
    logFeePinRefused(db_, in);
    return false;
}

void frmTransaksiBaru::ValidasiTransaksi(const FeePaymentInput& in) {
    const BusyHold busy; // the idle clock waits for the posting and its receipt
    PostingReport report;
    report.failedText = QStringLiteral("Transaksi gagal, tidak ada yang dibukukan.");
    report.visit = &screen_;
    // Printed if the outcome is in doubt and the payment later turns out stored.
    ReceiptValues receipt = receiptOfVisit(screen_.visit());
    receipt.kind = lblJudul->text();
    receipt.target = in.rekTujuan;
    receipt.amount = txtNominal->text();
    report.receipt = receipt;
    const auto result =
        runPosting<FeePaymentResult>(db_, this, report, [&] { return postFeePayment(db_, in); });
    if (!result)
        return;
    if (result->outcome != FeePaymentResult::Outcome::Posted) {
        showMessage(MessageIcon::Warning, kFeeSaldoTidakMencukupi, this);
        return;
    }
    posted(in, *result);
}

void frmTransaksiBaru::posted(const FeePaymentInput& in, const FeePaymentResult& result) {
    VisitState& v = screen_.visit();
    v.set(VisitState::txtSaldo, formatRupiah(result.balanceAfter));
    v.set(VisitState::JenisTrans, lblJudul->text());
    v.set(VisitState::RekTujuan, in.rekTujuan);
    v.set(VisitState::Nominal, txtNominal->text());
    v.set(VisitState::TransID, result.debitId);
    // The posting is stored: printing problems are reported by the printer code and end here.
    screen_.CetakNota();
    showMessage(MessageIcon::Information, QStringLiteral("TRANSAKSI SUKSES"), this);
    accept();
}

void openFeePayment(KioskScreen& screen, Connection& db, const QString& view) {
    struct Titles {
        const char* view;
        const char* judul;
        const char* subJudul;
    };
    static const Titles titles[] = {
        {"SPP", "SCHOOL PAYMENT", "Form ini untuk pembayaran uang sekolah"},
        {"INFAQ", "INFAQ", "Form ini untuk pembayaran infaq"},
        {"WAKAF", "WAKAF", "Form ini untuk pembayaran wakaf"},
        {"MAKAN", "UANG MAKAN", "Form ini untuk pembayaran uang makan"},
    };
    frmTransaksiBaru form(screen, db, dynamic_cast<QWidget*>(&screen));
    form.view = view;
    for (const Titles& t : titles) {
        if (view == QLatin1String(t.view)) {
            form.lblJudul->setText(QString::fromLatin1(t.judul));
            form.lblSubJudul->setText(QString::fromLatin1(t.subJudul));
        }
    }
    form.txtJenis->setText(form.lblJudul->text());
    dialogs().exec(form);
}

} // namespace kalinda
