#include "frm_transaksi_kirna.h"

#include "app/busy.h"
#include "app/dialogs.h"
#include "app/helpers.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/pin_guard.h"
#include "identifiers.h"
#include "posting_outcome.h"
#include "widgets/kiosk_style.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kalinda {
namespace {

// Cart columns: header, width in twips, alignment.
struct CartColumn {
    const char* header;
    int widthTwips;
    Qt::Alignment alignment;
};
constexpr CartColumn kCartColumns[] = {
    {"", 1, Qt::AlignLeft | Qt::AlignVCenter},
    {"Kode", 800, Qt::AlignHCenter | Qt::AlignVCenter},
    {"Barang", 6500, Qt::AlignLeft | Qt::AlignVCenter},
    {"Harga", 1700, Qt::AlignRight | Qt::AlignVCenter},
    {"Qty", 800, Qt::AlignHCenter | Qt::AlignVCenter},
    {"Jumlah", 1700, Qt::AlignRight | Qt::AlignVCenter},
};

// 15 twips to the pixel at 96 dots per inch; the first column stays one pixel wide.
int twipsToPixels(int twips) {
    return std::max(1, (twips + 7) / 15);
}

QLineEdit* readOnlyBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(QStringLiteral("0"), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
}

// The hourglass-with-arrow pointer while the order is stored and paid.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

frmTransaksiKirna::frmTransaksiKirna(KioskScreen& screen, Connection& db, QWidget* parent,
                                     ShopClock clock, std::function<QDate()> today)
    : QDialog(parent)
    , screen_(screen)
    , db_(db)
    , clock_(std::move(clock))
    , today_(std::move(today)) {
    setObjectName(QStringLiteral("frmTransaksiKirna"));
    setWindowTitle(kAppTitle);
    buildControls();
    Form_Load();
}

void frmTransaksiKirna::buildControls() {
    lblJudul = new QLabel(kShopOrderTitle, this);
    lblJudul->setObjectName(QStringLiteral("lblJudul"));
    styleFormTitle(*lblJudul);
    lblSubJudul =
        new QLabel(QStringLiteral("Form ini untuk melakukan transaksi order KIRNA"), this);
    lblSubJudul->setObjectName(QStringLiteral("lblSubJudul"));

    cboBarang = new QComboBox(this);
    cboBarang->setObjectName(QStringLiteral("cboBarang"));
    txtHarga = readOnlyBox(this, "txtHarga");
    cboQty = new QComboBox(this);
    cboQty->setObjectName(QStringLiteral("cboQty"));
    txtJumlah = readOnlyBox(this, "txtJumlah");
    cmdInsert = button(this, "cmdInsert", QStringLiteral("=> KERANJANG"));
    cmdHapus = button(this, "cmdHapus", QStringLiteral("CLEAR"));

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setMinimumHeight(200);

    txtTotalQty = readOnlyBox(this, "txtTotalQty");
    txtTotalHarga = readOnlyBox(this, "txtTotalHarga");
    txtLimit = readOnlyBox(this, "txtLimit");
    cboKirim = new QComboBox(this);
    cboKirim->setObjectName(QStringLiteral("cboKirim"));
    txtPin = new QLineEdit(this);
    txtPin->setObjectName(QStringLiteral("txtPin"));
    maskInput(*txtPin);
    txtPin->setMaxLength(6);
    Command1 = button(this, "Command1", QStringLiteral("<>"));
    cmdBayar = button(this, "cmdBayar", QStringLiteral("BAYAR"));
    cmdKeluar = button(this, "cmdKeluar", QStringLiteral("KELUAR"));

    auto* grid = new QGridLayout;
    int row = 0;
    auto labelled = [&](const QString& caption, QWidget* box, int column) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        grid->addWidget(label, row, column);
        grid->addWidget(box, row, column + 1);
    };
    labelled(QStringLiteral("Barang"), cboBarang, 0);
    ++row;
    labelled(QStringLiteral("Harga / pcs"), txtHarga, 0);
    labelled(QStringLiteral("Qty"), cboQty, 2);
    ++row;
    labelled(QStringLiteral("Jumlah"), txtJumlah, 0);
    auto* cartButtons = new QHBoxLayout;
    cartButtons->addWidget(cmdInsert);
    cartButtons->addWidget(cmdHapus);
    grid->addLayout(cartButtons, row, 2, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* totals = new QGridLayout;
    row = 0;
    auto total = [&](const QString& caption, QWidget* box) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(box);
        totals->addWidget(label, row, 0);
        totals->addWidget(box, row, 1);
        ++row;
    };
    total(QStringLiteral("QTY"), txtTotalQty);
    total(QStringLiteral("TOTAL"), txtTotalHarga);
    total(QStringLiteral("LIMIT"), txtLimit);
    total(QStringLiteral("Kirim"), cboKirim);
    auto* pinRow = new QHBoxLayout;
    pinRow->addWidget(txtPin, 1);
    pinRow->addWidget(Command1);
    auto* pinLabel = new QLabel(QStringLiteral("PIN TRANSAKSI"), this);
    pinLabel->setBuddy(txtPin);
    totals->addWidget(pinLabel, row, 0);
    totals->addLayout(pinRow, row, 1);

    // BAYAR and KELUAR stand below the notices, beside the PIN: in a row of their own the form
    // would be taller than a 768-line screen, its frame and KELUAR off the bottom.
    auto* notices = new QVBoxLayout;
    for (const char* text : {"Min. Order Rp. 15.000,-", "Setiap Order + Rp. 1.000,- (Jasa Order)"})
        notices->addWidget(new QLabel(QString::fromUtf8(text), this));
    notices->addStretch();
    auto* actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(cmdBayar);
    actions->addWidget(cmdKeluar);
    notices->addLayout(actions);

    auto* bottom = new QHBoxLayout;
    bottom->addLayout(notices, 1);
    bottom->addLayout(totals);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJudul);
    layout->addWidget(lblSubJudul);
    layout->addLayout(grid);
    layout->addWidget(ListView1, 1);
    layout->addLayout(bottom);
    setMinimumSize(900, 640);

    // Both a change and a click of the item and the quantity recompute the entry line.
    connect(cboBarang, &QComboBox::currentTextChanged, this, [this] { DetailBarang(); });
    connect(cboBarang, &QComboBox::activated, this, [this] { DetailBarang(); });
    connect(cboQty, &QComboBox::currentTextChanged, this, [this] { HitungHarga(); });
    connect(cboQty, &QComboBox::activated, this, [this] { HitungHarga(); });
    connect(cmdInsert, &QPushButton::clicked, this, [this] { cmdInsert_Click(); });
    connect(cmdHapus, &QPushButton::clicked, this, [this] { cmdHapus_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { txtPin->clear(); });
    connect(cmdBayar, &QPushButton::clicked, this, [this] { cmdBayar_Click(); });
    connect(cmdKeluar, &QPushButton::clicked, this, &QDialog::reject);
}

void frmTransaksiKirna::Form_Load() {
    TabelDetail();
    {
        const QSignalBlocker quiet(cboBarang);
        try {
            FillShopItemCombo(cboBarang, db_);
        } catch (const DbError& e) {
            showDatabaseError(QStringLiteral("Daftar barang KIRNA tidak dapat dibaca."), e, this);
        }
        cboBarang->setCurrentIndex(0);
    }
    FillDeliverySlotCombo(cboKirim);
    {
        const QSignalBlocker quiet(cboQty);
        for (int qty = 1; qty <= 20; ++qty)
            cboQty->addItem(QString::number(qty));
        cboQty->setCurrentIndex(-1); // no quantity chosen yet
    }
    txtLimit->setText(screen_.visit()[VisitState::txtQuota1]);
}

void frmTransaksiKirna::TabelDetail() {
    ListView1->clear();
    ListView1->setColumnCount(static_cast<int>(std::size(kCartColumns)));
    auto* header = new QTreeWidgetItem;
    for (int c = 0; c < static_cast<int>(std::size(kCartColumns)); ++c) {
        header->setText(c, QString::fromLatin1(kCartColumns[c].header));
        header->setTextAlignment(c, kCartColumns[c].alignment);
    }
    ListView1->setHeaderItem(header);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setMinimumSectionSize(1);
    for (int c = 0; c < static_cast<int>(std::size(kCartColumns)); ++c)
        ListView1->setColumnWidth(c, twipsToPixels(kCartColumns[c].widthTwips));
}

void frmTransaksiKirna::DetailBarang() {
    const QString code = GetToken(cboBarang->currentText(), QStringLiteral(":"), 1);
    std::optional<Rupiah> price;
    try {
        price = shopItemPrice(db_, code);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Harga barang tidak dapat dibaca."), e, this);
        return;
    }
    if (!price)
        return; // an unknown code (or the empty entry) keeps the shown price
    txtHarga->setText(formatRupiah(*price));
    HitungHarga();
}

void frmTransaksiKirna::HitungHarga() {
    // A quantity or price that is not a number leaves the line amount as it was.
    bool ok = false;
    const int quantity = cboQty->currentText().toInt(&ok);
    const auto price = parseRupiah(txtHarga->text());
    if (ok && price)
        txtJumlah->setText(plainDigits(quantity * *price));
    if (const auto amount = parseRupiah(txtJumlah->text()))
        txtJumlah->setText(formatRupiah(*amount));
}

void frmTransaksiKirna::JumlahBarang() {
    txtTotalQty->setText(QString::number(cart_.quantityTotal()));
    txtTotalHarga->setText(formatRupiah(cart_.orderTotal()));
}

void frmTransaksiKirna::Bersih() {
    cboQty->setCurrentIndex(0);
    txtHarga->setText(QStringLiteral("0"));
    txtJumlah->setText(QStringLiteral("0"));
    cboBarang->setCurrentIndex(0);
    cboKirim->setCurrentIndex(0);
}

void frmTransaksiKirna::showCart() {
    ListView1->clear();
    for (const ShopCartLine& line : cart_.lines()) {
        auto* item = new QTreeWidgetItem(ListView1);
        const QString cells[] = {QString(),
                                 line.code,
                                 line.name,
                                 formatRupiah(line.price),
                                 QString::number(line.quantity),
                                 formatRupiah(line.amount)};
        for (int c = 0; c < static_cast<int>(std::size(cells)); ++c) {
            item->setText(c, cells[c]);
            item->setTextAlignment(c, kCartColumns[c].alignment);
        }
    }
}

void frmTransaksiKirna::cmdInsert_Click() {
    if (cboBarang->currentText().isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("Pilih barang!"), this);
        cboBarang->setFocus();
        return;
    }
    if (cboQty->currentText().isEmpty()) {
        showMessage(MessageIcon::Warning, QStringLiteral("Pilih Quantity!"), this);
        cboQty->setFocus();
        return;
    }
    const Rupiah amount = parseRupiah(txtJumlah->text()).value_or(0);
    if (amount == 0) {
        showMessage(MessageIcon::Warning, QStringLiteral("Jumlah harga tidak boleh NOL!"), this);
        return;
    }
    cart_.add(ShopCart::lineFromEntry(cboBarang->currentText(),
                                      parseRupiah(txtHarga->text()).value_or(0),
                                      cboQty->currentText().toInt(), amount));
    showCart();
    Bersih();
    JumlahBarang();
}

void frmTransaksiKirna::cmdHapus_Click() {
    cart_.clear();
    showCart();
    Bersih();
    JumlahBarang();
}

ShopOrderInput frmTransaksiKirna::orderInput() const {
    const VisitState& v = screen_.visit();
    ShopOrderInput in;
    fillPayer(in, v);
    in.judul = lblJudul->text();
    in.deliverySlot = cboKirim->currentText();
    in.channel = parameters().AppParam.Channel;
    in.version = parameters().AppParam.VersionReal;
    in.shopAccount = parameters().ShopNoRekening;
    in.balance = parseRupiah(v[VisitState::txtSaldo]).value_or(0);
    in.cart = cart_;
    return in;
}

void frmTransaksiKirna::cmdBayar_Click() {
    ShopOrderForm f;
    f.total = parseRupiah(txtTotalHarga->text()).value_or(0);
    f.quantity = txtTotalQty->text().toInt();
    f.balance = parseRupiah(screen_.visit()[VisitState::txtSaldo]).value_or(0);
    f.limit = parseRupiah(txtLimit->text()).value_or(0);
    f.deliverySlot = cboKirim->currentText();
    f.now = clock_();
    f.pin = txtPin->text();
    f.shopAccount = parameters().ShopNoRekening;
    if (const auto refusal = checkShopOrder(f)) {
        showMessage(MessageIcon::Warning, refusal->message, this);
        if (refusal->focus == ShopOrderRefusal::Focus::cboKirim)
            cboKirim->setFocus();
        else if (refusal->focus == ShopOrderRefusal::Focus::txtPin)
            txtPin->setFocus();
        return;
    }
    const ShopOrderInput input = orderInput();
    ValidasiPIN(input);
    if (PinValid != QLatin1String("1"))
        return;
    payOrder(input);
}

void frmTransaksiKirna::ValidasiPIN(const ShopOrderInput& input) {
    PinValid = QStringLiteral("0");
    if (txtPin->text().size() != 6)
        return; // silently: a PIN has six characters
    try {
        if (!admitPinAttempt(db_, {input.txtNorek}, logTransaksiHead(screen_.visit()),
                             lblJudul->text(), this))
            return;
        if (transactionPinMatches(db_, input.txtNorek, txtPin->text())) {
            clearPinAttempts(db_, {input.txtNorek});
            PinValid = QStringLiteral("1");
            return;
        }
        showMessage(MessageIcon::Warning, kShopPinTidakSesuai, this);
        logShopPinRefused(db_, input);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("PIN tidak dapat diperiksa."), e, this);
    }
}

void frmTransaksiKirna::payOrder(const ShopOrderInput& input) {
    const BusyHold busy; // the idle clock waits for the posting and its receipt
    PostingReport report;
    report.failedText = QStringLiteral("Order gagal, tidak ada yang disimpan atau dibayar.");
    report.visit = &screen_;
    // Printed if the outcome is in doubt and the order later turns out paid.
    ReceiptValues receipt = receiptOfVisit(screen_.visit());
    receipt.kind = lblJudul->text();
    receipt.target = parameters().ShopNoRekening;
    receipt.amount = txtTotalHarga->text();
    report.receipt = receipt;
    std::optional<ShopOrderResult> posted;
    {
        const BusyPointer pointer;
        posted = runPosting<ShopOrderResult>(db_, this, report,
                                             [&] { return postShopOrder(db_, input, today_()); });
    }
    if (!posted)
        return;
    const ShopOrderResult& result = *posted;
    switch (result.outcome) {
    case ShopOrderResult::Outcome::Posted:
        showPosted(result);
        break;
    case ShopOrderResult::Outcome::InsufficientBalance:
        showMessage(MessageIcon::Warning, kShopSaldoTidakMencukupi, this);
        break;
    case ShopOrderResult::Outcome::OverQuota:
        showMessage(MessageIcon::Warning, kShopMelebihiLimit, this);
        break;
    case ShopOrderResult::Outcome::NoShopAccount:
        showMessage(MessageIcon::Warning, kShopTanpaRekening, this);
        break;
    }
}

// The order is paid: the main screen, the receipt, the message, and the form closes.
void frmTransaksiKirna::showPosted(const ShopOrderResult& result) {
    VisitState& v = screen_.visit();
    v.set(VisitState::TransID, result.transId);
    v.set(VisitState::txtSaldo, formatRupiah(result.balanceAfter));
    v.set(VisitState::JenisTrans, lblJudul->text());
    v.set(VisitState::RekTujuan, parameters().ShopNoRekening);
    v.set(VisitState::Nominal, txtTotalHarga->text());
    // The order is stored: printing problems are reported by the printer code and end here.
    screen_.CetakNota();
    showMessage(MessageIcon::Information, QStringLiteral("TRANSAKSI SUKSES"), this);
    accept();
}

void openKirna(KioskScreen& screen, Connection& db) {
    frmTransaksiKirna form(screen, db, dynamic_cast<QWidget*>(&screen));
    dialogs().exec(form);
}

} // namespace kalinda
