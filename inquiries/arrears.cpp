#include "arrears.h"

namespace kalinda {

Sql recomputeArrearsCall(const QString& rekening) {
    Sql s;
    s << "CALL `cashless-adm`.HitungSppMakan('" << esc(rekening) << "')";
    return s;
}

Sql arrearsQuery(const QString& rekening) {
    Sql s;
    s << "SELECT *, "
         "(detail_biaya_spp+detail_biaya_makan)-(detail_angsuran_spp+detail_angsuran_makan) "
         "as Kurang "
      << "FROM `cashless-adm`.data_spp_detail WHERE detail_tabungan = '" << esc(rekening) << "' "
      << "ORDER BY FLOOR(detail_periode) ASC ";
    return s;
}

ArrearsTotals sumArrears(const std::vector<ArrearsLine>& lines) {
    ArrearsTotals t;
    for (const ArrearsLine& line : lines) {
        t.UPondok += line.detail_biaya_spp;
        t.UMakan += line.detail_biaya_makan;
        t.BPondok += line.detail_angsuran_spp;
        t.BMakan += line.detail_angsuran_makan;
    }
    return t;
}

Arrears readArrears(Connection& db, const QString& rekening) {
    db.execute(recomputeArrearsCall(rekening));
    Arrears arrears;
    Recordset rs = db.open(arrearsQuery(rekening));
    for (; !rs.eof(); rs.moveNext()) {
        ArrearsLine line;
        line.detail_periode = rs.text(QStringLiteral("detail_periode"));
        line.detail_bulan = rs.text(QStringLiteral("detail_bulan"));
        line.detail_biaya_spp = toRupiah(rs.value(QStringLiteral("detail_biaya_spp")));
        line.detail_biaya_makan = toRupiah(rs.value(QStringLiteral("detail_biaya_makan")));
        line.detail_angsuran_spp = toRupiah(rs.value(QStringLiteral("detail_angsuran_spp")));
        line.detail_angsuran_makan = toRupiah(rs.value(QStringLiteral("detail_angsuran_makan")));
        line.detail_jumlah = toRupiah(rs.value(QStringLiteral("detail_jumlah")));
        line.detail_keterangan = rs.text(QStringLiteral("detail_keterangan"));
        line.Kurang = toRupiah(rs.value(QStringLiteral("Kurang")));
        arrears.lines.push_back(std::move(line));
    }
    rs.close();
    arrears.totals = sumArrears(arrears.lines);
    return arrears;
}

void logArrearsView(Connection& db, const VisitState& visit) {
    Sql s = logTransaksiHead(visit);
    s << "', log_transaksi = 'INFO SPP DAN MAKAN', "
         "log_keterangan = 'LIHAT INFO SPP DAN MAKAN SUKSES' ";
    db.execute(s);
}

} // namespace kalinda
