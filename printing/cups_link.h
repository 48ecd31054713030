#pragma once

#include <cups/cups.h>

namespace kalinda {

// How long the scheduler may take to accept the connection, and to answer each call on it.
inline constexpr int kCupsTimeoutMs = 5000;

// One connection to the CUPS scheduler for one printing step. A cupsd that hangs must not
// freeze the kiosk: connecting and every call on the connection give up after kCupsTimeoutMs.
class CupsLink {
public:
    CupsLink();
    ~CupsLink();
    CupsLink(const CupsLink&) = delete;
    CupsLink& operator=(const CupsLink&) = delete;

    // Null when the scheduler could not be reached.
    http_t* http() const { return http_; }
    // Whether the scheduler stopped answering; a further call would wait as long again.
    bool timedOut() const { return timedOut_; }

private:
    static int giveUp(http_t* http, void* link);

    http_t* http_ = nullptr;
    bool timedOut_ = false;
};

} // namespace kalinda
