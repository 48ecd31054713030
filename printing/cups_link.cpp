#include "cups_link.h"

#include <QElapsedTimer>

namespace kalinda {

CupsLink::CupsLink() {
    QElapsedTimer clock;
    clock.start();
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                         kCupsTimeoutMs, nullptr);
    if (http_)
        httpSetTimeout(http_, kCupsTimeoutMs / 1000.0, &CupsLink::giveUp, this);
    else
        timedOut_ = clock.hasExpired(kCupsTimeoutMs - 100);
}

CupsLink::~CupsLink() {
    if (http_)
        httpClose(http_);
}

int CupsLink::giveUp(http_t*, void* link) {
    static_cast<CupsLink*>(link)->timedOut_ = true;
    return 0; // stop waiting: the call fails
}

} // namespace kalinda
