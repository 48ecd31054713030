#include "report_output.h"

#include "report.h"
#include "report_render.h"

#include <QByteArrayList>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace kalinda {
namespace {

QByteArray csvField(const QString& text) {
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(';') || bytes.contains('"') || bytes.contains('\n') ||
        bytes.contains('\r')) {
        bytes.replace('"', "\"\"");
        bytes = '"' + bytes + '"';
    }
    return bytes;
}

QString cannotWrite(const QString& path, const QString& reason) {
    return QStringLiteral("File %1 tidak dapat ditulis: %2").arg(path, reason);
}

} // namespace

QString csvText(const QString& text) {
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!text.isEmpty() && kFormulaStarts.contains(text.front()))
        return QLatin1Char('\'') + text;
    return text;
}

void csvLine(QIODevice& out, const QStringList& fields) {
    QByteArrayList parts;
    for (const QString& field : fields)
        parts << csvField(field);
    out.write(parts.join(';') + '\n');
}

void writeReportCsv(rptTransaksi& report, QIODevice& out) {
    report.ActiveReport_ReportStart();
    csvLine(out, {QStringLiteral("No"), QStringLiteral("Tanggal"), QStringLiteral("Trans ID"),
                  QStringLiteral("No. Rekening"), QStringLiteral("Nama"), QStringLiteral("Kelas"),
                  QStringLiteral("Jumlah Rp"), QStringLiteral("User")});
    for (;;) {
        bool eof = true;
        report.ActiveReport_FetchData(eof);
        if (eof)
            break;
        csvLine(
            out,
            {QString::number(report.number),
             report.date.isValid() ? report.date.toString(Qt::ISODate) : csvText(report.lblTanggal),
             csvText(report.lblTransID), csvText(report.lblRekening), csvText(report.name),
             csvText(report.lblKelas), QString::number(report.amount), csvText(report.lblUser)});
    }
}

QString saveReportPdf(rptTransaksi& report, const QString& path, int* pages) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    int written = 0;
    {
        QPdfWriter pdf(&file);
        pdf.setResolution(300);
        pdf.setCreator(QStringLiteral("KalindaApp"));
        pdf.setTitle(QStringLiteral("LAPORAN TRANSAKSI"));
        written = renderReport(report, pdf);
    }
    if (written == 0) {
        file.cancelWriting();
        return cannotWrite(path, QStringLiteral("PDF tidak dapat dibuat"));
    }
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    if (pages)
        *pages = written;
    return {};
}

QString saveReportCsv(rptTransaksi& report, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    writeReportCsv(report, file);
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return {};
}

QString printReport(rptTransaksi& report, const QString& printerName) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (printerName.isEmpty() || info.isNull())
        return QStringLiteral("Printer %1 tidak ditemukan.").arg(printerName);
    QPrinter printer(info, QPrinter::HighResolution);
    return printReport(report, printer);
}

QString printReport(rptTransaksi& report, QPrinter& printer) {
    printer.setDocName(QStringLiteral("LAPORAN TRANSAKSI"));
    if (renderReport(report, printer) == 0)
        return QStringLiteral("Laporan tidak dapat dicetak ke printer %1.")
            .arg(printer.printerName());
    return {};
}

} // namespace kalinda
