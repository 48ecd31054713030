#pragma once

#include <chrono>
#include <functional>

namespace kalinda {

// Wrong exit passwords: after three in a row the password box stays shut for a minute, so
// nobody at the kiosk can try one password after another.
class ExitGuard {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr int kMaxWrong = 3;
    static constexpr std::chrono::seconds kLockTime{60};

    explicit ExitGuard(Clock clock = [] { return std::chrono::steady_clock::now(); });

    // Whole seconds until the box may open again; 0 while it may.
    int secondsLocked() const;
    void wrongPassword();

private:
    Clock clock_;
    int wrong_ = 0;
    std::chrono::steady_clock::time_point lockedUntil_{};
};

} // namespace kalinda
