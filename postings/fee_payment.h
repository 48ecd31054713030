#pragma once

#include "app/db.h"
#include "app/money.h"
#include "posting.h"

#include <QDate>
#include <QString>

namespace kalinda {

// What a fee or donation payment needs from the main screen and the fee form.
struct FeePaymentInput {
    QString NoRekening; // the payer, as the visit holds it
    QString NoCif;
    QString Rfid;
    QString txtNorek; // the payer as shown (log rows)
    QString txtRfid;
    QString txtNama;
    QString txtKelas;
    QString judul;       // the form's title: the success log row and the receipt
    QString jenis;       // the form's txtJenis: the refused-balance log row
    QString rekTujuan;   // the purpose's receiving account
    QString purposeName; // the purpose's product name
    QString channel;
    Rupiah amount = 0;
    Rupiah balance = 0; // the balance the main screen shows
};

struct FeePaymentResult {
    enum class Outcome { Posted, InsufficientBalance };
    Outcome outcome = Outcome::InsufficientBalance;
    QString debitId;  // the payer's row, the log row and the receipt
    QString creditId; // the purpose's row
    Rupiah balanceBefore = 0;
    Rupiah balanceAfter = 0;
};

inline const QString kFeeSaldoTidakMencukupi = QStringLiteral("SALDO TIDAK MENCUKUPI!");
inline const QString kPinTidakSesuai = QStringLiteral("PIN TIDAK SESUAI!");

// "Infaq dari 77 a.n Siti": the purpose's name, the payer's account and name.
QString feeDescription(const FeePaymentInput& input);

// The log row of a PIN that did not match.
void logFeePinRefused(Connection& db, const FeePaymentInput& input);

// Pays a fee or donation from the visit's account: the debit row, the kiosk's copy and the log
// row under one daily sequence id, the credit row under the next, and the payer's balance
// recomputation, in one database transaction. A payment that would not leave more than 0 is
// refused and logged, also when another kiosk spent the money a moment ago. A card blocked or
// an account closed since the visit began writes nothing and throws PayerRefused. A failure
// undoes everything and reaches the caller as DbError (or IdCapacityError).
FeePaymentResult postFeePayment(Connection& db, const FeePaymentInput& input,
                                const QDate& today = QDate::currentDate());

} // namespace kalinda
