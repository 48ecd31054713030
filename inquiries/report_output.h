#pragma once

#include <QString>
#include <QStringList>

class QIODevice;
class QPrinter;

namespace kalinda {

class rptTransaksi;

// The rows as CSV for a spreadsheet: UTF-8, ";" between fields, one header line, one line per
// row, dates yyyy-mm-dd, amounts as plain digits. A text cell that starts with "=", "+", "-",
// "@", a tab or a CR gets an apostrophe in front, so that no spreadsheet runs it as a formula.
void writeReportCsv(rptTransaksi& report, QIODevice& out);
// The same rules for any table: one line of fields, quoted where they hold ";", a quote or a
// line end; and database text kept from being read as a formula.
void csvLine(QIODevice& out, const QStringList& fields);
QString csvText(const QString& text);

// Each writes the whole report and gives an empty text on success, else what went wrong. A file
// is replaced only once it is complete. Database errors go to the caller.
QString saveReportPdf(rptTransaksi& report, const QString& path, int* pages = nullptr);
QString saveReportCsv(rptTransaksi& report, const QString& path);
// A named A4 printer; never the default destination, which on a kiosk is the receipt queue.
QString printReport(rptTransaksi& report, const QString& printerName);
QString printReport(rptTransaksi& report, QPrinter& printer);

} // namespace kalinda
