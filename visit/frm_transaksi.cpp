#include "frm_transaksi.h"

#include "app/dialogs.h"
#include "app/failover.h"
#include "app/helpers.h"
#include "app/money.h"
#include "app/parameters.h"
#include "app/server_switch.h"
#include "idle_guard.h"
#include "login_log.h"
#include "photo.h"
#include "printing/print.h"
#include "widgets/kiosk_style.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <cfenv>
#include <cmath>

namespace kalinda {
namespace {

constexpr int kTopBandTwips = 1300;
constexpr int kBottomBandTwips = 700;

QPushButton* menuButton(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumHeight(56);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return b;
}

QLineEdit* box(QWidget* parent, const char* name, bool readOnly) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(readOnly);
    return e;
}

// Selects the whole amount whenever the box gets the focus, also by a mouse click.
class SelectAllOnFocus final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            auto* edit = static_cast<QLineEdit*>(watched);
            QTimer::singleShot(0, edit, [edit] { SelectAllText(edit); });
        }
        return false;
    }
};

} // namespace

frmTransaksi::frmTransaksi(Connection& db, KioskActions actions, QWidget* parent)
    : QWidget(parent)
    , db_(db)
    , actions_(std::move(actions)) {
    setObjectName(QStringLiteral("frmTransaksi"));
    setWindowTitle(kAppTitle);
    buildControls();
    connect(&visit_, &VisitState::changed, this, &frmTransaksi::visitChanged);
    Form_Load();
}

frmTransaksi::~frmTransaksi() = default;

// 1440 twips to the inch.
int frmTransaksi::twips(int value) const {
    return static_cast<int>(std::lround(value * std::max(1, logicalDpiX()) / 1440.0));
}

int frmTransaksi::toTwips(int pixels) const {
    return pixels * 1440 / std::max(1, logicalDpiX());
}

void frmTransaksi::buildControls() {
    setStyleSheet(QStringLiteral(
        "#Shape1, #Shape2 { background: #0b5d3b; }"
        "#Shape3 { border: 3px solid #0b5d3b; }"
        "#lblJudul { color: white; font-size: 22pt; font-weight: bold; }"
        "#lblServer { color: white; font-size: 10pt; }"
        "QPushButton { font-size: 12pt; font-weight: bold; }"
        "#cmdKeluar { background: #b3261e; color: white; }"
        "#cmdStart, #cmdFinish { background: #1b7f4c; color: white; }"
        "QPushButton:disabled { background: #d0d0d0; color: #8a8a8a; }"
        "QLineEdit { font-size: 14pt; }"
        "#txtSaldo, #txtQuota1, #txtQuota2, #txtNominal { qproperty-alignment: AlignRight; }"));

    Shape3 = new QFrame(this);
    Shape3->setObjectName(QStringLiteral("Shape3"));
    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape2 = new QFrame(this);
    Shape2->setObjectName(QStringLiteral("Shape2"));

    lblJudul = new QLabel(QStringLiteral("SELF TRANSACTION - ") + schoolName(), this);
    lblJudul->setObjectName(QStringLiteral("lblJudul"));

    lblServer = new QLabel(this);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    lblServer->hide();

    cmdKeluar = new QPushButton(QStringLiteral("KELUAR"), this);
    cmdKeluar->setObjectName(QStringLiteral("cmdKeluar"));

    lblRunningText = new QLabel(this);
    lblRunningText->setObjectName(QStringLiteral("lblRunningText"));
    QFont running = lblRunningText->font();
    running.setPointSize(14);
    running.setBold(true);
    lblRunningText->setFont(running);

    // Working fields the screen keeps but never shows; they sit beyond the right edge.
    txtRfid = box(this, "txtRfid", true);
    txtCif = box(this, "txtCif", true);
    txtRekTujuan = box(this, "txtRekTujuan", true);

    auto* content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    content_ = content;

    picFoto = new PhotoBox(content);
    picFoto->setObjectName(QStringLiteral("picFoto"));
    picFoto->setFixedSize(180, 240);

    txtNorek = box(content, "txtNorek", true);
    txtNama = box(content, "txtNama", true);
    txtAlamat = box(content, "txtAlamat", true);
    txtKelas = box(content, "txtKelas", true);
    txtSaldo = box(content, "txtSaldo", true);
    txtQuota1 = box(content, "txtQuota1", true);
    txtQuota2 = box(content, "txtQuota2", true);
    txtNominal = box(content, "txtNominal", false);
    txtNominal->installEventFilter(new SelectAllOnFocus(txtNominal));

    auto* account = new QFormLayout;
    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Account", txtNorek},  {"Name", txtNama},       {"Address", txtAlamat},
        {"Class", txtKelas},    {"Saldo Rp.", txtSaldo}, {"Quota-1", txtQuota1},
        {"Quota-2", txtQuota2},
    };
    for (const auto& [caption, edit] : rows) {
        auto* label = new QLabel(QString::fromLatin1(caption), content);
        label->setBuddy(edit);
        account->addRow(label, edit);
    }

    cboJenis = new QComboBox(content);
    cboJenis->setObjectName(QStringLiteral("cboJenis"));
    cboJenis->setMinimumWidth(280);
    auto* jenisLabel = new QLabel(QStringLiteral("Produk"), content);
    jenisLabel->setBuddy(cboJenis);
    auto* nominalLabel = new QLabel(QStringLiteral("Nominal Rp."), content);
    nominalLabel->setBuddy(txtNominal);
    cmdReset = new QPushButton(QStringLiteral("<>"), content);
    cmdReset->setObjectName(QStringLiteral("cmdReset"));
    cmdReset->setFixedWidth(kTouchPixels);
    cmdBayar = new QPushButton(QStringLiteral("PAY"), content);
    cmdBayar->setObjectName(QStringLiteral("cmdBayar"));
    cmdBayar->setMinimumHeight(56);

    auto* pay = new QGridLayout;
    pay->addWidget(jenisLabel, 0, 0);
    pay->addWidget(cboJenis, 0, 1, 1, 3);
    pay->addWidget(nominalLabel, 1, 0);
    pay->addWidget(txtNominal, 1, 1);
    pay->addWidget(cmdReset, 1, 2);
    pay->addWidget(cmdBayar, 1, 3);

    auto* left = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(picFoto, 0, Qt::AlignTop);
    top->addLayout(account, 1);
    left->addLayout(top);
    left->addSpacing(16);
    left->addLayout(pay);
    left->addStretch(1);

    cmdStart = menuButton(content, "cmdStart", QStringLiteral("START TRANSACTION"));
    cmdFinish = menuButton(content, "cmdFinish", QStringLiteral("FINISH TRANSACTION"));
    cmdVoucher = menuButton(content, "cmdVoucher", QStringLiteral(" TRANSFER TO MY FRIENDS"));
    cmdInfaq = menuButton(content, "cmdInfaq", QStringLiteral("INFAQ"));
    cmdSchool = menuButton(content, "cmdSchool", QStringLiteral("SCHOOL PAYMENT"));
    cmdWaqf = menuButton(content, "cmdWaqf", QStringLiteral("WAQF"));
    cmdKirna = menuButton(content, "cmdKirna", QStringLiteral("KIRNA ORDER"));
    cmdMutasi = menuButton(content, "cmdMutasi", QStringLiteral("SAVING MUTATION"));
    cmdTunggakan =
        menuButton(content, "cmdTunggakan", QStringLiteral("MONTHLY CHARGE INFORMATION"));
    cmdGantiPin = menuButton(content, "cmdGantiPin", QStringLiteral("CHANGE PIN"));
    cmdBlock = menuButton(content, "cmdBlock", QStringLiteral("BLOCK ACCOUNT"));
    cmdCetakUlang = menuButton(content, "cmdCetakUlang", QStringLiteral("CETAK ULANG"));

    auto* menu = new QGridLayout;
    QPushButton* order[] = {cmdStart, cmdFinish, cmdVoucher,   cmdInfaq,    cmdSchool, cmdWaqf,
                            cmdKirna, cmdMutasi, cmdTunggakan, cmdGantiPin, cmdBlock};
    for (int i = 0; i < static_cast<int>(std::size(order)); ++i)
        menu->addWidget(order[i], i / 2, i % 2);
    menu->addWidget(cmdCetakUlang, static_cast<int>(std::size(order)) / 2, 1);

    auto* columns = new QHBoxLayout(content);
    columns->setContentsMargins(24, 16, 24, 16);
    columns->addLayout(left, 3);
    columns->addSpacing(24);
    columns->addLayout(menu, 2);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(100);
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3_Timer(); });

    bind(VisitState::txtNorek, txtNorek);
    bind(VisitState::txtRfid, txtRfid);
    bind(VisitState::txtCif, txtCif);
    bind(VisitState::txtNama, txtNama);
    bind(VisitState::txtAlamat, txtAlamat);
    bind(VisitState::txtKelas, txtKelas);
    bind(VisitState::txtSaldo, txtSaldo);
    bind(VisitState::txtQuota1, txtQuota1);
    bind(VisitState::txtQuota2, txtQuota2);
    bind(VisitState::txtNominal, txtNominal);
    bind(VisitState::txtRekTujuan, txtRekTujuan);

    connect(txtNominal, &QLineEdit::textChanged, this, [this] { FormatTextBoxNumber(txtNominal); });
    connect(txtQuota2, &QLineEdit::textChanged, this, [this] { FormatTextBoxNumber(txtQuota2); });
    connect(txtCif, &QLineEdit::textChanged, this, [this] {
        if (txtCif->text().size() > 8)
            TampilFoto();
    });
    connect(txtNorek, &QLineEdit::textChanged, this, [this] {
        if (txtNorek->text().size() > 8)
            MenuDisable();
    });
    connect(cboJenis, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { visit_.set(VisitState::cboJenis, text); });
    connect(cboJenis, &QComboBox::activated, this, [this] { CekProduk(); });

    connect(cmdStart, &QPushButton::clicked, this, [this] { cmdStart_Click(); });
    connect(cmdFinish, &QPushButton::clicked, this, [this] { cmdFinish_Click(); });
    connect(cmdReset, &QPushButton::clicked, this, [this] { cmdReset_Click(); });
    connect(cmdBayar, &QPushButton::clicked, this, [this] { cmdBayar_Click(); });
    connect(cmdKeluar, &QPushButton::clicked, this, [this] { cmdKeluar_Click(); });
    connect(cmdCetakUlang, &QPushButton::clicked, this, [this] {
        if (!CetakUlang(this))
            showMessage(MessageIcon::Warning,
                        QStringLiteral("Belum ada struk untuk dicetak ulang."), this);
    });
    const auto open = [this](const std::function<void(KioskScreen&)>& action) {
        if (action)
            action(*this);
    };
    connect(cmdBlock, &QPushButton::clicked, this, [this, open] {
        if (parametersReady())
            open(actions_.openBlock);
    });
    connect(cmdGantiPin, &QPushButton::clicked, this,
            [this, open] { open(actions_.openGantiPin); });
    connect(cmdMutasi, &QPushButton::clicked, this, [this, open] { open(actions_.openMutasi); });
    connect(cmdTunggakan, &QPushButton::clicked, this,
            [this, open] { open(actions_.openTunggakan); });
    connect(cmdVoucher, &QPushButton::clicked, this,
            [this] { openWithFreshBalance(actions_.openTransfer); });
    connect(cmdKirna, &QPushButton::clicked, this,
            [this] { openWithFreshBalance(actions_.openKirna); });
    const std::pair<QPushButton*, const char*> fees[] = {
        {cmdSchool, "SPP"}, {cmdInfaq, "INFAQ"}, {cmdWaqf, "WAKAF"}};
    for (const auto& [button, view] : fees) {
        const QString v = QString::fromLatin1(view);
        connect(button, &QPushButton::clicked, this, [this, v] {
            openWithFreshBalance([this, v](KioskScreen& screen) {
                if (actions_.openFee)
                    actions_.openFee(screen, v);
            });
        });
    }
}

void frmTransaksi::bind(VisitState::Field field, QLineEdit* edit) {
    boxes_[field] = edit;
    connect(edit, &QLineEdit::textChanged, this,
            [this, field](const QString& text) { visit_.set(field, text); });
}

void frmTransaksi::Form_Load() {
    const QString version = AppVersion();
    try {
        parameters() = LoadParameters(db_);
    } catch (const DbError& e) {
        // Read again at the next START TRANSACTION; no posting runs until then.
        showDatabaseError(QStringLiteral("Parameter aplikasi tidak dapat dibaca."), e, this);
    }
    try {
        sessionId_ = LogLogin(db_, localMachineIdentity(), version);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Log login tidak dapat ditulis."), e, this);
    } catch (const std::exception& e) {
        showMessage(MessageIcon::Warning, QString::fromUtf8(e.what()), this);
    }
    fillProducts();
    if (ServerSwitch* server = serverSwitch(); server && server->serves(db_))
        connect(server, &ServerSwitch::changed, this, &frmTransaksi::showServer);
    showServer();
    idle_ = new IdleGuard(this, [this] { cmdFinish_Click(); });
    applyParameters();
    MenuDisable();
    visit_.set(VisitState::txtNominal, QStringLiteral("0"));
    JasaKirim = QStringLiteral("0");
    lblRunningText->setText(QStringLiteral("CASHLESS APPLICATION - SELF TRANSACTION - Version ") +
                            version);
    lblRunningText->adjustSize();
    visit_.set(VisitState::txtSaldo, QStringLiteral("0"));
    visit_.set(VisitState::txtQuota1, QStringLiteral("0"));
    visit_.set(VisitState::txtQuota2, QStringLiteral("0"));
    Timer3->start();
}

// What the screen itself takes from the parameters, at load and when they are read later.
void frmTransaksi::applyParameters() {
    const AppParameters& a = parameters().AppParam;
    if (ServerSwitch* server = serverSwitch(); server && server->serves(db_))
        server->setFailoverProfiles(failoverProfiles(a.FailoverProfiles));
    idle_->setTimeout(a.IdleTimeout.trimmed().toInt());
    if (a.SelfOrder == QLatin1String("0"))
        cmdKirna->hide();
    const QString reprint = a.ReprintLast.trimmed();
    cmdCetakUlang->setVisible(!reprint.isEmpty() && reprint != QLatin1String("0"));
}

void frmTransaksi::fillProducts() {
    try {
        FillProductCombo(cboJenis, db_);
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Daftar produk tidak dapat dibaca."), e, this);
    }
}

// A posting needs every parameter (its Channel, the PIN guards): read them again when the
// start-up could not, and refuse while they still cannot be read.
bool frmTransaksi::parametersReady() {
    if (parameters().read)
        return true;
    try {
        parameters() = LoadParameters(db_);
    } catch (const DbError& e) {
        showDatabaseError(kParameterBelumTerbaca, e, this);
        return false;
    }
    applyParameters();
    if (cboJenis->count() <= 1) // the product list most likely failed with them
        fillProducts();
    return true;
}

void frmTransaksi::Timer3_Timer() {
    // Each component 0 to 250, rounded half to even.
    const auto component = [] {
        std::fesetround(FE_TONEAREST);
        return static_cast<int>(std::nearbyint(QRandomGenerator::global()->generateDouble() * 250));
    };
    QPalette p = lblRunningText->palette();
    p.setColor(QPalette::WindowText, QColor(component(), component(), component()));
    lblRunningText->setPalette(p);
    if (runningLeftTwips_ + toTwips(lblRunningText->width()) <= 0)
        runningLeftTwips_ = toTwips(width());
    runningLeftTwips_ -= 100;
    lblRunningText->move(twips(runningLeftTwips_), lblRunningText->y());
}

void frmTransaksi::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int W = toTwips(width());
    const int H = toTwips(height());
    Shape3->setGeometry(0, 0, twips(W), twips(H));
    Shape1->setGeometry(0, 0, twips(W + 1000), twips(kTopBandTwips));
    Shape2->setGeometry(0, twips(H - kBottomBandTwips), twips(W + 1000), twips(kBottomBandTwips));
    lblJudul->setGeometry(twips(300), twips(250), twips(std::max(0, W - 2300)), twips(800));
    lblServer->setGeometry(twips(300), twips(1000), twips(std::max(0, W - 2300)), twips(280));
    // Tall enough for a finger, centred in the title band.
    const int keluarHeight = std::max(twips(700), cmdKeluar->minimumHeight());
    cmdKeluar->setGeometry(twips(W - 1600), std::max(0, (twips(kTopBandTwips) - keluarHeight) / 2),
                           twips(1400), keluarHeight);
    for (QLineEdit* hidden : {txtCif, txtRfid})
        hidden->move(twips(W + 10000), hidden->y());
    txtRekTujuan->move(txtRfid->x(), txtRekTujuan->y());
    lblRunningText->adjustSize();
    runningLeftTwips_ = W - toTwips(lblRunningText->width());
    lblRunningText->move(twips(runningLeftTwips_), twips(H - 500));
    content_->setGeometry(0, twips(kTopBandTwips), width(),
                          std::max(0, height() - twips(kTopBandTwips + kBottomBandTwips)));
    Shape1->lower();
    Shape2->lower();
    Shape3->lower();
    lblJudul->raise();
    lblServer->raise();
    cmdKeluar->raise();
    lblRunningText->raise();
}

} // namespace kalinda
