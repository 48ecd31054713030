// A simulated kiosk of kalinda_chaos: the kiosk's own window-free postings, run as the forms run
// them (PIN check, then runPosting(), which keeps a posting in doubt and settles it before the
// next one), with every outcome written down as the student was told it.

#include "app/connection.h"
#include "app/dialogs.h"
#include "app/failover.h"
#include "app/server_switch.h"
#include "chaos.h"
#include "postings/block_account.h"
#include "postings/fee_payment.h"
#include "postings/pin_change.h"
#include "postings/posting_outcome.h"
#include "postings/product_payment.h"
#include "postings/shop_order.h"
#include "postings/transfer.h"
#include "support/mariadb_server.h"
#include "support/test_settings.h"
#include "visit/card_lookup.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QThread>
#include <iostream>
#include <random>

namespace kalinda::chaos {

RunAccount runAccount(int kiosk, int n) {
    const QString k = QStringLiteral("%1").arg(kiosk, 2, 10, QLatin1Char('0'));
    const QString m = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
    RunAccount a;
    a.account = QStringLiteral("0197") + k + QStringLiteral("0000") + m;
    a.card = QStringLiteral("0097") + k + QStringLiteral("00") + m;
    a.holder = QStringLiteral("2497") + k + m;
    a.alternative = QStringLiteral("CHAOS") + k + m;
    a.firstPin = QStringLiteral("3") + k + QStringLiteral("0") + m;
    a.officePin = QStringLiteral("4") + k + QStringLiteral("1") + m;
    a.rich = n <= kAccountsPerKiosk / 2;
    return a;
}

QString line(const Attempt& a) {
    return QStringList{QStringLiteral("A"),
                       a.kind,
                       a.account,
                       a.other,
                       QString::number(a.amount),
                       a.outcome,
                       a.reason,
                       a.id,
                       a.order,
                       QString::number(a.t0),
                       QString::number(a.t1),
                       a.credit}
        .join(QLatin1Char('\t'));
}

Attempt parseAttempt(const QStringList& f) {
    Attempt a;
    if (f.size() < 12)
        return a;
    a.kind = f[1];
    a.account = f[2];
    a.other = f[3];
    a.amount = f[4].toLongLong();
    a.outcome = f[5];
    a.reason = f[6];
    a.id = f[7];
    a.order = f[8];
    a.t0 = f[9].toLongLong();
    a.t1 = f[10].toLongLong();
    a.credit = f[11];
    return a;
}

namespace {

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

// Nobody stands at a simulated kiosk: every message is kept, the last one read back.
class Student : public Dialogs {
public:
    void message(QWidget*, MessageIcon, const QString& text, const QString&) override {
        last = text;
    }
    std::optional<QString> input(QWidget*, const QString&, const QString&, const QString&,
                                 InputEcho) override {
        return std::nullopt;
    }
    int exec(QDialog&) override { return 0; }
    QString last;
};

const QString kGagal = QStringLiteral("Transaksi gagal, tidak ada yang dibukukan.");

struct Held {
    RunAccount who;
    QString pin;
    bool blocked = false;
    bool shared = false; // another kiosk pays from it too: no PIN change, no block
};

// What a posting in doubt changes on the kiosk's side once it is settled stored.
struct Doubt {
    QString kind;
    int account = -1;
    QString newPin;
};

class Kiosk {
public:
    explicit Kiosk(const KioskOptions& o)
        : o_(o)
        , rng_(o.seed)
        , out_(o.record) {
        for (int n = 1; n <= kAccountsPerKiosk; ++n) {
            const RunAccount a = runAccount(o.kiosk, n);
            held_.push_back({a, a.firstPin, false, isShared(n, o.kiosks)});
        }
        if (isShared(kAccountsPerKiosk, o.kiosks)) {
            const RunAccount next = runAccount(o.kiosk % o.kiosks + 1, kAccountsPerKiosk);
            held_.push_back({next, next.firstPin, false, true});
        }
        setDialogs(&student_);
    }

    int run();

private:
    void connect();
    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(rng_); }
    bool chance(int percent) { return pick(1, 100) <= percent; }
    QDate day() const { return QDate::currentDate().addDays(dayShift_); }
    void write(const QString& text) {
        out_.write(text.toUtf8() + '\n');
        out_.flush();
    }
    QString typedPin(Held& h, bool wrong) {
        if (!wrong)
            return h.pin;
        QString p = h.pin;
        p[5] = QChar(u'0' + (p[5].digitValue() + 1) % 10);
        return p;
    }
    // A PIN typed wrong on purpose is refused by design; the right one refused is a fault.
    static void refusePin(Attempt& a, bool wrong) {
        a.outcome = QStringLiteral("refused");
        a.reason = wrong ? QStringLiteral("wrong PIN") : QStringLiteral("right PIN refused");
    }
    // A refusal by a rule, with what the kiosk found for it ("balance 12500": the spendable
    // balance read under the payer's lock, or shown when refused before it), for the checker.
    static void refuseBy(Attempt& a, const QString& rule, std::optional<Rupiah> found) {
        a.outcome = QStringLiteral("refused");
        a.reason = found ? rule + QLatin1Char(' ') + QString::number(*found) : rule;
    }
    bool settle();
    void refreshBlocked();
    void attempt();
    // Runs the posting through the kiosk's runPosting(); fills the outcome when it gave none.
    template <typename Result>
    std::optional<Result> post(Attempt& a, const std::function<Result()>& posting, Doubt doubt);
    void productPayment(Attempt& a, int i);
    void transfer(Attempt& a, int i);
    void fee(Attempt& a, int i);
    void shopOrder(Attempt& a, int i);
    void pinChange(Attempt& a, int i);
    void block(Attempt& a, int i);

    KioskOptions o_;
    std::mt19937_64 rng_;
    QFile out_;
    Student student_;
    Connection db_;
    std::unique_ptr<ServerSwitch> switch_;
    std::vector<Held> held_;
    std::optional<Doubt> doubt_;
    int dayShift_ = 0;
    int attempts_ = 0;
};

template <typename Result>
std::optional<Result> Kiosk::post(Attempt& a, const std::function<Result()>& posting, Doubt d) {
    student_.last.clear();
    PostingReport report;
    report.failedText = kGagal;
    std::optional<Result> r = runPosting<Result>(db_, nullptr, report, posting);
    if (r)
        return r;
    if (const std::optional<QString> id = pendingPostingId()) {
        a.outcome = QStringLiteral("doubt");
        a.id = *id;
        doubt_ = d;
    } else if (student_.last == kPinTidakSesuaiAtauTidakAktif) {
        a.outcome = QStringLiteral("refused");
        a.reason = QStringLiteral("payer refused");
    } else if (student_.last.contains(QStringLiteral("sudah habis"))) {
        a.outcome = QStringLiteral("design");
        a.reason = QStringLiteral("id capacity");
        // The kiosk's date moves on (within the day either side that the server takes).
        dayShift_ = dayShift_ == 0 ? 1 : -1;
    } else {
        a.outcome = QStringLiteral("failed");
        // The server's words, whole: the checker tells a refusal of the ledger's guard by them.
        a.reason = student_.last.section(QLatin1Char('\n'), -1).simplified().left(200);
    }
    return std::nullopt;
}

bool Kiosk::settle() {
    const QString id = *pendingPostingId();
    student_.last.clear();
    const Settlement s = settlePendingPosting(db_);
    if (s == Settlement::StillUnknown || s == Settlement::NothingPending)
        return s == Settlement::NothingPending;
    const bool stored = s == Settlement::SettledStored;
    const QString result = stored ? QStringLiteral("stored")
                           : student_.last.contains(QStringLiteral("tanpa pembayaran"))
                               ? QStringLiteral("unpaid")
                               : QStringLiteral("notbooked");
    write(QStringList{QStringLiteral("S"), id, result, QString::number(nowMs())}.join(u'\t'));
    if (doubt_ && stored) {
        Held& h = held_[std::size_t(doubt_->account)];
        if (doubt_->kind == QLatin1String("pin"))
            h.pin = doubt_->newPin;
        else if (doubt_->kind == QLatin1String("block")) {
            h.blocked = true;
            h.pin = QString::number(kResetPin);
        }
    }
    doubt_.reset();
    return true;
}

// The office unblocks a blocked account with its office PIN.
void Kiosk::refreshBlocked() {
    for (Held& h : held_) {
        if (!h.blocked)
            continue;
        try {
            Sql s;
            s << "SELECT tab_rfid FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
              << esc(h.who.account) << "'";
            const Recordset rs = db_.open(s);
            if (!rs.eof() && !rs.value(0).toString().startsWith(QLatin1Char('#'))) {
                h.blocked = false;
                h.pin = h.who.officePin;
            }
        } catch (const DbError&) {
            return; // asked again at the next attempt
        }
    }
}

template <typename Input>
void fillPayer(Input& in, const Held& h) {
    in.NoRekening = in.txtNorek = h.who.account;
    in.NoCif = h.who.holder;
    in.Rfid = in.txtRfid = h.who.card;
    in.txtNama = QStringLiteral("Santri Chaos");
    in.txtKelas = QStringLiteral("8C");
    in.channel = QStringLiteral("KLD01");
}

void Kiosk::productPayment(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("product");
    a.other = kCanteen;
    a.amount = chance(5) ? 500000 : pick(5, 200) * 100;
    const bool wrong = chance(7);
    const std::optional<Rupiah> balance = checkPaymentPin(db_, h.who.account, typedPin(h, wrong));
    if (!balance) {
        refusePin(a, wrong);
        return;
    }
    ProductPaymentInput in;
    fillPayer(in, h);
    in.cboJenis = QStringLiteral("003 : Jajan Kantin");
    in.txtRekTujuan = kCanteen;
    in.amount = a.amount;
    in.balance = *balance;
    const auto r = post<ProductPaymentResult>(a, [&] { return postProductPayment(db_, in, day()); },
                                              {a.kind, i, {}});
    if (!r)
        return;
    if (r->outcome == ProductPaymentResult::Outcome::Posted) {
        a.outcome = QStringLiteral("posted");
        a.id = r->transId;
    } else {
        refuseBy(a, QStringLiteral("balance"), r->balanceBefore);
    }
}

void Kiosk::transfer(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("transfer");
    RunAccount to;
    do
        to = runAccount(pick(1, o_.kiosks), pick(1, kAccountsPerKiosk));
    while (to.account == h.who.account);
    a.other = to.account;
    a.amount = chance(5) ? 400000 : pick(10, 300) * 100;
    const bool wrong = chance(7);
    const std::optional<Rupiah> balance = checkTransferPin(db_, h.who.account, typedPin(h, wrong));
    if (!balance) {
        refusePin(a, wrong);
        return;
    }
    TransferInput in;
    fillPayer(in, h);
    in.txtRekening = to.account;
    in.targetName = QStringLiteral("Santri Chaos");
    in.amount = a.amount;
    in.balance = *balance;
    const auto r =
        post<TransferResult>(a, [&] { return postTransfer(db_, in, day()); }, {a.kind, i, {}});
    if (!r)
        return;
    using O = TransferResult::Outcome;
    a.outcome = r->outcome == O::Posted ? QStringLiteral("posted") : QStringLiteral("refused");
    a.id = r->transId;
    if (r->outcome == O::InsufficientBalance)
        refuseBy(a, QStringLiteral("balance"), r->balanceBefore);
    else if (r->outcome == O::OverLimit)
        refuseBy(a, QStringLiteral("limit"), r->limit);
    else if (r->outcome == O::TargetInvalid)
        a.reason = QStringLiteral("target");
}

void Kiosk::fee(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("fee");
    a.other = kInfaq;
    a.amount = chance(5) ? 600000 : pick(10, 250) * 100;
    // The main screen's balance from the card tap, then the fee form's own PIN.
    const std::optional<Rupiah> balance = checkPaymentPin(db_, h.who.account, h.pin);
    const bool wrong = chance(7);
    if (!balance || !transactionPinMatches(db_, h.who.account, typedPin(h, wrong))) {
        refusePin(a, wrong);
        return;
    }
    FeePaymentInput in;
    fillPayer(in, h);
    in.judul = in.jenis = QStringLiteral("INFAQ");
    in.rekTujuan = kInfaq;
    in.purposeName = QStringLiteral("Infaq");
    in.amount = a.amount;
    in.balance = *balance;
    const auto r =
        post<FeePaymentResult>(a, [&] { return postFeePayment(db_, in, day()); }, {a.kind, i, {}});
    if (!r)
        return;
    if (r->outcome == FeePaymentResult::Outcome::Posted) {
        a.outcome = QStringLiteral("posted");
        a.id = r->debitId;
        a.credit = r->creditId;
    } else {
        refuseBy(a, QStringLiteral("balance"), r->balanceBefore);
    }
}

void Kiosk::shopOrder(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("shop");
    a.other = kShop;
    const std::optional<Rupiah> balance = checkPaymentPin(db_, h.who.account, h.pin);
    if (!balance) {
        a.outcome = QStringLiteral("refused");
        a.reason = QStringLiteral("right PIN refused");
        return;
    }
    ShopOrderInput in;
    fillPayer(in, h);
    in.deliverySlot = chance(50) ? QStringLiteral("Siang") : QStringLiteral("Malam");
    in.version = QStringLiteral("1.0.1");
    in.shopAccount = kShop;
    in.balance = *balance;
    for (int lines = pick(1, 3); lines > 0; --lines) {
        const int count = pick(2, 6);
        in.cart.add(ShopCartLine{QStringLiteral("K006"), QStringLiteral("Buku Tulis"), 4000, count,
                                 4000 * count});
    }
    a.amount = in.cart.orderTotal();
    Sql quota;
    quota << "SELECT `cashless-adm`.GetJajanKuotaSisa('" << esc(h.who.account) << "')";
    ShopOrderForm form;
    form.total = a.amount;
    form.quantity = in.cart.quantityTotal();
    form.balance = *balance;
    form.limit = toRupiah(db_.open(quota).value(0));
    form.deliverySlot = in.deliverySlot;
    form.now = QTime(6, 30); // the run's clock: before every cut-off
    const bool wrong = chance(7);
    form.pin = typedPin(h, wrong);
    form.shopAccount = kShop;
    if (const auto refusal = checkShopOrder(form)) {
        if (refusal->message == kShopMelebihiLimit)
            refuseBy(a, QStringLiteral("quota"), form.limit);
        else if (form.balance < form.total)
            refuseBy(a, QStringLiteral("balance"), form.balance);
        else
            refuseBy(a, refusal->message.simplified(), std::nullopt);
        return;
    }
    if (!transactionPinMatches(db_, h.who.account, form.pin)) {
        refusePin(a, wrong);
        return;
    }
    const auto r =
        post<ShopOrderResult>(a, [&] { return postShopOrder(db_, in, day()); }, {a.kind, i, {}});
    if (!r)
        return;
    using O = ShopOrderResult::Outcome;
    a.outcome = r->outcome == O::Posted ? QStringLiteral("posted") : QStringLiteral("refused");
    a.id = r->transId;
    a.order = r->orderCode;
    a.credit = r->creditId;
    if (r->outcome == O::InsufficientBalance)
        refuseBy(a, QStringLiteral("balance"), r->balanceBefore);
    else if (r->outcome != O::Posted)
        a.reason = r->outcome == O::OverQuota ? QStringLiteral("quota")
                                              : QStringLiteral("no shop account");
}

void Kiosk::pinChange(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("pin");
    QString next;
    do
        next = QStringLiteral("%1").arg(pick(0, 999999), 6, 10, QLatin1Char('0'));
    while (next == QString::number(kResetPin) || next == h.pin);
    const bool wrong = chance(7);
    PinChangeInput in;
    in.txtNorek = h.who.account;
    in.txtRfid = h.who.card;
    in.txtNama = QStringLiteral("Santri Chaos");
    in.txtKelas = QStringLiteral("8C");
    in.pinLama = typedPin(h, wrong);
    in.pinBaru = next;
    const auto r = post<PinChangeOutcome>(a, [&] { return changePin(db_, in); }, {a.kind, i, next});
    if (!r)
        return;
    if (*r == PinChangeOutcome::Changed) {
        a.outcome = QStringLiteral("posted");
        h.pin = next;
    } else {
        refusePin(a, wrong);
    }
}

void Kiosk::block(Attempt& a, int i) {
    Held& h = held_[std::size_t(i)];
    a.kind = QStringLiteral("block");
    const bool wrong = chance(10);
    BlockInput in;
    in.txtReg = h.who.alternative;
    in.txtPin = typedPin(h, wrong);
    const auto r = post<BlockResult>(a, [&] { return blockAccount(db_, in); }, {a.kind, i, {}});
    if (!r)
        return;
    if (r->outcome == BlockResult::Outcome::Blocked) {
        a.outcome = QStringLiteral("posted");
        h.blocked = true;
        h.pin = QString::number(kResetPin);
    } else {
        refusePin(a, wrong);
    }
}

void Kiosk::attempt() {
    std::vector<int> free;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        if (!held_[i].blocked)
            free.push_back(int(i));
    }
    if (free.empty()) {
        QThread::msleep(200);
        return;
    }
    const int i = free[std::size_t(pick(0, int(free.size()) - 1))];
    Attempt a;
    a.account = held_[std::size_t(i)].who.account;
    a.t0 = nowMs();
    int kind = pick(1, 100);
    if (held_[std::size_t(i)].shared && kind > 80)
        kind = pick(1, 80); // a posting that moves money instead of a PIN change or a block
    try {
        if (kind <= 30)
            productPayment(a, i);
        else if (kind <= 50)
            transfer(a, i);
        else if (kind <= 65)
            fee(a, i);
        else if (kind <= 80)
            shopOrder(a, i);
        else if (kind <= 95)
            pinChange(a, i);
        else
            block(a, i);
    } catch (const DbError& e) {
        // The PIN check or the form's reads before the posting: nothing was sent to post.
        a.outcome = QStringLiteral("failed");
        a.reason = QStringLiteral("before posting");
    }
    a.t1 = nowMs();
    ++attempts_;
    write(line(a));
}

// Connects as the kiosk starts on profile 2, with a switch that moves it to the other nodes
// (profiles 3 and 4) when its own is gone, as the kiosk's main program installs it.
void Kiosk::connect() {
    ConnectParams own = test::kioskParamsAt(o_.hosts.value(0), o_.port);
    own.user = kioskAccount(o_.kiosk);
    own.password = kioskPassword(o_.kiosk);
    EncodedSettings settings;
    settings.hosts[0] = test::encode3(QStringLiteral("127.0.0.1"));
    for (int i = 1; i < int(settings.hosts.size()); ++i)
        settings.hosts[std::size_t(i)] = test::encode3(o_.hosts.value(i - 1, o_.hosts.value(0)));
    settings.portLocal = settings.portServer = test::encode3(QString::number(o_.port));
    settings.user = test::encode3(own.user);
    settings.password = test::encode3(own.password);
    settings.database = test::encode3(own.database);
    ConnectionSettings& s = connectionSettings();
    s.ServerAddress = own.host;
    s.ServerPort = QString::number(own.port);
    s.DbUser = own.user;
    s.DbPassword = own.password;
    s.DbName = own.database;
    s.ProfileCode = QStringLiteral("2");
    db_.connect(own);
    switch_ = std::make_unique<ServerSwitch>(db_, s.ProfileCode, settings);
    if (o_.hosts.size() > 1)
        switch_->setFailoverProfiles(failoverProfiles(QStringLiteral("2,3,4")));
    installServerSwitch(switch_.get());
    QObject::connect(switch_.get(), &ServerSwitch::changed, switch_.get(), [this] {
        write(QStringList{QStringLiteral("M"), switch_->profile(), QString::number(nowMs())}.join(
            u'\t'));
    });
}

int Kiosk::run() {
    if (!out_.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::cerr << "kiosk " << o_.kiosk << ": cannot write " << o_.record.toStdString() << '\n';
        return 2;
    }
    connect();
    while (nowMs() < o_.until) {
        if (pendingPostingId()) {
            if (!settle())
                QThread::msleep(300);
            continue;
        }
        refreshBlocked();
        QThread::msleep(std::uint64_t(pick(o_.pause / 5, o_.pause))); // the next student steps up
        attempt();
    }
    // The faults are over: what is still in doubt is settled now.
    const qint64 giveUp = nowMs() + 120000;
    while (pendingPostingId() && nowMs() < giveUp) {
        if (!settle())
            QThread::msleep(500);
    }
    refreshBlocked();
    for (const Held& h : held_) {
        write(QStringList{QStringLiteral("P"), h.who.account, h.pin,
                          h.blocked ? QStringLiteral("1") : QStringLiteral("0")}
                  .join(u'\t'));
    }
    const QString why = pendingPostingId()
                            ? QStringLiteral("still in doubt: ") + *pendingPostingId()
                            : QStringLiteral("done");
    write(QStringList{QStringLiteral("E"), QString::number(attempts_),
                      QString::number(pendingPostingId() ? 1 : 0), why}
              .join(u'\t'));
    return 0;
}

} // namespace

int runKiosk(const KioskOptions& options) {
    Kiosk kiosk(options);
    return kiosk.run();
}

} // namespace kalinda::chaos
