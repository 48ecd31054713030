#include "print.h"

#include "app/busy.h"
#include "app/db.h"
#include "app/dialogs.h"
#include "app/wait_notice.h"
#include "printer_check.h"
#include "raw_printer.h"

#include <exception>

namespace kalinda {
namespace {

QString& lastReceiptText() {
    static QString text;
    return text;
}

// Sends the receipt and, with the check on, follows its job, under "Mohon tunggu…"; the
// notice is gone before the caller says anything.
RawPrintResult sendReceipt(const QString& namaFile, const QString& dataPrint, QWidget* parent) {
    const WaitNotice wait(parent);
    const RawPrintResult result = receiptPrinter().send(namaFile, receiptBytes(dataPrint));
    // CUPS takes jobs on a stopped or paperless queue and prints them later, for somebody else.
    if (result == RawPrintResult::Sent && printerCheckEnabled()) {
        const BusyHold following;
        if (!receiptPrinter().lastJobPrinted(kReceiptJobTimeoutMs))
            return RawPrintResult::Failed;
    }
    return result;
}

} // namespace

bool GSN_Print(const QString& namaFile, const QString& dataPrint, QWidget* parent) {
    const RawPrintResult result = sendReceipt(namaFile, dataPrint, parent);
    if (result == RawPrintResult::NotRecognised) {
        dialogs().message(parent, MessageIcon::Error, QStringLiteral("Printer tidak dikenali!"),
                          QStringLiteral("Error"));
        return false;
    }
    if (result != RawPrintResult::Sent)
        showMessage(MessageIcon::Warning, kStrukTidakTercetak, parent);
    return result == RawPrintResult::Sent;
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
    {
        const WaitNotice wait(parent);
        receiptPrinter().cancelLastJob();
    }
    return GSN_Print(QStringLiteral("Struk"), receiptCopy(lastReceipt()), parent);
}

} // namespace kalinda
