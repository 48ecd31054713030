#pragma once

#include "db.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <thread>

namespace kalinda {

// On a cluster every payment to one receiver (the canteen) conflicts at COMMIT with the
// payments taken by the other nodes at the same moment. Measured with four kiosks on three
// nodes paying the canteen without a pause between payments: over 1,000 payments, one lost
// up to 12 times in a row with the pause below (3 attempts without a pause failed one payment
// in six), so 20 attempts leave room.
inline constexpr int kConflictAttempts = 20;

// A lock wait that timed out already cost the student the whole lock wait; one more try is
// worth it, twenty are not.
inline constexpr int kLockWaitAttempts = 2;

// A random pause of `fromMs` to `toMs`, so that kiosks that collided do not collide again in
// step.
inline void pauseRandomly(int fromMs, int toMs) {
    thread_local std::minstd_rand random{std::random_device{}()};
    std::uniform_int_distribution<int> ms(fromMs, toMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms(random)));
}

// The pause before attempt `attempt` (2, 3, ...): up to 8 ms, doubling with every attempt up
// to 100 ms. At most about 1.7 s in all.
inline void pauseAfterConflict(int attempt) {
    pauseRandomly(1, std::min(8 << std::min(attempt - 2, 4), 100));
}

// How often the last run of retryOnConflict on this thread was repeated (for measuring).
inline thread_local int lastConflictRetries = 0;

// Runs `work` again when the server undid it for a conflict with another kiosk (a deadlock, or
// a cluster node that certified the other's rows first): nothing of it was kept, so it is safe
// to repeat. After a lock wait timeout only once more.
template <typename Result>
Result retryOnConflict(const std::function<Result()>& work, int attempts = kConflictAttempts) {
    for (int i = 1;; ++i) {
        lastConflictRetries = i - 1;
        try {
            return work();
        } catch (const DbError& e) {
            if (e.kind() != DbError::Kind::Conflict || i >= attempts)
                throw;
            if (e.code() == 1205 && i >= kLockWaitAttempts)
                throw;
        }
        pauseAfterConflict(i + 1);
    }
}

} // namespace kalinda
