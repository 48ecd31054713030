#pragma once

#include "app/db.h"
#include "app/money.h"

#include <functional>

namespace kalinda {

// A posting written all or nothing, safe against another kiosk posting on the same account:
// the payer's account row is locked first and the spendable balance read again under the lock.
// Nothing is kept unless commit() runs; the destructor rolls back.
class PostingTransaction {
public:
    PostingTransaction(Connection& db, const QString& payerAccount);
    // A posting between two accounts of students, who may post to each other at the same
    // moment: both rows are locked in ascending account order, so two such postings queue
    // behind each other instead of deadlocking.
    PostingTransaction(Connection& db, const QString& payerAccount, const QString& otherAccount);

    // The payer's spendable balance, read after the lock was granted.
    Rupiah spendableBalance() const { return balance_; }
    void commit() { transaction_.commit(); }

private:
    void readBalance(Connection& db, const QString& payerAccount);

    Transaction transaction_;
    Rupiah balance_ = 0;
};

// Runs `posting` again when the server broke a deadlock between two kiosks by undoing it
// (it is then safe to repeat: nothing of it was kept).
template <typename Result>
Result retryOnConflict(const std::function<Result()>& posting, int attempts = 3) {
    for (int i = 1;; ++i) {
        try {
            return posting();
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::Conflict || i >= attempts)
                throw;
        }
    }
}

} // namespace kalinda
