#include "exit_guard.h"

#include <utility>

namespace kalinda {

ExitGuard::ExitGuard(Clock clock)
    : clock_(std::move(clock)) {}

int ExitGuard::secondsLocked() const {
    const auto left = lockedUntil_ - clock_();
    if (left <= std::chrono::steady_clock::duration::zero())
        return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

void ExitGuard::wrongPassword() {
    if (++wrong_ < kMaxWrong)
        return;
    // The next three tries start after the minute.
    wrong_ = 0;
    lockedUntil_ = clock_() + kLockTime;
}

} // namespace kalinda
