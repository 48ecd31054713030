#pragma once

// Shared by the two halves of kalinda_chaos: the driver (server, proxies, faults, checks) and
// the simulated kiosks it starts as processes of their own.

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kalinda::chaos {

// Accounts of the run: kiosk k (1-based) pays from its own kAccountsPerKiosk accounts, so that
// it alone knows their PINs (but for the shared one, below); any of them may receive a transfer.
inline constexpr int kAccountsPerKiosk = 4;

struct RunAccount {
    QString account; // 12 digits, "0197" + kiosk + "0000" + n
    QString card;
    QString holder;      // tab_nasabah
    QString alternative; // the registration id the block names it by
    QString firstPin;
    QString officePin; // what the office hands out when it unblocks the account
    bool rich = false; // the others run short of balance, quota and limit
};

RunAccount runAccount(int kiosk, int n);

// The last account of each kiosk is also paid from by the kiosk before it (with more than one
// kiosk), so that two kiosks meet on its balance. Neither changes its PIN nor blocks it: both
// must always know its PIN.
inline bool isShared(int n, int kiosks) {
    return kiosks > 1 && n == kAccountsPerKiosk;
}

// The receivers of the postings other than transfers: canteen, infaq, shop.
// Kiosk k's (1-based) own database account, as `scripts/db kiosk add` makes one.
inline QString kioskAccount(int kiosk) {
    return QStringLiteral("chaos_k%1").arg(kiosk);
}
inline QString kioskPassword(int kiosk) {
    return kioskAccount(kiosk) + QStringLiteral("-sandi-rahasia");
}

inline const QString kCanteen = QStringLiteral("020100000003");
inline const QString kInfaq = QStringLiteral("020100000010");
inline const QString kShop = QStringLiteral("020100000099");

// One line of a kiosk's record of truth, tab separated: what the student was told.
//   A kind account other amount outcome reason id order t0 t1 credit
//   S id result t                (a posting in doubt settled: stored, notbooked, unpaid)
//   P account pin blocked        (the PIN the kiosk holds at the end)
//   M profile t                  (the kiosk moved to another server)
//   E attempts doubtLeft why     (the kiosk ended)
// outcome: posted, refused, failed (nothing booked), doubt, design (a refusal by design).
struct Attempt {
    QString kind;
    QString account;
    QString other;
    qint64 amount = 0;
    QString outcome;
    QString reason;
    QString id;
    QString order;
    qint64 t0 = 0;
    qint64 t1 = 0;
    QString credit;
    int kiosk = 0; // 0-based, set by the driver as it reads the kiosk's record
};

QString line(const Attempt& a);
Attempt parseAttempt(const QStringList& fields);

struct KioskOptions {
    int kiosk = 1;
    int kiosks = 1;
    // The kiosk's server first, then the cluster's other nodes it may move to (profiles 2 to 4),
    // all at one port, as the kiosk's settings give them.
    QStringList hosts;
    int port = 0;
    quint64 seed = 0;
    qint64 until = 0; // ms since 1970: no new attempt after this
    QString record;   // the record file
    int pause = 500;  // the longest pause between two students, in ms
};

// A simulated kiosk's whole life; its exit status.
int runKiosk(const KioskOptions& options);

} // namespace kalinda::chaos
