#pragma once

#include "db.h"

#include <QString>
#include <array>

class QComboBox;

namespace kalinda {

// One field per recognised key of the kiosk's set_app, named like its key.
struct AppParameters {
    QString AppName;
    QString Url;
    QString Version;
    QString Channel;
    QString NoRekening;
    QString LembagaNama;
    QString LembagaAlamat;
    QString VersionReal;
    QString MutasiFontSize;
    QString SelfOrder;
    QString pinLogout;
    QString FailoverProfiles; // see failoverProfiles() in failover.h
    QString OnScreenKeypad;   // "1": the on-screen keypad for touch screens
    // Kiosk guards; each is off while its key is absent.
    QString IdleTimeout;
    QString PinMaxAttempts;
    QString PinLockDays;
    QString PrinterCheck;
    QString ReprintLast;
};

struct ProductSlot {
    QString Rekening;
    QString Nama;
};

// The four fixed product accounts, by product code.
struct ProductAccounts {
    static constexpr std::array<const char*, 4> kCodes = {"001", "002", "010", "011"};
    std::array<ProductSlot, 4> entries;

    // The slot of a fee purpose: "SPP", "MAKAN", "INFAQ" or "WAKAF"; nullptr for another.
    const ProductSlot* forPurpose(const QString& purpose) const;
};

struct Parameters {
    AppParameters AppParam;
    QString ShopNoRekening;
    ProductAccounts ProductAccount;
    // All three statements succeeded. Until then no posting may run: its Channel, its guards
    // and the exit password would all be empty.
    bool read = false;
};

// Reads the kiosk's set_app, the shop's set_app (only when "SelfOrder" is "1") and the four
// product accounts. Values are held as read; keys are compared exactly; a repeated key takes
// the last row's value. Database errors go to the caller.
Parameters LoadParameters(Connection& db);

// The parameters of this program run (read once by the main screen's load).
Parameters& parameters();

// major.minor.revision of this build.
QString AppVersion();

void FillProductCombo(QComboBox* combo, Connection& db);
void FillShopItemCombo(QComboBox* combo, Connection& db);
void FillDeliverySlotCombo(QComboBox* combo);

} // namespace kalinda
