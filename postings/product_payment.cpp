#include "product_payment.h"

#include "app/helpers.h"
#include "app/visit_state.h"
#include "ledger.h"
#include "posting.h"

namespace kalinda {

QString productDescription(const ProductPaymentInput& input) {
    return GetToken(input.cboJenis, QStringLiteral(":"), 2) + QStringLiteral(" dari ") +
           input.NoRekening + QStringLiteral(" a.n ") + input.txtNama;
}

Sql productPaymentLog(const QString& txtNorek, const QString& txtRfid, const QString& txtNama,
                      const QString& txtKelas, const QString& jenis, Rupiah amount,
                      const QString& keterangan, const QString& transId) {
    Sql s = logTransaksiHead(txtNorek, txtRfid, txtNama, txtKelas);
    s << "', log_transaksi = '" << esc(jenis) << "', log_nominal = '" << esc(plainDigits(amount))
      << "', log_keterangan = '" << esc(keterangan);
    if (transId.isEmpty())
        s << "'";
    else
        s << "', log_transid = '" << esc(transId) << "' ";
    return s;
}

std::optional<Product> findProduct(Connection& db, const QString& entry) {
    Sql s;
    s << "SELECT kalinda_nominal, kalinda_otomatis, kalinda_rekening "
      << "FROM `cashless-adm`.data_kalinda_produk "
      << "WHERE kalinda_kode = '" << esc(entry.left(3)) << "'";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    Product p;
    p.price = toRupiah(rs.value(QStringLiteral("kalinda_nominal")));
    p.fixedPrice = rs.text(QStringLiteral("kalinda_otomatis")) == QLatin1String("1");
    p.account = rs.text(QStringLiteral("kalinda_rekening"));
    return p;
}

ProductChoiceRefusal checkProductChoice(Connection& db, const QString& cboJenis, Rupiah amount,
                                        const QString& txtRekTujuan) {
    const std::optional<Product> product = findProduct(db, cboJenis);
    if (!product)
        return ProductChoiceRefusal::UnknownProduct;
    if (product->fixedPrice && amount != product->price)
        return ProductChoiceRefusal::AmountNotThePrice;
    // The receiving account is what the last product lookup left; it may belong to another
    // product when that lookup failed.
    if (txtRekTujuan.isEmpty() || txtRekTujuan != product->account)
        return ProductChoiceRefusal::NoReceivingAccount;
    Sql s;
    s << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rekening = '"
      << esc(txtRekTujuan) << "'";
    if (db.open(s).eof())
        return ProductChoiceRefusal::NoReceivingAccount;
    return ProductChoiceRefusal::None;
}

namespace {

ProductPaymentResult refuse(Connection& db, const ProductPaymentInput& in, Rupiah balance) {
    db.execute(productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.cboJenis,
                                 in.amount, kSaldoTidakMencukupi));
    ProductPaymentResult r;
    r.outcome = ProductPaymentResult::Outcome::InsufficientBalance;
    r.balanceBefore = balance;
    r.balanceAfter = balance;
    return r;
}

} // namespace

ProductPaymentResult postProductPayment(Connection& db, const ProductPaymentInput& in,
                                        const QDate& today, const RandomNumberSource& draw) {
    requirePositiveAmount(in.amount);
    // A payment must leave more than 0 on the account.
    if (in.balance - in.amount <= 0)
        return refuse(db, in, in.balance);

    const LedgerMove move = payerMove(in, in.txtRekTujuan, productDescription(in), in.amount);

    const ProductPaymentResult result = retryOnConflict<ProductPaymentResult>([&] {
        PostingTransaction posting(db, {in.NoRekening, in.Rfid});
        // The balance shown a moment ago may be gone: another kiosk can have posted since.
        const Rupiah before = posting.spendableBalance();
        const Rupiah after = before - in.amount;
        ProductPaymentResult r;
        r.balanceBefore = before;
        if (after <= 0)
            return r; // rolled back by the guard

        r.outcome = ProductPaymentResult::Outcome::Posted;
        r.balanceAfter = after;
        r.transId = insertWithRandomId(
            db, [&](const QString& id) { db.execute(debitRow(move, id, after)); }, today, draw);
        const KioskCopy copy{
            r.transId + QStringLiteral("#"), in.txtNama, in.txtKelas, before, after, std::nullopt};
        db.execute(kioskCopyRow(move, copy));
        db.execute(productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.cboJenis,
                                     in.amount, kTransaksiBerhasil, r.transId));
        db.execute(creditRow(move, r.transId + QStringLiteral("##")));
        db.execute(recomputeBalance(in.NoRekening));
        db.execute(recomputeBalance(in.txtRekTujuan));
        posting.writeProof(r.transId);
        posting.commit();
        return r;
    });
    if (result.outcome != ProductPaymentResult::Outcome::Posted)
        return refuse(db, in, result.balanceBefore);
    return result;
}

} // namespace kalinda
