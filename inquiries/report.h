#pragma once

#include "app/db.h"
#include "app/money.h"
#include "app/parameters.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

namespace kalinda {

// A report over years of ledger may keep the server busy well past the kiosk's read timeout.
constexpr int kReportReadTimeoutSeconds = 600;

// The period and the registering user the report is asked for.
struct ReportPeriod {
    QDate first;
    QDate last;
    QString user; // empty: every user
};

// The report's statement: the period and the optional user, in the server's row order.
Sql reportStatement(const ReportPeriod& period);

// "Periode: dd-mm-yyyy s/d dd-mm-yyyy".
QString reportPeriodLine(const ReportPeriod& period);
// "Dicetak oleh NAME, Tanggal dd-mm-yyyy, Jam hh:mm:ss".
QString reportPrintedByLine(const QString& operatorName, const QDateTime& at);

// The name after "Dicetak oleh ": the given one, else the system account running the program.
QString reportOperatorName(const QString& given = {});

// The distinct registering users of the kiosk's postings, sorted, the empty one left out.
QStringList reportUsers(Connection& db);
// Its query, read from the index idx_reg_alias of data_transaksi.
Sql reportUsersQuery();

// The transaction report's data: the header texts, the current detail line, the running
// number and total. A renderer calls ActiveReport_ReportStart once and then
// ActiveReport_FetchData until it leaves `eof` true, drawing the detail after each row.
class rptTransaksi {
public:
    rptTransaksi(Connection& db, const AppParameters& params, ReportPeriod period,
                 QString operatorName, QDateTime printedAt = QDateTime::currentDateTime(),
                 QLocale locale = QLocale());

    // Sets the header texts and opens the rows. Database errors go to the caller.
    void ActiveReport_ReportStart();
    // Fills the detail from the next row and sets `eof` false; leaves it true past the last.
    void ActiveReport_FetchData(bool& eof);

    // Rows of the opened result.
    int rowCount() const;
    const ReportPeriod& period() const { return period_; }

    // report header
    QString lblNamaBank;
    QString lblAlamatBank;
    const QString lblJudulLaporan = QStringLiteral("LAPORAN TRANSAKSI");
    QString lblPeriode;
    // detail, as shown
    QString lblNo;
    QString lblTanggal;
    QString lblTransID;
    QString lblRekening;
    QString lblNama;
    QString lblKelas;
    QString lblJumlah;
    QString lblUser;
    // report footer
    QString lblTotalJumlah;
    QString lblDicetak;

    // The values behind the current detail and the footer.
    int number = 0;
    QDate date;
    QString name;
    Rupiah amount = 0;
    Rupiah total = 0;

private:
    Connection& db_;
    AppParameters params_;
    ReportPeriod period_;
    QString operatorName_;
    QDateTime printedAt_;
    QLocale locale_;
};

} // namespace kalinda
