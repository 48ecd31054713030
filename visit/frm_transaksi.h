#pragma once

#include "app/db.h"
#include "app/money.h"
#include "app/visit_state.h"
#include "exit_guard.h"
#include "printing/print.h"

#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kalinda {

class frmInputPin;
class IdleGuard;
class PhotoBox;

// START TRANSACTION and BLOCK ACCOUNT while the parameters cannot be read.
inline const QString kParameterBelumTerbaca =
    QStringLiteral("Parameter aplikasi belum terbaca. Transaksi belum dapat dilakukan.");
// KELUAR on a kiosk without its exit password: it is stopped from outside.
inline const QString kPasswordKeluarBelumDiatur =
    QStringLiteral("Password keluar belum diatur. Aplikasi tidak dapat ditutup dari layar ini.");

// What the menu buttons open. An action that is not set opens nothing.
struct KioskActions {
    std::function<void(KioskScreen&)> openBlock;     // BLOCK ACCOUNT
    std::function<void(KioskScreen&)> openGantiPin;  // CHANGE PIN
    std::function<void(KioskScreen&)> openMutasi;    // SAVING MUTATION
    std::function<void(KioskScreen&)> openTunggakan; // MONTHLY CHARGE INFORMATION
    std::function<void(KioskScreen&)> openTransfer;  // TRANSFER TO MY FRIENDS
    std::function<void(KioskScreen&)> openKirna;     // KIRNA ORDER
    // INFAQ, SCHOOL PAYMENT, WAQF: "INFAQ", "SPP" or "WAKAF".
    std::function<void(KioskScreen&, const QString& view)> openFee;
    // PAY: the product payment after a correct PIN on the PIN form.
    std::function<void(KioskScreen&, frmInputPin&)> payProduct;
};

// The kiosk's main screen: the account in visit, the menu, the running text and the exit.
class frmTransaksi final : public QWidget, public KioskScreen {
    Q_OBJECT
public:
    explicit frmTransaksi(Connection& db, KioskActions actions = {}, QWidget* parent = nullptr);
    ~frmTransaksi() override;

    // KioskScreen
    VisitState& visit() override { return visit_; }
    void MenuEnable() override;
    void MenuDisable() override;
    void Bersih() override;
    void CekSaldoReal() override;
    void cekLimitTransfer() override;
    void CetakNota() override;

    // Quota-1 read again from the server (not by the card lookup, which sends the PIN).
    void cekKuotaSisa();
    void CekProduk();
    void TampilFoto();
    QString sessionId() const { return sessionId_; }
    // The clock the receipts are dated by; empty reads the system clock.
    void setReceiptClock(ReceiptClock clock) { receiptClock_ = std::move(clock); }
    // Ends a visit left alone (set_app "IdleTimeout").
    IdleGuard* idleGuard() const { return idle_; }

    QPushButton* cmdStart;
    QPushButton* cmdFinish;
    QPushButton* cmdBlock;
    QPushButton* cmdKeluar;
    QPushButton* cmdBayar;
    QPushButton* cmdInfaq;
    QPushButton* cmdSchool;
    QPushButton* cmdWaqf;
    QPushButton* cmdVoucher;
    QPushButton* cmdKirna;
    QPushButton* cmdMutasi;
    QPushButton* cmdTunggakan;
    QPushButton* cmdGantiPin;
    QPushButton* cmdReset;
    QPushButton* cmdCetakUlang; // reprint, only with set_app "ReprintLast"
    QComboBox* cboJenis;
    QLineEdit* txtNominal;
    QLineEdit* txtNorek;
    QLineEdit* txtNama;
    QLineEdit* txtAlamat;
    QLineEdit* txtKelas;
    QLineEdit* txtSaldo;
    QLineEdit* txtQuota1;
    QLineEdit* txtQuota2;
    QLineEdit* txtRfid;
    QLineEdit* txtCif;
    QLineEdit* txtRekTujuan;
    PhotoBox* picFoto;
    QLabel* lblJudul;
    QLabel* lblRunningText;
    QLabel* lblServer; // the server in use, shown while the kiosk may move to another
    QTimer* Timer3;
    QFrame* Shape1;
    QFrame* Shape2;
    QFrame* Shape3;

    // The shop's delivery fee text, reset when the screen loads.
    QString JasaKirim;
    // Counts wrong exit passwords and keeps the box shut after three.
    ExitGuard exitGuard;

signals:
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void setMenu(bool enabled);
    void bind(VisitState::Field field, QLineEdit* box);
    void Form_Load();
    void applyParameters();
    void fillProducts();
    bool parametersReady();
    void Timer3_Timer();
    void visitChanged(VisitState::Field field);
    void showServer();

    void cmdStart_Click();
    void cmdFinish_Click();
    void cmdReset_Click();
    void cmdBayar_Click();
    bool productChoiceAccepted(Rupiah amount);
    void cmdKeluar_Click();
    void openWithFreshBalance(const std::function<void(KioskScreen&)>& open);

    int twips(int value) const;
    int toTwips(int pixels) const;

    Connection& db_;
    KioskActions actions_;
    VisitState visit_;
    std::array<QLineEdit*, VisitState::FieldCount> boxes_{}; // the boxes bound to the visit
    QWidget* content_ = nullptr;                             // everything between the two bands
    QString sessionId_;
    IdleGuard* idle_ = nullptr;
    int runningLeftTwips_ = 0;
    bool closingAllowed_ = false;
    ReceiptClock receiptClock_;
};

} // namespace kalinda
