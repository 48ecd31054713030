#pragma once

#include "app/db.h"
#include "app/money.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

namespace kalinda {

// A posting written all or nothing, safe against another kiosk posting on the same account:
// the payer's account row is locked first and the spendable balance read again under the lock.
// Nothing is kept unless commit() runs; the destructor rolls back.
class PostingTransaction {
public:
    PostingTransaction(Connection& db, const QString& payerAccount);

    // The payer's spendable balance, read after the lock was granted.
    Rupiah spendableBalance() const { return balance_; }
    void commit() { transaction_.commit(); }

private:
    Transaction transaction_;
    Rupiah balance_ = 0;
};

// On a cluster every payment to one receiver (the canteen) conflicts at COMMIT with the
// payments taken by the other nodes at the same moment. Measured with four kiosks on three
// nodes paying the canteen without a pause between payments: over 1,000 payments, one lost
// up to 12 times in a row with the pause below (3 attempts without a pause failed one payment
// in six), so 20 attempts leave room.
inline constexpr int kConflictAttempts = 20;

// A short random pause before attempt `attempt` (2, 3, ...): up to 8 ms, doubling with every
// attempt up to 100 ms, so that kiosks that collided do not collide again in step. At most
// about 1.7 s in all.
inline void pauseAfterConflict(int attempt) {
    thread_local std::minstd_rand random{std::random_device{}()};
    const int ceiling = std::min(8 << std::min(attempt - 2, 4), 100);
    std::uniform_int_distribution<int> ms(1, ceiling);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms(random)));
}

// How often the last posting of this thread was repeated after a conflict (for measuring).
inline thread_local int lastConflictRetries = 0;

// Runs `posting` again when the server broke a deadlock between two kiosks by undoing it
// (it is then safe to repeat: nothing of it was kept).
template <typename Result>
Result retryOnConflict(const std::function<Result()>& posting, int attempts = kConflictAttempts) {
    for (int i = 1;; ++i) {
        lastConflictRetries = i - 1;
        try {
            return posting();
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::Conflict || i >= attempts)
                throw;
        }
        pauseAfterConflict(i + 1);
    }
}

} // namespace kalinda
