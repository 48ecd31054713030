#pragma once

#include "db.h"

#include <QString>

class QWidget;

namespace kalinda {

// Wrong PINs are counted on the server, per account (or per registration id in the block
// form), so that walking to another kiosk does not start the count again.
struct PinGuardRules {
    int maxAttempts = 0; // 0: no limit
    int lockDays = 0;    // 0: only the administration unlocks

    bool active() const { return maxAttempts > 0; }
    // The rules of this program run, from "PinMaxAttempts" and "PinLockDays".
    static PinGuardRules current();
};

// The counter's key of a registration id, apart from account numbers.
QString registrationPinKey(const QString& registrationId);

// Whether the key has reached the limit and is still locked. Always false with no limit.
bool pinLocked(Connection& db, const QString& key,
               const PinGuardRules& rules = PinGuardRules::current());
// One more wrong PIN for the key, counted by the server in one statement, so two kiosks
// never lose a count. A count older than the lock days starts again.
void recordWrongPin(Connection& db, const QString& key,
                    const PinGuardRules& rules = PinGuardRules::current());
// A right PIN: the count starts again.
void recordRightPin(Connection& db, const QString& key,
                    const PinGuardRules& rules = PinGuardRules::current());

// recordRightPin or recordWrongPin, as `right` says.
void countPin(Connection& db, const QString& key, bool right);
// The same after a posting whose outcome the user is about to be told: that outcome stands, so
// a count the server does not take is let go (the next PIN check reports the server).
void countPinQuietly(Connection& db, const QString& key, bool right);

// Message shown when a locked key's PIN is refused.
extern const QString kPinTerkunci;

// For the forms: when `key` is locked, writes `logHead` (a log_transaksi head as
// logTransaksiHead gives it) ended with `transaksi` and the refusal, shows kPinTerkunci and
// returns true; the PIN is then not looked at. Database errors go to the caller.
bool refuseLockedPin(Connection& db, const QString& key, Sql logHead, const QString& transaksi,
                     QWidget* parent);

} // namespace kalinda
