#pragma once

#include "db.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace kalinda {

// PIN attempts are counted on the server, per account (and per registration id in the block
// form), so that walking to another kiosk does not start the count again.
struct PinGuardRules {
    int maxAttempts = 0; // 0: no limit
    int lockDays = 0;    // 0: only the administration unlocks

    bool active() const { return maxAttempts > 0; }
    // The rules of this program run, from "PinMaxAttempts" and "PinLockDays".
    static PinGuardRules current();
};

// The counter's key of a registration id, apart from account numbers; as long as the counter
// table's key column allows.
QString registrationPinKey(const QString& registrationId);

// Whether the key has reached the limit and is still locked. Always false with no limit. Only
// a hint (the card form asks it before the PIN box): takePinAttempt decides.
bool pinLocked(Connection& db, const QString& key,
               const PinGuardRules& rules = PinGuardRules::current());

// One PIN attempt, counted before the PIN is compared. In one transaction every key's row is
// locked and, unless a key is at the limit and still locked, each count goes up by one; so
// kiosks guessing at the same time never get a guess beyond the limit between them. False when
// refused: nothing was counted, and the PIN must not be compared. A count older than the lock
// days starts again. A cluster conflict is tried again; other failures reach the caller as
// DbError. Always true with no limit.
bool takePinAttempt(Connection& db, const QStringList& keys,
                    const PinGuardRules& rules = PinGuardRules::current());
// The PIN was right: the counts start again (a conflict is tried again).
void clearPinAttempts(Connection& db, const QStringList& keys,
                      const PinGuardRules& rules = PinGuardRules::current());
// The same after a stored posting the student is about to be told of: the posting stands, and
// a count the server does not clear is left, which errs on the side of the lock.
void clearAttemptsAfterPosting(Connection& db, const QStringList& keys);

// Message shown when a locked key's PIN is refused.
extern const QString kPinTerkunci;

// For the forms. refuseLockedPin: when `key` is locked, writes `logHead` (a log_transaksi head
// as logTransaksiHead gives it) ended with `transaksi` and the refusal, shows kPinTerkunci and
// returns true. admitPinAttempt: takePinAttempt, and when it is refused the same log row and
// message, returning false. Database errors go to the caller.
bool refuseLockedPin(Connection& db, const QString& key, Sql logHead, const QString& transaksi,
                     QWidget* parent);
bool admitPinAttempt(Connection& db, const QStringList& keys, Sql logHead, const QString& transaksi,
                     QWidget* parent);

} // namespace kalinda
