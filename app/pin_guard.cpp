#include "pin_guard.h"

#include "conflict_retry.h"
#include "dialogs.h"
#include "parameters.h"

namespace kalinda {

const QString kPinTerkunci = QStringLiteral("PIN TERKUNCI karena salah berulang kali!\r\n"
                                            "Silahkan ke Bag. Administrasi untuk membuka PIN.");

PinGuardRules PinGuardRules::current() {
    const AppParameters& a = parameters().AppParam;
    PinGuardRules r;
    r.maxAttempts = qMax(0, a.PinMaxAttempts.trimmed().toInt());
    r.lockDays = qMax(0, a.PinLockDays.trimmed().toInt());
    return r;
}

QString registrationPinKey(const QString& registrationId) {
    constexpr int kKeyLength = 60; // data_pin_salah.pin_kunci
    return (QStringLiteral("REG:") + registrationId).left(kKeyLength);
}

namespace {

// True on the server while the last counted attempt is recent enough to still count.
Sql stillCounting(const PinGuardRules& rules) {
    Sql s;
    if (rules.lockDays > 0)
        s << "pin_terakhir > NOW() - INTERVAL " << rules.lockDays << " DAY";
    else
        s << "TRUE";
    return s;
}

Sql lockedNow(const PinGuardRules& rules) {
    Sql s;
    s << "pin_jumlah >= " << rules.maxAttempts << " AND " << stillCounting(rules);
    return s;
}

Sql lockRow(const QString& key, const PinGuardRules& rules) {
    Sql s;
    s << "SELECT " << lockedNow(rules) << " AS terkunci FROM data_pin_salah WHERE pin_kunci = '"
      << esc(key) << "' FOR UPDATE";
    return s;
}

void refuse(Connection& db, Sql logHead, const QString& transaksi, QWidget* parent) {
    logHead << "', log_transaksi = '" << esc(transaksi)
            << "', log_keterangan = 'PIN TERKUNCI, DITOLAK' ";
    db.execute(logHead);
    showMessage(MessageIcon::Warning, kPinTerkunci, parent);
}

} // namespace

bool pinLocked(Connection& db, const QString& key, const PinGuardRules& rules) {
    if (!rules.active())
        return false;
    Sql s;
    s << "SELECT pin_jumlah FROM data_pin_salah WHERE pin_kunci = '" << esc(key) << "' AND "
      << lockedNow(rules);
    return !db.open(s).eof();
}

bool takePinAttempt(Connection& db, const QStringList& keys, const PinGuardRules& rules) {
    if (!rules.active())
        return true;
    QStringList ordered = keys;
    ordered.sort(); // two kiosks lock the same rows in the same order
    ordered.removeDuplicates();
    // Another kiosk's count of the same key may get in the way (a deadlock, a cluster conflict).
    return retryOnConflict<bool>([&] {
        Transaction transaction(db, Isolation::ReadCommitted);
        bool locked = false;
        for (const QString& key : ordered) {
            Recordset row = db.open(lockRow(key, rules));
            if (row.eof()) {
                // The key's first attempt: its row is made, then locked like any other.
                Sql insert;
                insert << "INSERT IGNORE INTO data_pin_salah (pin_kunci, pin_jumlah) VALUES ('"
                       << esc(key) << "', 0)";
                db.execute(insert);
                row = db.open(lockRow(key, rules));
            }
            locked = locked || (!row.eof() && row.value(0).toLongLong() != 0);
        }
        if (locked)
            return false; // rolled back: a refused attempt counts nothing
        for (const QString& key : ordered) {
            // pin_jumlah is assigned first, so it still sees the previous pin_terakhir.
            Sql count;
            count << "UPDATE data_pin_salah SET pin_jumlah = IF(" << stillCounting(rules)
                  << ", pin_jumlah + 1, 1), pin_terakhir = NOW() WHERE pin_kunci = '" << esc(key)
                  << "'";
            db.execute(count);
        }
        transaction.commit();
        return true;
    });
}

void clearPinAttempts(Connection& db, const QStringList& keys, const PinGuardRules& rules) {
    if (!rules.active())
        return;
    for (const QString& key : keys) {
        Sql s;
        s << "UPDATE data_pin_salah SET pin_jumlah = 0 WHERE pin_kunci = '" << esc(key)
          << "' AND pin_jumlah <> 0";
        retryOnConflict<void>([&] { db.execute(s); });
    }
}

void clearAttemptsAfterPosting(Connection& db, const QStringList& keys) {
    try {
        clearPinAttempts(db, keys);
    } catch (const DbError&) {
    }
}

bool refuseLockedPin(Connection& db, const QString& key, Sql logHead, const QString& transaksi,
                     QWidget* parent) {
    if (!pinLocked(db, key))
        return false;
    refuse(db, std::move(logHead), transaksi, parent);
    return true;
}

bool admitPinAttempt(Connection& db, const QStringList& keys, Sql logHead, const QString& transaksi,
                     QWidget* parent) {
    if (takePinAttempt(db, keys))
        return true;
    refuse(db, std::move(logHead), transaksi, parent);
    return false;
}

} // namespace kalinda
