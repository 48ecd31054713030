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
    // Whether the last job sent was printed within `timeoutMs`; one that was not is cancelled,
    // so it never comes out later for somebody else.
    virtual bool lastJobPrinted(int timeoutMs) {
        (void)timeoutMs;
        return true;
    }
    // Cancels the last job sent if it is still waiting.
    virtual void cancelLastJob() {}
};

// The system's default CUPS destination, raw format, one write.
class CupsRawPrinter final : public RawPrinter {
public:
    RawPrintResult send(const QString& documentName, const QByteArray& data) override;
    bool lastJobPrinted(int timeoutMs) override;
    void cancelLastJob() override;

private:
    QByteArray lastDest_;
    int lastJob_ = 0;
};

// The process-wide seam. Defaults to CUPS.
RawPrinter& receiptPrinter();
// Installs another printer (not owned); nullptr restores CUPS.
void setReceiptPrinter(RawPrinter* replacement);

// What the printer receives for a receipt text: CR LF, the text in Windows-1252 (a character
// outside it becomes "?"), CR LF, and the ESC/POS full cut GS "V" "0".
QByteArray receiptBytes(const QString& dataPrint);

} // namespace kalinda
