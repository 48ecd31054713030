#pragma once

#include "app/db.h"
#include "app/money.h"
#include "identifiers.h"

#include <QDate>
#include <QString>
#include <optional>

namespace kalinda {

inline const QString kTarikKeTabungan = QStringLiteral("TARIK KE TABUNGAN");

// What a transfer needs from the main screen and the transfer form.
struct TransferInput {
    QString NoRekening; // the sender, as the visit holds it
    QString NoCif;
    QString Rfid;
    QString txtNorek; // the sender as shown (log rows, credit description)
    QString txtRfid;
    QString txtNama;
    QString txtKelas;
    QString txtRekening; // the receiver
    QString targetName;  // the receiver's name as the lookup showed it
    QString channel;
    Rupiah amount = 0;
    Rupiah balance = 0; // the active balance the PIN check just read
};

struct TransferResult {
    enum class Outcome { Posted, InsufficientBalance, OverLimit, TargetInvalid };
    Outcome outcome = Outcome::InsufficientBalance;
    QString transId;
    Rupiah balanceBefore = 0;
    Rupiah balanceAfter = 0;
    // The sender's remaining transfer limit read under the lock, before this transfer; unset
    // when the posting stopped before reading it.
    std::optional<Rupiah> limit;
};

// The receiver's name and class, as the target lookup shows them.
struct TransferTarget {
    QString Nama;
    QString Kelas;
};

// An active account with this number, or nullopt. Throws DbError.
std::optional<TransferTarget> lookupTransferTarget(Connection& db, const QString& account);

// The sender's active balance when the PIN matches the account, or nullopt. Throws DbError.
std::optional<Rupiah> checkTransferPin(Connection& db, const QString& account, const QString& pin);

// The sender's remaining transfer limit of today, as the server returns it.
QString transferLimitText(Connection& db, const QString& account);

// "Transfer ke <receiver> a.n <receiver's name>" and "Transfer dari <sender> a.n <name>".
QString transferDebitDescription(const TransferInput& input);
QString transferCreditDescription(const TransferInput& input);

// The log row of a transfer: with its id when posted, else the refusal for want of balance.
Sql transferLog(const TransferInput& input, const QString& transId);

// Moves money from the visit's account to another student's account: debit row, the kiosk's
// copy, the log row, the credit row and both balance recomputations, in one database
// transaction. Under the locks of both accounts it checks again that the sender keeps more than
// 0, that the amount fits the day's remaining transfer limit and that the receiver is still
// active. A refused balance is logged; nothing else is written by a refusal. A card blocked or
// an account closed since the visit began throws PayerRefused. A failure undoes everything and
// reaches the caller as DbError (or IdCapacityError).
TransferResult postTransfer(Connection& db, const TransferInput& input,
                            const QDate& today = QDate::currentDate(),
                            const RandomNumberSource& draw = drawRandomNumber);

} // namespace kalinda
