#include "fee_payment.h"

#include "identifiers.h"
#include "ledger.h"
#include "posting.h"
#include "product_payment.h"

namespace kalinda {

QString feeDescription(const FeePaymentInput& input) {
    return input.purposeName + QStringLiteral(" dari ") + input.NoRekening +
           QStringLiteral(" a.n ") + input.txtNama;
}

// The fee form's log rows have the product payment's shape.
void logFeePinRefused(Connection& db, const FeePaymentInput& in) {
    db.execute(productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.judul,
                                 in.amount, kPinTidakSesuai));
}

namespace {

FeePaymentResult refuse(Connection& db, const FeePaymentInput& in, Rupiah balance) {
    db.execute(productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.jenis,
                                 in.amount, kFeeSaldoTidakMencukupi));
    FeePaymentResult r;
    r.balanceBefore = balance;
    r.balanceAfter = balance;
    return r;
}

} // namespace

FeePaymentResult postFeePayment(Connection& db, const FeePaymentInput& in, const QDate& today) {
    requirePositiveAmount(in.amount);
    // A payment must leave more than 0 on the account.
    if (in.balance - in.amount <= 0)
        return refuse(db, in, in.balance);

    const LedgerMove move = payerMove(in, in.rekTujuan, feeDescription(in), in.amount);

    const FeePaymentResult result = retryOnConflict<FeePaymentResult>([&] {
        PostingTransaction posting(db, {in.NoRekening, in.Rfid});
        // The balance shown when the form opened may be gone: another kiosk can have posted.
        const Rupiah before = posting.spendableBalance();
        const Rupiah after = before - in.amount;
        FeePaymentResult r;
        r.balanceBefore = before;
        if (after <= 0)
            return r; // rolled back by the guard

        r.outcome = FeePaymentResult::Outcome::Posted;
        r.balanceAfter = after;
        r.debitId = insertWithSequenceId(
            db, kTransactionIds, [&](const QString& id) { db.execute(debitRow(move, id, after)); },
            today);
        const KioskCopy copy{r.debitId, in.txtNama, in.txtKelas, before, after, std::nullopt};
        db.execute(kioskCopyRow(move, copy));
        db.execute(productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.judul,
                                     in.amount, kTransaksiBerhasil, r.debitId));
        // The debit row is already stored in this transaction, so the next number is past it
        // also when another kiosk posts at the same moment.
        r.creditId = insertWithSequenceId(
            db, kTransactionIds, [&](const QString& id) { db.execute(creditRow(move, id)); },
            today);
        // The purpose's stored balance is left to the central administration.
        db.execute(recomputeBalance(in.NoRekening));
        posting.writeProof(r.debitId);
        posting.commit();
        return r;
    });
    if (result.outcome != FeePaymentResult::Outcome::Posted)
        return refuse(db, in, result.balanceBefore);
    return result;
}

} // namespace kalinda
