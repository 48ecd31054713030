#pragma once

#include "app/db.h"
#include "app/money.h"
#include "identifiers.h"
#include "posting.h"

#include <QDate>
#include <QString>
#include <optional>

namespace kalinda {

// What a product payment needs from the main screen and the PIN form.
struct ProductPaymentInput {
    QString NoRekening; // the payer, as the visit holds it
    QString NoCif;
    QString Rfid;
    QString txtNorek; // the payer as shown (log rows)
    QString txtRfid;
    QString txtNama;
    QString txtKelas;
    QString cboJenis;     // the product entry, "code : name"
    QString txtRekTujuan; // the product's receiving account
    QString channel;
    Rupiah amount = 0;
    Rupiah balance = 0; // the active balance the PIN check just read
};

struct ProductPaymentResult {
    enum class Outcome { Posted, InsufficientBalance };
    Outcome outcome = Outcome::InsufficientBalance;
    QString transId;
    Rupiah balanceBefore = 0;
    Rupiah balanceAfter = 0;
};

inline const QString kSaldoTidakMencukupi = QStringLiteral("Saldo tidak mencukupi!");
inline const QString kTransaksiBerhasil = QStringLiteral("TRANSAKSI BERHASIL");
inline const QString kProdukTidakDitemukan = QStringLiteral("Jenis Produk tidak ditemukan!");
inline const QString kRekeningTujuanTidakValid =
    QStringLiteral("Rekening tujuan produk tidak ditemukan!");

// A payable product as the product table holds it.
struct Product {
    Rupiah price = 0;        // kalinda_nominal
    bool fixedPrice = false; // kalinda_otomatis "1": the amount is the price
    QString account;         // kalinda_rekening, receives the payment
};

// The product of a list entry ("code : name"), found by its first 3 characters.
std::optional<Product> findProduct(Connection& db, const QString& entry);

// Why PAY refuses the chosen product before the PIN is asked.
enum class ProductChoiceRefusal {
    None,
    UnknownProduct,     // the entry has no product row
    AmountNotThePrice,  // a fixed-price product with another amount
    NoReceivingAccount, // empty, not an account, or not the product's own account
};

// Checks what PAY is about to pay against the product table and the accounts, so that a
// fixed-price product is paid at its price and the money reaches the product's own account.
ProductChoiceRefusal checkProductChoice(Connection& db, const QString& cboJenis, Rupiah amount,
                                        const QString& txtRekTujuan);

// "Uang Makan dari 77 a.n Siti": the product's name, the payer's account and name.
QString productDescription(const ProductPaymentInput& input);

// A log row of the product payment's PIN form: the product entry, the amount, the outcome and,
// for a posting, its id.
Sql productPaymentLog(const QString& txtNorek, const QString& txtRfid, const QString& txtNama,
                      const QString& txtKelas, const QString& jenis, Rupiah amount,
                      const QString& keterangan, const QString& transId = QString());

// Pays a product from the visit's account: debit row, the kiosk's copy, the log row, the credit
// row and both balance recomputations, in one database transaction. A payment that would not
// leave more than 0 is refused and logged, also when another kiosk spent the money a moment
// ago. A card blocked or an account closed since the visit began writes nothing and throws
// PayerRefused. A failure undoes everything and reaches the caller as DbError (or
// IdCapacityError); a COMMIT whose answer was lost is looked up (PostingOutcomeUnknown when that
// fails too).
ProductPaymentResult postProductPayment(Connection& db, const ProductPaymentInput& input,
                                        const QDate& today = QDate::currentDate(),
                                        const RandomNumberSource& draw = drawRandomNumber);

} // namespace kalinda
