#pragma once

#include "app/money.h"
#include "app/sql.h"

#include <QString>
#include <optional>

namespace kalinda {

// One movement of money from the visit's account to another account, as every posting writes
// it: a debit row on the payer, a credit row on the receiver, the kiosk's own copy. Each
// posting fills in what differs (ids, description, the shop's order code).
struct LedgerMove {
    QString payerAccount; // NoRekening
    QString payerHolder;  // NoCif
    QString payerCard;    // Rfid
    QString targetAccount;
    QString channel; // the Channel parameter
    QString description;
    Rupiah amount = 0;
    std::optional<QString> orderCode; // trans_kuitansi of shop postings
};

// The movement paid from the account of a posting's input, which names the payer as the
// visit does (NoRekening, NoCif, Rfid) and carries the kiosk's channel.
template <typename Input>
LedgerMove payerMove(const Input& in, QString targetAccount, QString description, Rupiah amount) {
    return {in.NoRekening,          in.NoCif, in.Rfid,     std::move(targetAccount), in.channel,
            std::move(description), amount,   std::nullopt};
}

// "KLD|" followed by the operator alias, as the ledger's alias column takes it.
QString ledgerAlias();

// The payer's "14" row with the balance after the movement.
Sql debitRow(const LedgerMove& move, const QString& id, Rupiah balanceAfter);
// The receiver's "15" row; it carries the payer's holder id and card.
Sql creditRow(const LedgerMove& move, const QString& id);

// The kiosk's own copy of the debit side (data_transaksi of the kiosk's schema).
struct KioskCopy {
    QString id;
    QString payerName;  // as shown
    QString payerClass; // as shown
    Rupiah balanceBefore = 0;
    Rupiah balanceAfter = 0;
    std::optional<QString> version; // trans_version, written by shop postings only
};
Sql kioskCopyRow(const LedgerMove& move, const KioskCopy& copy);
// The shop's copy of a paid order (data_transaksi of the shop's schema): the kiosk's copy with
// the order code (the move's) and the delivery slot.
Sql shopCopyRow(const LedgerMove& move, const KioskCopy& copy, const QString& deliverySlot);

// Has the server recompute an account's stored balance from its ledger rows.
Sql recomputeBalance(const QString& account);

} // namespace kalinda
