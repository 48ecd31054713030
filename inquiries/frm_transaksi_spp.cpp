#include "frm_transaksi_spp.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kalinda {
namespace {

std::vector<ListColumn> sppColumns() {
    return {
        {QStringLiteral("V"), 0, Qt::AlignLeft},
        {QStringLiteral("Periode"), 1000, Qt::AlignHCenter},
        {QStringLiteral("Bulan"), 2000, Qt::AlignLeft},
        {QStringLiteral("U-Pondok"), 1300, Qt::AlignRight},
        {QStringLiteral("U-Makan"), 1300, Qt::AlignRight},
        {QStringLiteral("B-Pondok"), 1300, Qt::AlignRight},
        {QStringLiteral("B-Makan"), 1300, Qt::AlignRight},
        {QStringLiteral("Jumlah"), 1300, Qt::AlignRight},
        {QStringLiteral("Ket"), 1000, Qt::AlignHCenter},
        {QStringLiteral("Kurang"), 1300, Qt::AlignRight},
    };
}

} // namespace

frmTransaksiSpp::frmTransaksiSpp(KioskScreen& screen, Connection& db, QWidget* parent)
    : InquiryForm(
          screen, db, QStringLiteral("frmTransaksiSpp"),
          QStringLiteral("SCHOOL - MEAL PAYMENT INFORMATION "),
          QStringLiteral("Form ini untuk melihat informasi pembayaran uang pondok dan uang makan"),
          sppColumns(), parent) {
    auto* totals = new QGridLayout;
    const std::pair<QLineEdit**, const char*> boxes[] = {{&txtUPondok, "txtUPondok"},
                                                         {&txtUMakan, "txtUMakan"},
                                                         {&txtBpondok, "txtBpondok"},
                                                         {&txtBmakan, "txtBmakan"}};
    const QString captions[] = {QStringLiteral("U-Pondok"), QStringLiteral("U-Makan"),
                                QStringLiteral("B-Pondok"), QStringLiteral("B-Makan")};
    for (int i = 0; i < 4; ++i) {
        auto* box = new QLineEdit(QStringLiteral("0"), this);
        box->setObjectName(QString::fromLatin1(boxes[i].second));
        box->setReadOnly(true);
        box->setAlignment(Qt::AlignRight);
        auto* label = new QLabel(captions[i], this);
        label->setObjectName(QStringLiteral("lbl") + QString::fromLatin1(boxes[i].second + 3));
        label->setBuddy(box);
        totals->addWidget(label, 0, i);
        totals->addWidget(box, 1, i);
        *boxes[i].first = box;
    }
    body()->addLayout(totals);
}

void frmTransaksiSpp::DataTrans() {
    clearData();
    const VisitState& visit = screen_.visit();
    Arrears read = readArrears(db_, visit[VisitState::txtNorek]);
    logArrearsView(db_, visit);
    arrears_ = std::move(read);
    model().setRows(static_cast<int>(arrears_.lines.size()),
                    [this](int row, int column) { return cell(row, column); });
    showTotals();
}

QString frmTransaksiSpp::cell(int row, int column) const {
    const ArrearsLine& line = arrears_.lines[static_cast<std::size_t>(row)];
    switch (column) {
    case 1:
        return line.detail_periode;
    case 2:
        return line.detail_bulan;
    case 3:
        return formatRupiah(line.detail_biaya_spp);
    case 4:
        return formatRupiah(line.detail_biaya_makan);
    case 5:
        return formatRupiah(line.detail_angsuran_spp);
    case 6:
        return formatRupiah(line.detail_angsuran_makan);
    case 7:
        return formatRupiah(line.detail_jumlah);
    case 8:
        return line.detail_keterangan;
    case 9:
        return formatRupiah(line.Kurang);
    default:
        return {};
    }
}

void frmTransaksiSpp::showTotals() {
    txtUPondok->setText(formatRupiah(arrears_.totals.UPondok));
    txtUMakan->setText(formatRupiah(arrears_.totals.UMakan));
    txtBpondok->setText(formatRupiah(arrears_.totals.BPondok));
    txtBmakan->setText(formatRupiah(arrears_.totals.BMakan));
}

QString frmTransaksiSpp::failureText() const {
    return QStringLiteral("Informasi uang pondok dan uang makan tidak dapat ditampilkan.");
}

void frmTransaksiSpp::clearData() {
    InquiryForm::clearData();
    arrears_ = {};
    showTotals();
}

void openTunggakan(KioskScreen& screen, Connection& db) {
    frmTransaksiSpp form(screen, db, screenWidget(screen));
    showInquiry(form);
}

} // namespace kalinda
