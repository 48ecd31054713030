#include "print.h"

#include "app/db.h"
#include "app/dialogs.h"
#include "raw_printer.h"

#include <exception>

namespace kalinda {

bool GSN_Print(const QString& namaFile, const QString& dataPrint, QWidget* parent) {
    const RawPrintResult result = receiptPrinter().send(namaFile, receiptBytes(dataPrint));
    if (result == RawPrintResult::NotRecognised) {
        dialogs().message(parent, MessageIcon::Error, QStringLiteral("Printer tidak dikenali!"),
                          QStringLiteral("Error"));
    }
    return result == RawPrintResult::Sent;
}

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
    return GSN_Print(QStringLiteral("Struk"), text, parent);
}

} // namespace kalinda
