#pragma once

#include "app/db.h"
#include "app/money.h"

#include <QString>
#include <QStringList>
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

// The active account with this card and PIN, compared by the server as the columns' collation
// does (a card typed in capitals finds the one stored in small letters); nullopt for an unknown
// card, a wrong PIN or an account that is not active. A card or PIN that is no lookup key
// (isLookupKey) is not sent and finds nothing.
std::optional<CardAccount> lookupCard(Connection& db, const QString& rfid, const QString& pin);

// The accounts a card names, whatever their PIN, compared as lookupCard compares it: the PIN
// attempts of a tap count against each of them. Empty for an unknown card (or one that is no
// lookup key). Asked only when PIN attempts are counted.
QStringList cardAccounts(Connection& db, const QString& rfid);

// The active balance of the visit's account when the PIN is right and the account still
// active; nullopt otherwise (a PIN that is no lookup key is not sent).
std::optional<Rupiah> checkPaymentPin(Connection& db, const QString& rekening, const QString& pin);

} // namespace kalinda
