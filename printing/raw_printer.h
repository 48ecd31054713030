#pragma once

#include <QByteArray>
#include <QString>

namespace kalinda {

enum class RawPrintResult {
    Sent,
    NotRecognised, // no default printer, or it could not be opened: nothing was printed
    Failed,        // the printer took the job but the spooler reported an error on the way
};

// Sends one raw job to the default printer, bypassing any driver formatting.
class RawPrinter {
public:
    virtual ~RawPrinter() = default;
    virtual RawPrintResult send(const QString& documentName, const QByteArray& data) = 0;
};

// The system's default CUPS destination, raw format, one write.
class CupsRawPrinter final : public RawPrinter {
public:
    RawPrintResult send(const QString& documentName, const QByteArray& data) override;
};

// The process-wide seam. Defaults to CUPS.
RawPrinter& receiptPrinter();
// Installs another printer (not owned); nullptr restores CUPS.
void setReceiptPrinter(RawPrinter* replacement);

// What the printer receives for a receipt text: CR LF, the text in Windows-1252 (a character
// outside it becomes "?"), CR LF, and the ESC/POS full cut GS "V" "0".
QByteArray receiptBytes(const QString& dataPrint);

} // namespace kalinda
