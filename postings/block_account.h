#pragma once

#include "app/db.h"

#include <QString>
#include <QStringList>

namespace kalinda {

// The PIN a blocked account gets; the administration office hands out a new one.
inline constexpr int kResetPin = 582931;

struct BlockInput {
    QString txtReg; // registration id, as typed (not trimmed)
    QString txtPin;
    // The main screen's customer (empty when no visit runs), for the log row of a refusal.
    QString txtNorek;
    QString txtRfid;
    QString txtNama;
    QString txtKelas;
};

struct BlockResult {
    enum class Outcome { Blocked, NotFound };
    Outcome outcome = Outcome::NotFound;
    QString account; // the account found, with its holder's name and class
    QString nama;
    QString kelas;
    QString cardBefore; // its card number before the block
};

// The accounts a registration id names, compared as the block's lookup compares it (none for an
// id that is no lookup key): the block form counts its PIN attempts against them.
QStringList registrationAccounts(Connection& db, const QString& registrationId);

// Finds the account by registration id and PIN, puts "#" before its card number and gives it
// the reset PIN, with its log row, all or nothing and with the found row locked. No match is
// logged with the main screen's customer. A failure reaches the caller as DbError.
// The block has no visit, so no payer to check as the other postings do: it names its account
// by registration id and PIN and checks both again under the row's lock. A visit that runs on
// the account meanwhile is stopped at its next posting (PayerRefused).
BlockResult blockAccount(Connection& db, const BlockInput& input);

// Whether `account` is blocked now (its card number is "#" + `cardBefore`). After a lost commit
// the kiosk looks for the block's own log row instead: the office may have given the card back.
bool blockStored(Connection& db, const QString& account, const QString& cardBefore);
// The account row as a stored block leaves it.
Sql blockLookup(const QString& account, const QString& cardBefore);

} // namespace kalinda
