#pragma once

#include "app/db.h"
#include "app/money.h"
#include "postings/product_payment.h"

#include <QString>
#include <functional>
#include <vector>

namespace kalinda::bench {

// A student account of the benchmark's own, rich enough for every run.
struct Payer {
    QString account;
    QString holder;
    QString card;
    QString pin;
};

// The benchmark's accounts in the demo database: payers (one per kiosk) and two canteen-like
// receivers whose ledgers are seeded to the sizes being compared. Created when missing, so
// runs add to what earlier runs left (`scripts/db reset` starts over).
struct BenchAccounts {
    std::vector<Payer> payers;
    QString smallReceiver;
    QString largeReceiver;
};

BenchAccounts benchAccounts(int payers);

// As the administrator (`admin`): creates what is missing and tops the receivers' ledgers up to
// the given row counts with past-dated rows (a server-side sequence insert, in chunks;
// `progress` hears each chunk).
void prepare(Connection& admin, const BenchAccounts& accounts, long long smallRows,
             long long largeRows, const std::function<void(const QString&)>& progress);

long long ledgerRows(Connection& db, const QString& account);

// As the administrator: `rows` ledger rows in chunks of 50,000 through the server's sequence
// tables, numbered from `first`. `select` ("SELECT …" over `seq`) gives trans_id,
// trans_tanggal, trans_kode, trans_rekening, trans_nasabah, trans_channel, trans_jumlah_masuk,
// trans_ob_jenis, trans_ob_rekening, trans_uraian, trans_status and trans_reg_alias;
// `progress` hears the rows written so far after each chunk.
void insertLedgerRows(Connection& admin, long long first, long long rows, const Sql& select,
                      const std::function<void(long long written)>& progress);

// A product payment of 100 from `payer` to `receiver`, as the PAY button and PIN form make it.
ProductPaymentInput payment(const Payer& payer, const QString& receiver, Rupiah balance);

// The kiosk's own way, PIN check to commit; false when the payment was refused.
bool kioskPayment(Connection& db, const Payer& payer, const QString& receiver);

// Differences the school database's reconciliation finds on these accounts (0 = none); the
// administrator runs it.
int reconciliationDifferences(Connection& admin, const BenchAccounts& accounts);

} // namespace kalinda::bench
