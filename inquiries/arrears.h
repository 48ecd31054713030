#pragma once

#include "app/db.h"
#include "app/money.h"
#include "app/visit_state.h"

#include <QString>
#include <vector>

namespace kalinda {

// One period of boarding (SPP) and meal fees: charged, paid and still owing.
struct ArrearsLine {
    QString detail_periode;
    QString detail_bulan;
    Rupiah detail_biaya_spp = 0;
    Rupiah detail_biaya_makan = 0;
    Rupiah detail_angsuran_spp = 0;
    Rupiah detail_angsuran_makan = 0;
    Rupiah detail_jumlah = 0;
    QString detail_keterangan;
    Rupiah Kurang = 0;
};

// The four fee columns summed over all periods.
struct ArrearsTotals {
    Rupiah UPondok = 0; // boarding fee charged
    Rupiah UMakan = 0;  // meal fee charged
    Rupiah BPondok = 0; // boarding fee paid
    Rupiah BMakan = 0;  // meal fee paid
};

struct Arrears {
    std::vector<ArrearsLine> lines; // by period, ascending
    ArrearsTotals totals;
};

Sql recomputeArrearsCall(const QString& rekening);
Sql arrearsQuery(const QString& rekening);

ArrearsTotals sumArrears(const std::vector<ArrearsLine>& lines);

// Has the account system bring the account's periods up to date, then reads them.
Arrears readArrears(Connection& db, const QString& rekening);

// The log row of an arrears view.
void logArrearsView(Connection& db, const VisitState& visit);

} // namespace kalinda
