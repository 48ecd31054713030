#pragma once

#include "app/db.h"

#include <QString>
#include <optional>

namespace kalinda {

// The three boxes of the PIN change form.
enum class PinBox { Lama, Baru, Ulangi };

struct PinEntryRefusal {
    QString message;
    PinBox focus; // the box the student is sent back to
};

// Checks the typed entries before anything is read: no empty box, the repetition equal to the
// new PIN (case matters), and a new PIN of exactly six digits, since every payment form asks for
// six and a shorter PIN would lock its owner out of paying.
std::optional<PinEntryRefusal> checkPinEntries(const QString& pinLama, const QString& pinBaru,
                                               const QString& ulangiPin);

struct PinChangeInput {
    QString txtNorek; // the account in visit
    QString txtRfid;  // its card, checked again under the lock; the customer as shown, for the
                      // log rows
    QString txtNama;
    QString txtKelas;
    QString pinLama;
    QString pinBaru;
};

enum class PinChangeOutcome { Changed, WrongOldPin };

// Checks the old PIN with the account's row locked, then stores the new PIN and its log row,
// all or nothing: two kiosks cannot both change a PIN from the same old one. A wrong old PIN
// changes nothing and is logged. A card blocked or an account closed since the visit began
// changes nothing and throws PayerRefused. A failure reaches the caller as DbError.
PinChangeOutcome changePin(Connection& db, const PinChangeInput& input);

// Whether the account holds `pinBaru` now. After a lost commit the kiosk looks for the change's
// own log row instead: the PIN may have been changed again meanwhile.
bool pinChangeStored(Connection& db, const QString& account, const QString& pinBaru);
// The account row as a stored change leaves it.
Sql pinChangeLookup(const QString& account, const QString& pinBaru);

} // namespace kalinda
