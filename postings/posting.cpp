#include "posting.h"

namespace kalinda {

PostingTransaction::PostingTransaction(Connection& db, const QString& payerAccount)
    : transaction_(db, Isolation::ReadCommitted) {
    Sql lock;
    lock << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
         << esc(payerAccount) << "' FOR UPDATE";
    db.open(lock);
    // A statement of its own, so it reads what another kiosk committed while we waited.
    Sql balance;
    balance << "SELECT `cashless-adm`.GetTabSaldoAktif('" << esc(payerAccount)
            << "', CURDATE()) as SaldoAktif";
    balance_ = toRupiah(db.open(balance).value(QStringLiteral("SaldoAktif")));
}

} // namespace kalinda
