#include "card_lookup.h"

#include "app/typed_input.h"

namespace kalinda {

std::optional<CardAccount> lookupCard(Connection& db, const QString& rfid, const QString& pin) {
    if (!isLookupKey(rfid) || !isLookupKey(pin))
        return std::nullopt;
    Sql s;
    s << "SELECT `cashless-adm`.GetNasabahNama(tab_nasabah) as Nama, "
      << "`cashless-adm`.GetNasabahAlamat(tab_nasabah) as Alamat, "
      << "`cashless-adm`.GetNasabahKelas(tab_nasabah) as Kelas, "
      << "`cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif, "
      << "`cashless-adm`.GetTabJajanLimit(tab_rekening, CURDATE()) as LimitJajan, "
      << "`cashless-adm`.GetJajanKuotaSisa(tab_rekening) as KuotaSisa, "
      << "`cashless-adm`.GetTabTransferLimit(tab_rekening, CURDATE()) as LimitTransfer, "
      << "tab_rekening, tab_saldo_efektif, tab_nasabah, tab_rfid "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rfid = '" << esc(rfid) << "' AND tab_pin = '" << esc(pin)
      << "' AND tab_status=1 ";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    CardAccount a;
    a.Nama = rs.text(QStringLiteral("Nama"));
    a.Alamat = rs.text(QStringLiteral("Alamat"));
    a.Kelas = rs.text(QStringLiteral("Kelas"));
    a.SaldoAktif = toRupiah(rs.value(QStringLiteral("SaldoAktif")));
    a.LimitJajan = toRupiah(rs.value(QStringLiteral("LimitJajan")));
    a.KuotaSisa = toRupiah(rs.value(QStringLiteral("KuotaSisa")));
    a.LimitTransfer = toRupiah(rs.value(QStringLiteral("LimitTransfer")));
    a.tab_rekening = rs.text(QStringLiteral("tab_rekening"));
    a.tab_saldo_efektif = toRupiah(rs.value(QStringLiteral("tab_saldo_efektif")));
    a.tab_nasabah = rs.text(QStringLiteral("tab_nasabah"));
    a.tab_rfid = rs.text(QStringLiteral("tab_rfid"));
    return a;
}

QStringList cardAccounts(Connection& db, const QString& rfid) {
    QStringList accounts;
    if (!isLookupKey(rfid))
        return accounts;
    Sql s;
    s << "SELECT tab_rekening FROM `cashless-adm`.data_tabungan_master WHERE tab_rfid = '"
      << esc(rfid) << "'";
    for (Recordset rs = db.open(s); !rs.eof(); rs.moveNext())
        accounts << rs.text(QStringLiteral("tab_rekening"));
    return accounts;
}

std::optional<Rupiah> checkPaymentPin(Connection& db, const QString& rekening, const QString& pin) {
    if (!isLookupKey(pin))
        return std::nullopt;
    Sql s;
    s << "SELECT tab_rfid,  "
      << "`cashless-adm`.GetTabSaldoAktif(tab_rekening, CURDATE()) as SaldoAktif "
      << "FROM `cashless-adm`.data_tabungan_master "
      << "WHERE tab_rekening = '" << esc(rekening) << "' "
      << "AND tab_pin = '" << esc(pin) << "' AND tab_status=1 ";
    Recordset rs = db.open(s);
    if (rs.eof())
        return std::nullopt;
    return toRupiah(rs.value(QStringLiteral("SaldoAktif")));
}

} // namespace kalinda
