#include "pin_guard.h"

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
    return QStringLiteral("REG:") + registrationId;
}

namespace {

// True on the server while the last wrong PIN is recent enough to still count.
Sql stillCounting(const PinGuardRules& rules) {
    Sql s;
    if (rules.lockDays > 0)
        s << "pin_terakhir > NOW() - INTERVAL " << rules.lockDays << " DAY";
    else
        s << "TRUE";
    return s;
}

} // namespace

bool pinLocked(Connection& db, const QString& key, const PinGuardRules& rules) {
    if (!rules.active())
        return false;
    Sql s;
    s << "SELECT pin_jumlah FROM data_pin_salah WHERE pin_kunci = '" << esc(key)
      << "' AND pin_jumlah >= " << rules.maxAttempts << " AND " << stillCounting(rules);
    return !db.open(s).eof();
}

void recordWrongPin(Connection& db, const QString& key, const PinGuardRules& rules) {
    if (!rules.active())
        return;
    // pin_jumlah is assigned first, so it still sees the previous pin_terakhir.
    Sql s;
    s << "INSERT INTO data_pin_salah (pin_kunci, pin_jumlah, pin_terakhir) VALUES ('" << esc(key)
      << "', 1, NOW()) ON DUPLICATE KEY UPDATE "
      << "pin_jumlah = IF(" << stillCounting(rules) << ", pin_jumlah + 1, 1), "
      << "pin_terakhir = NOW()";
    db.execute(s);
}

void recordRightPin(Connection& db, const QString& key, const PinGuardRules& rules) {
    if (!rules.active())
        return;
    Sql s;
    s << "UPDATE data_pin_salah SET pin_jumlah = 0 WHERE pin_kunci = '" << esc(key)
      << "' AND pin_jumlah <> 0";
    db.execute(s);
}

void countPin(Connection& db, const QString& key, bool right) {
    if (right)
        recordRightPin(db, key);
    else
        recordWrongPin(db, key);
}

bool refuseLockedPin(Connection& db, const QString& key, Sql logHead, const QString& transaksi,
                     QWidget* parent) {
    if (!pinLocked(db, key))
        return false;
    logHead << "', log_transaksi = '" << esc(transaksi)
            << "', log_keterangan = 'PIN TERKUNCI, DITOLAK' ";
    db.execute(logHead);
    showMessage(MessageIcon::Warning, kPinTerkunci, parent);
    return true;
}

void countPinQuietly(Connection& db, const QString& key, bool right) {
    try {
        countPin(db, key, right);
    } catch (const DbError&) {
    }
}

} // namespace kalinda
