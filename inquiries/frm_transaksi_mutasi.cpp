#include "frm_transaksi_mutasi.h"

#include "app/parameters.h"

#include <QLabel>
#include <QTreeView>
#include <QVBoxLayout>

namespace kalinda {
namespace {

std::vector<ListColumn> mutasiColumns() {
    return {
        {QStringLiteral("V"), 300, Qt::AlignLeft},
        {QStringLiteral("ID"), 0, Qt::AlignHCenter},
        {QStringLiteral("Tanggal"), 2300, Qt::AlignHCenter},
        {QStringLiteral("Kode"), 0, Qt::AlignHCenter},
        {QStringLiteral("Masuk"), 1300, Qt::AlignRight},
        {QStringLiteral("Keluar"), 1300, Qt::AlignRight},
        {QStringLiteral("Saldo"), 1500, Qt::AlignRight},
        {QStringLiteral("Ket"), 7500, Qt::AlignLeft},
        {QStringLiteral("User"), 0, Qt::AlignLeft},
        {QStringLiteral("Reg."), 0, Qt::AlignLeft},
    };
}

} // namespace

frmTransaksiMutasi::frmTransaksiMutasi(KioskScreen& screen, Connection& db, QWidget* parent)
    : InquiryForm(screen, db, QStringLiteral("frmTransaksiMutasi"),
                  QStringLiteral("SAVING MUTATION"),
                  QStringLiteral("Form ini untuk melihat mutasi transaksi tabungan"),
                  mutasiColumns(), parent) {
    // Lines alternate white and light blue.
    model().setAlternateShading(QColor(255, 255, 255), QColor(192, 192, 255));
    lblBelumDibukukan = new QLabel(this);
    lblBelumDibukukan->setObjectName(QStringLiteral("lblBelumDibukukan"));
    lblBelumDibukukan->hide();
    body()->addWidget(lblBelumDibukukan);
}

void frmTransaksiMutasi::TabelTrans() {
    InquiryForm::TabelTrans();
    // A size that is not a positive number keeps the designed font.
    bool ok = false;
    const double size = parameters().AppParam.MutasiFontSize.trimmed().toDouble(&ok);
    if (ok && size > 0) {
        QFont f = ListView1->font();
        f.setPointSizeF(size);
        ListView1->setFont(f);
    }
}

void frmTransaksiMutasi::DataTrans() {
    clearData();
    const VisitState& visit = screen_.visit();
    Statement read = readStatement(db_, visit[VisitState::txtNorek]);
    logStatementView(db_, visit);
    statement_ = std::move(read);
    model().setRows(static_cast<int>(statement_.lines.size()),
                    [this](int row, int column) { return cell(row, column); });
    lblBelumDibukukan->setText(QStringLiteral("Transaksi kiosk yang belum dibukukan kantor: ") +
                               formatRupiah(statement_.notBooked));
    lblBelumDibukukan->setVisible(statement_.notBooked != 0);
}

QString frmTransaksiMutasi::cell(int row, int column) const {
    const StatementLine& line = statement_.lines[static_cast<std::size_t>(row)];
    switch (column) {
    case 1:
        return line.trans_id;
    case 2:
        return shownRegTime(line.trans_reg_time, false);
    case 9:
        return shownRegTime(line.trans_reg_time, true);
    case 3:
        return line.trans_kode;
    case 4:
        return formatRupiah(line.trans_jumlah_masuk);
    case 5:
        return formatRupiah(line.trans_jumlah_keluar);
    case 6:
        return formatRupiah(line.Saldo);
    case 7:
        return line.trans_uraian;
    case 8:
        return line.trans_reg_alias;
    default:
        return {};
    }
}

QString frmTransaksiMutasi::failureText() const {
    return QStringLiteral("Mutasi tabungan tidak dapat ditampilkan.");
}

void frmTransaksiMutasi::clearData() {
    InquiryForm::clearData();
    statement_ = {};
    lblBelumDibukukan->hide();
}

void openMutasi(KioskScreen& screen, Connection& db) {
    frmTransaksiMutasi form(screen, db, screenWidget(screen));
    showInquiry(form);
}

} // namespace kalinda
