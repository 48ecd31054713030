#include "posting.h"

#include <QThread>

namespace kalinda {
namespace {

void lockAccount(Connection& db, const QString& account) {
    Sql lock;
    lock << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
         << esc(account) << "' FOR UPDATE";
    db.open(lock);
}

} // namespace

PostingOutcomeUnknown::PostingOutcomeUnknown(const DbError& cause,
                                             std::optional<PostingProof> proof,
                                             unsigned long lostSession)
    : DbError(DbError::Kind::Connection, cause.code(), cause.message())
    , proof_(std::move(proof))
    , lostSession_(lostSession) {}

PostingTransaction::PostingTransaction(Connection& db, const QString& payerAccount)
    : db_(db)
    , transaction_(db, Isolation::ReadCommitted) {
    lockAccount(db, payerAccount);
    readBalance(payerAccount);
}

PostingTransaction::PostingTransaction(Connection& db, const QString& payerAccount,
                                       const QString& otherAccount)
    : db_(db)
    , transaction_(db, Isolation::ReadCommitted) {
    const bool payerFirst = payerAccount < otherAccount;
    lockAccount(db, payerFirst ? payerAccount : otherAccount);
    if (otherAccount != payerAccount)
        lockAccount(db, payerFirst ? otherAccount : payerAccount);
    readBalance(payerAccount);
}

void PostingTransaction::readBalance(const QString& payerAccount) {
    // A statement of its own, so it reads what another kiosk committed while we waited.
    Sql balance;
    balance << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(payerAccount)
            << "', CURDATE()) as SaldoAktif";
    balance_ = toRupiah(db_.open(balance).value(QStringLiteral("SaldoAktif")));
}

void PostingTransaction::proveStoredBy(const QString& id, const Sql& lookup) {
    proof_ = PostingProof{id, lookup};
}

void PostingTransaction::commit() {
    commitOrLookUp(db_, transaction_, proof_);
}

void commitOrLookUp(Connection& db, Transaction& transaction,
                    const std::optional<PostingProof>& proof) {
    const unsigned long session = db.sessionId();
    try {
        transaction.commit();
        return;
    } catch (const DbError& e) {
        // A refused COMMIT was rolled back by the server; only a lost one leaves doubt.
        if (e.kind() != DbError::Kind::Connection)
            throw;
        if (!proof)
            throw PostingOutcomeUnknown(e, std::nullopt, session);
        bool stored = false;
        try {
            stored = isPostingStored(db, *proof, session);
        } catch (const DbError&) {
            throw PostingOutcomeUnknown(e, proof, session);
        }
        if (!stored)
            throw;
    }
}

bool isPostingStored(Connection& db, const PostingProof& proof, unsigned long lostSession) {
    if (lostSession != 0) {
        // A session we can still see may be running the COMMIT right now.
        Sql alive;
        alive << "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = "
              << static_cast<qlonglong>(lostSession);
        for (int i = 0; db.open(alive).value(0).toLongLong() > 0; ++i) {
            if (i == 0) {
                Sql kill;
                kill << "KILL " << static_cast<qlonglong>(lostSession);
                try {
                    db.execute(kill);
                } catch (const DbError& e) {
                    if (e.kind() == DbError::Kind::Connection)
                        throw;
                    // Gone in the meantime.
                }
            }
            if (i >= 100)
                throw DbError(DbError::Kind::Connection, 0,
                              QStringLiteral("Sesi lama di server belum berakhir"));
            QThread::msleep(50);
        }
    }
    return !db.open(proof.lookup).eof();
}

bool transactionPinMatches(Connection& db, const QString& txtNorek, const QString& pin) {
    Sql s;
    s << "SELECT tab_rfid,  "
      << "`cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rekening = '" << esc(txtNorek) << "' "
      << "AND tab_pin = '" << esc(pin) << "'";
    return !db.open(s).eof();
}

} // namespace kalinda
