#pragma once

namespace kalinda {

// Held while a posting runs, or anything else the idle clock must not cut short (the
// operator's password box). The kiosk has one thread, so a plain count is enough.
class BusyHold {
public:
    BusyHold() { ++count(); }
    ~BusyHold() { --count(); }
    BusyHold(const BusyHold&) = delete;
    BusyHold& operator=(const BusyHold&) = delete;

    static bool any() { return count() > 0; }

private:
    static int& count() {
        static int holds = 0;
        return holds;
    }
};

} // namespace kalinda
