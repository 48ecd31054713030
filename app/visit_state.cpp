#include "visit_state.h"

namespace kalinda {

VisitState::VisitState(QObject* parent)
    : QObject(parent) {}

void VisitState::set(Field field, const QString& value) {
    if (values_[field] == value)
        return;
    values_[field] = value;
    emit changed(field);
}

Sql logTransaksiHead(const QString& rekening, const QString& rfid, const QString& nama,
                     const QString& kelas) {
    Sql s;
    s << "INSERT INTO log_transaksi SET "
      << "log_tanggal = NOW(), log_time = NOW(), log_user = '" << esc(operatorAlias())
      << "', log_rekening = '" << esc(rekening) << "', log_rfid = '" << esc(rfid)
      << "', log_nama = '" << esc(nama) << "', log_kelas = '" << esc(kelas);
    return s;
}

Sql logTransaksiHead(const VisitState& visit) {
    return logTransaksiHead(visit[VisitState::txtNorek], visit[VisitState::txtRfid],
                            visit[VisitState::txtNama], visit[VisitState::txtKelas]);
}

} // namespace kalinda
