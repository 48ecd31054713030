#pragma once

#include "app/conflict_retry.h"
#include "app/db.h"
#include "app/money.h"

#include <functional>
#include <optional>
#include <stdexcept>

namespace kalinda {

// How to tell, after the connection was lost during COMMIT, whether a posting is stored.
struct PostingProof {
    QString id; // what the administration looks the posting up by
    // 128 random bits that this attempt alone wrote with its rows (data_posting_tanda): found,
    // the posting is stored; not found once the server that lost the COMMIT is done, it is not.
    // Nothing else decides: another kiosk may take the same daily id for the same account and
    // amount once ours was undone, and a Galera node hands out an AUTO_INCREMENT id again once
    // the node that gave it out has left the cluster.
    QString mark;
    // False when a stored posting paid nothing (a shop order refused under the lock is kept
    // unpaid): no receipt is printed for it.
    bool paid = true;
};

// A new mark: 32 lower-case hex digits from the system's random source.
QString newPostingMark();
bool isPostingMark(const QString& text);
// Writes a new mark in the posting's transaction, right before its COMMIT: the proof that a
// lost COMMIT is looked up by.
PostingProof writePostingProof(Connection& db, const QString& id, bool paid = true);

// The connection was lost during COMMIT and the server could not be asked afterwards whether
// the posting is stored. Nothing may be printed for it until that is known.
class PostingOutcomeUnknown : public DbError {
public:
    PostingOutcomeUnknown(const DbError& cause, std::optional<PostingProof> proof,
                          SessionIdentity lostSession);

    // Empty when the posting gave no proof: it can then only be checked by hand.
    const std::optional<PostingProof>& proof() const { return proof_; }
    const SessionIdentity& lostSession() const { return lostSession_; }

private:
    std::optional<PostingProof> proof_;
    SessionIdentity lostSession_;
};

// The account a posting pays from, and the card the visit was opened with.
struct Payer {
    QString account; // NoRekening
    QString card;    // Rfid
};

inline const QString kNominalTidakValid = QStringLiteral("Nominal tidak valid!");

// An amount of 0 or less would take money from the receiver. Every posting refuses it before it
// sends anything, whatever its form let through; runPosting() shows kNominalTidakValid.
class AmountRefused : public std::runtime_error {
public:
    AmountRefused();
};

// Throws AmountRefused unless `amount` is more than 0.
void requirePositiveAmount(Rupiah amount);

// The visit's account may no longer pay: since the card was tapped the card was blocked (its
// tab_rfid is no longer the visit's card) or the office closed the account (tab_status not 1).
// Found under the lock, before anything is written; runPosting() ends the visit.
class PayerRefused : public std::runtime_error {
public:
    PayerRefused();
};

// A posting written all or nothing, safe against another kiosk posting on the same account:
// the payer's account row is locked first; under the lock it must still carry the visit's card
// and be active (else PayerRefused), and the spendable balance is read again.
// Nothing is kept unless commit() runs; the destructor rolls back.
//
// A lost COMMIT is resolved here, for every posting kind. Adopting it takes two steps:
// 1. Right before commit(), the posting writes its mark with the id the office knows it by:
//        posting.writeProof(id);
//    commit() then returns normally when the posting turns out stored, throws the connection's
//    DbError when nothing was booked, and PostingOutcomeUnknown when the server cannot be asked.
//    A posting under a plain Transaction (block) writes its proof with writePostingProof() and
//    commits through commitOrLookUp() instead.
// 2. The form runs the posting through runPosting() (posting_outcome.h) with its failure text
//    and its receipt values; a result means "go the usual way" (the form's one success path:
//    main screen, CetakNota, message). Failures are shown there; an unknown outcome is kept
//    and settled (receipt, or "not booked") at the next card tap or posting.
class PostingTransaction {
public:
    PostingTransaction(Connection& db, const Payer& payer);
    // A posting between two accounts of students, who may post to each other at the same
    // moment: both rows are locked in ascending account order, so two such postings queue
    // behind each other instead of deadlocking.
    PostingTransaction(Connection& db, const Payer& payer, const QString& otherAccount);

    // The payer's spendable balance, read after the lock was granted.
    Rupiah spendableBalance() const { return balance_; }

    // Writes the attempt's mark (writePostingProof); the last statement before commit().
    void writeProof(const QString& id, bool paid = true);
    void commit();

private:
    void readBalance(const QString& payerAccount);

    Connection& db_;
    Transaction transaction_;
    Rupiah balance_ = 0;
    std::optional<PostingProof> proof_;
};

// Whether a COMMIT that failed so may have been stored all the same, and must be looked up.
bool commitLeftInDoubt(const DbError& e, const SessionIdentity& session);

// Commits `transaction`; after a lost COMMIT, looks the posting up as PostingTransaction::commit
// does. For postings that lock their rows on their own (block) under a plain Transaction.
void commitOrLookUp(Connection& db, Transaction& transaction,
                    const std::optional<PostingProof>& proof);

// Whether the posting is stored. The session that lost its COMMIT is ended first (it may live
// on at the server behind a broken link), so the answer is final. Asked on the connection's own
// server only. Throws DbError when that server cannot be asked.
bool isPostingStored(Connection& db, const PostingProof& proof, const SessionIdentity& lostSession);
// The PIN check of the fee and shop forms: whether `pin` is the PIN of the account (any status).
bool transactionPinMatches(Connection& db, const QString& txtNorek, const QString& pin);

} // namespace kalinda
