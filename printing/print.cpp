#include "print.h"

#include "app/busy.h"
#include "app/db.h"
#include "app/dialogs.h"
#include "printer_check.h"
#include "raw_printer.h"

#include <exception>

namespace kalinda {
namespace {

QString& lastReceiptText() {
    static QString text;
    return text;
}

} // namespace

bool GSN_Print(const QString& namaFile, const QString& dataPrint, QWidget* parent) {
    const RawPrintResult result = receiptPrinter().send(namaFile, receiptBytes(dataPrint));
    if (result == RawPrintResult::NotRecognised) {
        dialogs().message(parent, MessageIcon::Error, QStringLiteral("Printer tidak dikenali!"),
                          QStringLiteral("Error"));
        return false;
    }
    bool printed = result == RawPrintResult::Sent;
    // CUPS takes jobs on a stopped or paperless queue and prints them later, for somebody else.
    if (printed && printerCheckEnabled()) {
        const BusyHold following;
        printed = receiptPrinter().lastJobPrinted(kReceiptJobTimeoutMs);
    }
    if (!printed)
        showMessage(MessageIcon::Warning, kStrukTidakTercetak, parent);
    return printed;
}

const QString kStrukTidakTercetak =
    QStringLiteral("Struk tidak dapat dicetak. Transaksi sudah tersimpan.");

bool CetakNota(Connection& db, const ReceiptValues& values, QWidget* parent,
               const ReceiptClock& clock) {
    const ReceiptClock now = clock ? clock : ReceiptClock(&QDateTime::currentDateTime);
    QString text;
    try {
        const ReceiptSettings settings = readReceiptSettings(db);
        const QDateTime dateRead = now();
        const QDateTime timeRead = now();
        text = buildReceipt(settings, values, dateRead, timeRead, now());
    } catch (const std::exception& error) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Transaksi sudah tersimpan, tetapi struk tidak dapat "
                                   "dicetak.\n%1")
                        .arg(QString::fromLocal8Bit(error.what())),
                    parent);
        return false;
    }
    lastReceiptText() = text;
    return GSN_Print(QStringLiteral("Struk"), text, parent);
}

const QString& lastReceipt() {
    return lastReceiptText();
}

void keepForReprint(Connection& db, const ReceiptValues& values) {
    const QDateTime now = QDateTime::currentDateTime();
    lastReceiptText() = buildReceipt(readReceiptSettings(db), values, now, now, now);
}

void forgetLastReceipt() {
    lastReceiptText().clear();
}

QString receiptCopy(const QString& receipt) {
    const QString eol = QStringLiteral("\r\n");
    QStringList lines = receipt.split(eol);
    for (int i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(kReceiptTitle);
        if (at < 0)
            continue;
        const QString mark = QStringLiteral("SALINAN");
        const qsizetype pad = at + (kReceiptTitle.size() - mark.size()) / 2;
        lines.insert(i + 1, QString(pad, QLatin1Char(' ')) + mark);
        break;
    }
    return lines.join(eol);
}

bool CetakUlang(QWidget* parent) {
    if (lastReceipt().isEmpty())
        return false;
    receiptPrinter().cancelLastJob();
    return GSN_Print(QStringLiteral("Struk"), receiptCopy(lastReceipt()), parent);
}

} // namespace kalinda
