#pragma once

#include "app/db.h"
#include "app/money.h"
#include "posting.h"
#include "shop_cart.h"

#include <QDate>
#include <QString>
#include <QTime>
#include <optional>

namespace kalinda {

inline const QString kShopOrderTitle = QStringLiteral("ORDER KIRNA");
inline const QString kShopPinTidakSesuai = QStringLiteral("PIN TIDAK SESUAI!");
inline const QString kShopSaldoTidakMencukupi = QStringLiteral("SALDO TIDAK MENCUKUPI!");
inline const QString kShopMelebihiLimit =
    QStringLiteral("Total Harga melebihi limit belanja/jajanan!");
inline const QString kShopTanpaRekening =
    QStringLiteral("Rekening KIRNA belum diatur, order tidak dapat dibayar. Silakan hubungi "
                   "Bag. Administrasi!");
inline constexpr Rupiah kShopMinimumOrder = 15000;

// What BAYAR checks before anything is stored, as the shop form shows it at that moment.
struct ShopOrderForm {
    Rupiah total = 0;   // the order total, the delivery fee included
    int quantity = 0;   // the cart's quantity total
    Rupiah balance = 0; // the balance the main screen shows
    Rupiah limit = 0;   // the remaining spending quota when the form opened
    QString deliverySlot;
    QTime now; // the kiosk's clock: the delivery cut-off times
    QString pin;
    QString shopAccount; // the shop's receiving account
};

struct ShopOrderRefusal {
    enum class Focus { Stays, cboKirim, txtPin };
    QString message;
    Focus focus = Focus::Stays;
};

// The first check BAYAR fails, in the order the form runs them; nullopt when the order may go
// on to the PIN. An order without a shop account to pay is refused last.
std::optional<ShopOrderRefusal> checkShopOrder(const ShopOrderForm& form);

// What an order needs from the main screen and the shop form.
struct ShopOrderInput {
    QString NoRekening; // the payer, as the visit holds it
    QString NoCif;
    QString Rfid;
    QString txtNorek; // the payer as shown (log rows)
    QString txtRfid;
    QString txtNama;
    QString txtKelas;
    QString judul = kShopOrderTitle; // the form's title: the log rows
    QString deliverySlot;            // "Siang" or "Malam"
    QString channel;
    QString version;     // VersionReal
    QString shopAccount; // ShopNoRekening
    Rupiah balance = 0;  // the balance the main screen shows
    ShopCart cart;
};

struct ShopOrderResult {
    enum class Outcome { Posted, InsufficientBalance, OverQuota, NoShopAccount };
    Outcome outcome = Outcome::NoShopAccount;
    QString orderCode; // also set on the two refusals: the order stays, unpaid
    QString transId;   // the payer's row, the log row and the receipt
    QString creditId;  // the shop's row
    Rupiah total = 0;
    Rupiah balanceBefore = 0;
    Rupiah balanceAfter = 0;
};

// "Order KIRNA Siang dari 77 a.n Siti".
QString shopOrderDescription(const ShopOrderInput& input);

// The log row of a PIN that did not match.
void logShopPinRefused(Connection& db, const ShopOrderInput& input);

// The account's remaining spending quota of today (GetJajanKuotaSisa). Throws DbError.
Rupiah remainingQuota(Connection& db, const QString& account);

// Stores the order (header, a line per cart line, the delivery fee line) and pays it from the
// visit's account to the shop's: the debit row, the kiosk's and the shop's copies and the log
// row under one daily sequence id, the credit row under the next, and the payer's balance
// recomputation, all in one database transaction under the payer's lock. A payment that would
// not leave more than 0, or that exceeds the remaining spending quota, is refused under the
// lock: the order stays stored, unpaid, and nothing of the payment is written. A card blocked
// or an account closed since the visit began stores nothing, not even the order, and throws
// PayerRefused. A failure undoes everything and reaches the caller as DbError (or
// IdCapacityError).
ShopOrderResult postShopOrder(Connection& db, const ShopOrderInput& input,
                              const QDate& today = QDate::currentDate());

} // namespace kalinda
