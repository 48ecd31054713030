#include "ledger.h"

#include "app/visit_state.h"

namespace kalinda {
namespace {

// "…', trans_status = 0, …  trans_reg_alias = '<alias>'", with the shop's order code before it.
void closeLedgerRow(Sql& s, const LedgerMove& move) {
    if (move.orderCode)
        s << "', trans_kuitansi = '" << esc(*move.orderCode);
    s << "', trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW(), "
      << " trans_reg_alias = '" << esc(ledgerAlias()) << "'";
}

} // namespace

QString ledgerAlias() {
    return QStringLiteral("KLD|") + operatorAlias();
}

Sql debitRow(const LedgerMove& move, const QString& id, Rupiah balanceAfter) {
    Sql s;
    s << "INSERT INTO `cashless-adm`.data_tabungan_trans SET "
      << "trans_id = '" << esc(id)
      << "', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01', "
      << " trans_rekening = '" << esc(move.payerAccount) << "', trans_nasabah = '"
      << esc(move.payerHolder) << "', trans_channel = '" << esc(move.channel) << "', trans_rfid = '"
      << esc(move.payerCard) << "', trans_jumlah_keluar = '" << esc(plainDigits(move.amount))
      << "', trans_saldo_akhir = '" << esc(plainDigits(balanceAfter))
      << "', trans_ob_jenis = 1, trans_ob_rekening = '" << esc(move.targetAccount)
      << "', trans_uraian = '" << esc(move.description);
    closeLedgerRow(s, move);
    return s;
}

Sql creditRow(const LedgerMove& move, const QString& id) {
    Sql s;
    s << "INSERT INTO `cashless-adm`.data_tabungan_trans SET "
      << "trans_id = '" << esc(id)
      << "', trans_tanggal = NOW(), trans_kode = '15', trans_kantor = '01', "
      << " trans_rekening = '" << esc(move.targetAccount) << "', trans_nasabah = '"
      << esc(move.payerHolder) << "', trans_channel = '" << esc(move.channel) << "', trans_rfid = '"
      << esc(move.payerCard) << "', trans_jumlah_masuk = '" << esc(plainDigits(move.amount))
      << "', trans_ob_jenis = 1, trans_ob_rekening = '" << esc(move.payerAccount)
      << "', trans_uraian = '" << esc(move.description);
    closeLedgerRow(s, move);
    return s;
}

namespace {

// The copy rows of the kiosk and of the shop differ only in their table and the shop's order
// code and delivery slot.
struct ShopCopyFields {
    QString orderCode;
    QString deliverySlot;
};

Sql copyRow(SqlText table, const LedgerMove& move, const KioskCopy& copy,
            const ShopCopyFields* shop) {
    Sql s;
    s << table << "trans_id = '" << esc(copy.id)
      << "', trans_tanggal = NOW(), trans_kode = '14', trans_kantor = '01', "
      << " trans_rekening = '" << esc(move.payerAccount) << "', trans_nasabah = '"
      << esc(move.payerHolder);
    if (shop)
        s << "', trans_order = '" << esc(shop->orderCode);
    s << "', trans_nasabah_nama = '" << esc(copy.payerName) << "', trans_nasabah_kelas = '"
      << esc(copy.payerClass) << "', trans_channel = '" << esc(move.channel) << "', trans_rfid = '"
      << esc(move.payerCard) << "', trans_jumlah = '" << esc(plainDigits(move.amount))
      << "', trans_saldo_awal = '" << esc(plainDigits(copy.balanceBefore))
      << "', trans_saldo_akhir = '" << esc(plainDigits(copy.balanceAfter)) << "', trans_uraian = '"
      << esc(move.description);
    if (shop)
        s << "', trans_kirim = '" << esc(shop->deliverySlot);
    s << "', trans_status = 0, trans_reg_date = NOW(), trans_reg_time = NOW(), "
      << " trans_reg_alias = '" << esc(operatorAlias());
    if (copy.version)
        s << "', trans_version = '" << esc(*copy.version);
    return s;
}

} // namespace

Sql kioskCopyRow(const LedgerMove& move, const KioskCopy& copy) {
    Sql s = copyRow("INSERT INTO data_transaksi SET ", move, copy, nullptr);
    // The shop order's copy ends with a blank after its version.
    if (copy.version)
        s << "' ";
    else
        s << "'";
    return s;
}

Sql shopCopyRow(const LedgerMove& move, const KioskCopy& copy, const QString& deliverySlot) {
    const ShopCopyFields shop{move.orderCode.value_or(QString()), deliverySlot};
    Sql s = copyRow("INSERT INTO `aio-kirna`.data_transaksi SET ", move, copy, &shop);
    s << "'";
    return s;
}

Sql recomputeBalance(const QString& account) {
    Sql s;
    s << "CALL `cashless-adm`.HitungTabSaldoNasabah('" << esc(account) << "') ";
    return s;
}

} // namespace kalinda
