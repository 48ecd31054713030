#include "posting.h"

namespace kalinda {
namespace {

void lockAccount(Connection& db, const QString& account) {
    Sql lock;
    lock << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
         << esc(account) << "' FOR UPDATE";
    db.open(lock);
}

} // namespace

PostingTransaction::PostingTransaction(Connection& db, const QString& payerAccount)
    : transaction_(db) {
    lockAccount(db, payerAccount);
    readBalance(db, payerAccount);
}

PostingTransaction::PostingTransaction(Connection& db, const QString& payerAccount,
                                       const QString& otherAccount)
    : transaction_(db) {
    const bool payerFirst = payerAccount < otherAccount;
    lockAccount(db, payerFirst ? payerAccount : otherAccount);
    if (otherAccount != payerAccount)
        lockAccount(db, payerFirst ? otherAccount : payerAccount);
    readBalance(db, payerAccount);
}

void PostingTransaction::readBalance(Connection& db, const QString& payerAccount) {
    // A statement of its own, so it reads what another kiosk committed while we waited.
    Sql balance;
    balance << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(payerAccount)
            << "', CURDATE()) as SaldoAktif";
    balance_ = toRupiah(db.open(balance).value(QStringLiteral("SaldoAktif")));
}

} // namespace kalinda
