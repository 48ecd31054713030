#include "transfer.h"

#include "app/typed_input.h"
#include "app/visit_state.h"
#include "ledger.h"
#include "posting.h"

namespace kalinda {

std::optional<TransferTarget> lookupTransferTarget(Connection& db, const QString& account) {
    // The collation takes other scripts' digits for ASCII ones: such a number is nobody's.
    if (!isAccountNumber(account))
        return std::nullopt;
    Sql s;
    s << "SELECT `cashless-adm`.GetNasabahNama(tab_nasabah) as Nama, "
      << "`cashless-adm`.GetNasabahAlamat(tab_nasabah) as Alamat, "
      << "`cashless-adm`.GetNasabahKelas(tab_nasabah) as Kelas, "
      << "`cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif, "
      << "tab_rekening, tab_saldo_efektif, tab_nasabah, tab_rfid "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rekening = '" << esc(account) << "' AND tab_status=1 ";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    return TransferTarget{rs.text(QStringLiteral("Nama")), rs.text(QStringLiteral("Kelas"))};
}

std::optional<Rupiah> checkTransferPin(Connection& db, const QString& account, const QString& pin) {
    if (!isLookupKey(pin))
        return std::nullopt;
    Sql s;
    s << "SELECT tab_rfid, `cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rekening = '" << esc(account) << "' "
      << "AND tab_pin = '" << esc(pin) << "'";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    return toRupiah(rs.value(QStringLiteral("SaldoAktif")));
}

QString transferLimitText(Connection& db, const QString& account) {
    Sql s;
    s << "SELECT `cashless-adm`.GetTabTransferLimit('" << esc(account)
      << "', CURDATE()) as tranferLimit ";
    Recordset rs = db.open(s);
    return rs.eof() ? QString() : rs.text(QStringLiteral("tranferLimit"));
}

QString transferDebitDescription(const TransferInput& input) {
    return QStringLiteral("Transfer ke ") + input.txtRekening + QStringLiteral(" a.n ") +
           input.targetName;
}

QString transferCreditDescription(const TransferInput& input) {
    return QStringLiteral("Transfer dari ") + input.txtNorek + QStringLiteral(" a.n ") +
           input.txtNama;
}

Sql transferLog(const TransferInput& in, const QString& transId) {
    Sql s = logTransaksiHead(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas);
    s << "', log_transaksi = '" << esc(kTarikKeTabungan) << "', log_nominal = '"
      << esc(plainDigits(in.amount));
    if (transId.isEmpty())
        s << "', log_keterangan = 'Saldo tidak mencukupi!'";
    else
        s << "', log_keterangan = 'TRANSAKSI BERHASIL', "
          << " log_transid = '" << esc(transId) << "' ";
    return s;
}

namespace {

TransferResult refuseBalance(Connection& db, const TransferInput& in, Rupiah balance) {
    db.execute(transferLog(in, QString()));
    TransferResult r;
    r.outcome = TransferResult::Outcome::InsufficientBalance;
    r.balanceBefore = balance;
    r.balanceAfter = balance;
    return r;
}

// The sender's remaining limit and whether the receiver is still active, in one round trip.
struct TransferRules {
    Rupiah limit = 0;
    bool targetActive = false;
};

TransferRules readRules(Connection& db, const TransferInput& in) {
    Sql s;
    s << "SELECT `cashless-adm`.GetTabTransferLimit('" << esc(in.NoRekening)
      << "', CURDATE()) as tranferLimit, (SELECT COUNT(*) FROM "
         "`cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(in.txtRekening) << "' AND tab_status=1) as TujuanAktif";
    Recordset rs = db.open(s);
    return {toRupiah(rs.value(QStringLiteral("tranferLimit"))),
            toRupiah(rs.value(QStringLiteral("TujuanAktif"))) > 0};
}

} // namespace

TransferResult postTransfer(Connection& db, const TransferInput& in, const QDate& today,
                            const RandomNumberSource& draw) {
    requirePositiveAmount(in.amount);
    // A transfer must leave more than 0 on the sender's account.
    if (in.balance - in.amount <= 0)
        return refuseBalance(db, in, in.balance);

    const LedgerMove debit = payerMove(in, in.txtRekening, transferDebitDescription(in), in.amount);
    LedgerMove credit = debit;
    credit.description = transferCreditDescription(in);

    const TransferResult result = retryOnConflict<TransferResult>([&] {
        PostingTransaction posting(db, {in.NoRekening, in.Rfid}, in.txtRekening);
        // What the screen showed may be gone: another kiosk can have posted since.
        TransferResult r;
        r.balanceBefore = posting.spendableBalance();
        r.balanceAfter = r.balanceBefore - in.amount;
        if (r.balanceAfter <= 0)
            return r; // rolled back by the guard
        const TransferRules rules = readRules(db, in);
        r.limit = rules.limit;
        if (in.amount > rules.limit) {
            r.outcome = TransferResult::Outcome::OverLimit;
            return r;
        }
        if (!rules.targetActive) {
            r.outcome = TransferResult::Outcome::TargetInvalid;
            return r;
        }

        r.outcome = TransferResult::Outcome::Posted;
        r.transId = insertWithRandomId(
            db, [&](const QString& id) { db.execute(debitRow(debit, id, r.balanceAfter)); }, today,
            draw);
        const KioskCopy copy{r.transId,       in.txtNama,     in.txtKelas,
                             r.balanceBefore, r.balanceAfter, std::nullopt};
        db.execute(kioskCopyRow(debit, copy));
        db.execute(transferLog(in, r.transId));
        db.execute(creditRow(credit, r.transId + QStringLiteral("#")));
        db.execute(recomputeBalance(in.NoRekening));
        db.execute(recomputeBalance(in.txtRekening));
        posting.writeProof(r.transId);
        posting.commit();
        return r;
    });
    if (result.outcome == TransferResult::Outcome::InsufficientBalance)
        return refuseBalance(db, in, result.balanceBefore);
    return result;
}

} // namespace kalinda
