#pragma once

#include "app/db.h"
#include "app/money.h"

#include <QString>
#include <optional>

namespace kalinda {

// The account a card and PIN open, with what the main screen shows of it.
struct CardAccount {
    QString Nama;
    QString Alamat;
    QString Kelas;
    Rupiah SaldoAktif = 0;
    Rupiah LimitJajan = 0;
    Rupiah KuotaSisa = 0;
    Rupiah LimitTransfer = 0;
    QString tab_rekening;
    Rupiah tab_saldo_efektif = 0;
    QString tab_nasabah;
    QString tab_rfid;
};

// The active account with this card and PIN, both compared byte for byte; nullopt for an
// unknown card, a wrong PIN or an account that is not active. A card or PIN that is no lookup
// key (isLookupKey) is not sent and finds nothing.
std::optional<CardAccount> lookupCard(Connection& db, const QString& rfid, const QString& pin);

// The account a card belongs to, whatever its PIN; empty for an unknown card (or one that is no
// lookup key). Asked only when PIN attempts are counted.
QString cardAccountNumber(Connection& db, const QString& rfid);

// The active balance of the visit's account when the PIN is right and the account still
// active; nullopt otherwise (a PIN that is no lookup key is not sent).
std::optional<Rupiah> checkPaymentPin(Connection& db, const QString& rekening, const QString& pin);

} // namespace kalinda
