#include "report.h"

#include "app/helpers.h"

#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace kalinda {
namespace {

QString isoDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QString shownDate(const QDate& date) {
    return date.toString(QStringLiteral("dd-MM-yyyy"));
}

} // namespace

Sql reportStatement(const ReportPeriod& period) {
    Sql s("SELECT trans_id, trans_tanggal, trans_nasabah_nama, trans_nasabah_kelas, ");
    s << "trans_jumlah, trans_reg_time, trans_reg_alias, trans_rekening "
      << "FROM data_transaksi "
      << "WHERE (trans_tanggal BETWEEN '" << esc(isoDate(period.first)) << "' AND '"
      << esc(isoDate(period.last)) << "') ";
    if (!period.user.isEmpty())
        s << " AND trans_reg_alias = '" << esc(period.user) << "' ";
    return s;
}

QString reportPeriodLine(const ReportPeriod& period) {
    return QStringLiteral("Periode: ") + shownDate(period.first) + QStringLiteral(" s/d ") +
           shownDate(period.last);
}

QString reportPrintedByLine(const QString& operatorName, const QDateTime& at) {
    return QStringLiteral("Dicetak oleh ") + operatorName + QStringLiteral(", Tanggal ") +
           shownDate(at.date()) + QStringLiteral(", Jam ") +
           at.time().toString(QStringLiteral("HH:mm:ss"));
}

QString reportOperatorName(const QString& given) {
    if (!given.isEmpty())
        return given;
    if (const passwd* account = getpwuid(geteuid()); account && account->pw_name)
        return QString::fromLocal8Bit(account->pw_name);
    return qEnvironmentVariable("USER");
}

Sql reportUsersQuery() {
    return Sql("SELECT DISTINCT trans_reg_alias FROM data_transaksi ORDER BY trans_reg_alias");
}

QStringList reportUsers(Connection& db) {
    QStringList users;
    Recordset rs = db.open(reportUsersQuery());
    for (; !rs.eof(); rs.moveNext()) {
        // An empty user cannot be asked for: an empty filter lists every user.
        if (const QString user = rs.text(QStringLiteral("trans_reg_alias")); !user.isEmpty())
            users << user;
    }
    return users;
}

rptTransaksi::rptTransaksi(Connection& db, const AppParameters& params, ReportPeriod period,
                           QString operatorName, QDateTime printedAt, QLocale locale)
    : db_(db)
    , params_(params)
    , period_(std::move(period))
    , operatorName_(std::move(operatorName))
    , printedAt_(std::move(printedAt))
    , locale_(std::move(locale)) {}

void rptTransaksi::ActiveReport_ReportStart() {
    lblNamaBank = params_.LembagaNama;
    lblAlamatBank = params_.LembagaAlamat;
    lblPeriode = reportPeriodLine(period_);
    lblDicetak = reportPrintedByLine(operatorName_, printedAt_);
    number = 0;
    total = 0;
    lblNo.clear();
    lblTotalJumlah = formatRupiah(0, locale_);
    OpenReportRecordset(db_, reportStatement(period_));
}

void rptTransaksi::ActiveReport_FetchData(bool& eof) {
    Recordset& rs = reportRecordset();
    if (!rs.isOpen() || rs.eof())
        return;
    eof = false;
    lblNo = QString::number(++number);
    const QString tanggal = rs.text(QStringLiteral("trans_tanggal"));
    date = QDate::fromString(tanggal.left(10), QStringLiteral("yyyy-MM-dd"));
    lblTanggal = date.isValid() ? shownDate(date) : tanggal;
    name = rs.text(QStringLiteral("trans_nasabah_nama"));
    lblNama = QStringLiteral(" ") + name;
    lblKelas = rs.text(QStringLiteral("trans_nasabah_kelas"));
    lblTransID = rs.text(QStringLiteral("trans_id"));
    lblRekening = rs.text(QStringLiteral("trans_rekening"));
    // Summed from the row's value, so the total holds under any regional grouping.
    amount = toRupiah(rs.value(QStringLiteral("trans_jumlah")));
    lblJumlah = formatRupiah(amount, locale_);
    lblUser = rs.text(QStringLiteral("trans_reg_alias"));
    total += amount;
    lblTotalJumlah = formatRupiah(total, locale_);
    rs.moveNext();
}

int rptTransaksi::rowCount() const {
    const Recordset& rs = reportRecordset();
    return rs.isOpen() ? rs.rowCount() : 0;
}

} // namespace kalinda
