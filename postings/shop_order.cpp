#include "shop_order.h"

#include "app/visit_state.h"
#include "identifiers.h"
#include "ledger.h"
#include "posting.h"
#include "product_payment.h"

namespace kalinda {

std::optional<ShopOrderRefusal> checkShopOrder(const ShopOrderForm& f) {
    using Focus = ShopOrderRefusal::Focus;
    // Cut-off times are compared as the kiosk's "HH:MM:SS" text: 11:00:00 itself still passes.
    const QString time = f.now.toString(QStringLiteral("HH:mm:ss"));
    const struct {
        bool refused;
        const char* message;
        Focus focus;
    } checks[] = {
        {f.total == 0, "Total bayar tidak boleh NOL!", Focus::Stays},
        {f.quantity == 0, "Total QTY tidak boleh NOL!", Focus::Stays},
        {f.balance < f.total, "Saldo tabungan tidak mencukupi!", Focus::Stays},
        {f.limit < f.total, "Total Harga melebihi limit belanja/jajanan!", Focus::Stays},
        {f.total < kShopMinimumOrder, "Minimal Order Rp. 15.000,- !", Focus::Stays},
        {f.deliverySlot.isEmpty(), "Jadwal kirim harus dipilih!", Focus::cboKirim},
        {time > QLatin1String("11:00:00") && f.deliverySlot == QLatin1String("Siang"),
         "Order SIANG closed!", Focus::cboKirim},
        {time > QLatin1String("16:30:00") && f.deliverySlot == QLatin1String("Malam"),
         "Order MALAM closed!", Focus::cboKirim},
        {f.pin.trimmed().isEmpty(), "PIN harus diisi!", Focus::txtPin},
    };
    for (const auto& check : checks) {
        if (check.refused)
            return ShopOrderRefusal{QString::fromUtf8(check.message), check.focus};
    }
    // Without the shop's account the money would be credited to no one.
    if (f.shopAccount.trimmed().isEmpty())
        return ShopOrderRefusal{kShopTanpaRekening, Focus::Stays};
    return std::nullopt;
}

QString shopOrderDescription(const ShopOrderInput& in) {
    return QStringLiteral("Order KIRNA ") + in.deliverySlot + QStringLiteral(" dari ") +
           in.NoRekening + QStringLiteral(" a.n ") + in.txtNama;
}

namespace {

Sql shopOrderLog(const ShopOrderInput& in, const QString& keterangan,
                 const QString& transId = QString()) {
    return productPaymentLog(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas, in.judul,
                             in.cart.orderTotal(), keterangan, transId);
}

// The refused payment's log row, with its own fixed title and spacing. The order stays unpaid,
// for the balance or for the quota another kiosk spent meanwhile, and the audit finds its reason
// here.
Sql shopRefusedLog(const ShopOrderInput& in, const QString& reason) {
    Sql s = logTransaksiHead(in.txtNorek, in.txtRfid, in.txtNama, in.txtKelas);
    s << "', log_transaksi = 'ORDER KIRNA', "
      << "   log_nominal = '" << esc(plainDigits(in.cart.orderTotal())) << "', log_keterangan = '"
      << esc(reason) << "'";
    return s;
}

Sql orderLine(const QString& orderCode, const QString& code, const QString& name, Rupiah price,
              const QString& quantity, Rupiah amount) {
    Sql s;
    s << "INSERT INTO `aio-kirna`.data_barang_order_list SET "
      << "list_order = '" << esc(orderCode) << "', list_barang = '" << esc(code)
      << "', list_barang_nama = '" << esc(name) << "', list_harga = '" << esc(plainDigits(price))
      << "', list_qty = '" << esc(quantity) << "', list_jumlah = '" << esc(plainDigits(amount))
      << "', list_status = 1, list_reg_date = NOW(), list_reg_alias = '" << esc(operatorAlias())
      << "'";
    return s;
}

// The order header, one line per cart line and the delivery fee line; returns the order code.
QString storeOrder(Connection& db, const ShopOrderInput& in, const QDate& today) {
    const QString code = insertWithSequenceId(
        db, kOrderCodes,
        [&](const QString& id) {
            Sql s;
            s << "INSERT INTO `aio-kirna`.data_barang_order SET "
              << "order_kode = '" << esc(id) << "', order_tanggal = NOW(), "
              << " order_rekening = '" << esc(in.NoRekening) << "', order_nama = '"
              << esc(in.txtNama) << "', order_kelas = '" << esc(in.txtKelas) << "', order_harga = '"
              << esc(plainDigits(in.cart.orderTotal())) << "', order_kirim = '"
              << esc(in.deliverySlot)
              << "', order_status = 1, order_reg_date = NOW(), order_reg_alias = '"
              << esc(operatorAlias()) << "'";
            db.execute(s);
        },
        today);
    for (const ShopCartLine& line : in.cart.lines()) {
        db.execute(orderLine(code, line.code, line.name, line.price, QString::number(line.quantity),
                             line.amount));
    }
    db.execute(orderLine(code, QStringLiteral("000"), QStringLiteral("Jasa Kirim"),
                         kShopDeliveryFee, QStringLiteral("1"), kShopDeliveryFee));
    return code;
}

void writePayment(Connection& db, const ShopOrderInput& in, LedgerMove& move, ShopOrderResult& r,
                  const QDate& today) {
    r.transId = insertWithSequenceId(
        db, kTransactionIds,
        [&](const QString& id) { db.execute(debitRow(move, id, r.balanceAfter)); }, today);
    const KioskCopy copy{r.transId,       in.txtNama,     in.txtKelas,
                         r.balanceBefore, r.balanceAfter, in.version};
    db.execute(kioskCopyRow(move, copy));
    db.execute(shopCopyRow(move, copy, in.deliverySlot));
    db.execute(shopOrderLog(in, kTransaksiBerhasil, r.transId));
    r.creditId = insertWithSequenceId(
        db, kTransactionIds, [&](const QString& id) { db.execute(creditRow(move, id)); }, today);
    db.execute(recomputeBalance(in.NoRekening));
}

} // namespace

Rupiah remainingQuota(Connection& db, const QString& account) {
    Sql s;
    s << "SELECT `cashless-adm`.GetJajanKuotaSisa('" << esc(account) << "') as KuotaSisa";
    return toRupiah(db.open(s).value(QStringLiteral("KuotaSisa")));
}

void logShopPinRefused(Connection& db, const ShopOrderInput& input) {
    db.execute(shopOrderLog(input, kShopPinTidakSesuai));
}

ShopOrderResult postShopOrder(Connection& db, const ShopOrderInput& in, const QDate& today) {
    // A line of a negative amount would lower what the shop is paid for the others; without
    // one, the delivery fee makes every order cost more than 0.
    for (const ShopCartLine& line : in.cart.lines()) {
        if (line.quantity <= 0 || line.price < 0 || line.amount < 0)
            throw AmountRefused();
    }
    ShopOrderResult none;
    if (in.shopAccount.trimmed().isEmpty())
        return none; // nothing stored: there is no one to pay

    LedgerMove move = payerMove(in, in.shopAccount, shopOrderDescription(in), in.cart.orderTotal());

    return retryOnConflict<ShopOrderResult>([&] {
        PostingTransaction posting(db, {in.NoRekening, in.Rfid});
        ShopOrderResult r;
        r.total = move.amount;
        r.orderCode = storeOrder(db, in, today);
        move.orderCode = r.orderCode;
        // The balance and the quota shown a moment ago may be gone: another kiosk can have
        // posted since. A refused payment keeps its order, unpaid, as an ordinary refusal does.
        r.balanceBefore = posting.spendableBalance();
        r.balanceAfter = r.balanceBefore - r.total;
        if (in.balance - r.total <= 0 || r.balanceAfter <= 0)
            r.outcome = ShopOrderResult::Outcome::InsufficientBalance;
        else if (remainingQuota(db, in.NoRekening) < r.total)
            r.outcome = ShopOrderResult::Outcome::OverQuota;
        else
            r.outcome = ShopOrderResult::Outcome::Posted;

        if (r.outcome == ShopOrderResult::Outcome::Posted) {
            writePayment(db, in, move, r, today);
        } else {
            r.balanceAfter = r.balanceBefore;
            db.execute(shopRefusedLog(in, r.outcome == ShopOrderResult::Outcome::InsufficientBalance
                                              ? QStringLiteral("SALDO TIDAK MENCUKUPI!")
                                              : kShopMelebihiLimit));
        }
        // A refused order stored after a lost COMMIT never counts as paid.
        if (r.outcome == ShopOrderResult::Outcome::Posted)
            posting.writeProof(r.transId);
        else
            posting.writeProof(r.orderCode, false);
        posting.commit();
        return r;
    });
}

} // namespace kalinda
