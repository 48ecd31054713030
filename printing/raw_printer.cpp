#include "raw_printer.h"

#include <QList>
#include <cups/cups.h>
#include <memory>

namespace kalinda {
namespace {

struct DestDeleter {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestDeleter>;

CupsRawPrinter& cupsPrinter() {
    static CupsRawPrinter instance;
    return instance;
}

RawPrinter* current = nullptr;

// Unicode code points of the bytes 0x80 to 0x9F; 0 marks the five bytes the code page leaves
// undefined.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// One character in Windows-1252, '?' when it has no place there.
char toWindows1252(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return static_cast<char>(codePoint);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == codePoint)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

} // namespace

RawPrintResult CupsRawPrinter::send(const QString& documentName, const QByteArray& data) {
    const DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    if (!dest)
        return RawPrintResult::NotRecognised;
    const QByteArray title = documentName.toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.constData(), 0, nullptr);
    if (job == 0)
        return RawPrintResult::NotRecognised;
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, dest->name, job, title.constData(), CUPS_FORMAT_RAW,
                          1) != HTTP_STATUS_CONTINUE) {
        // A job without a document would hold the queue until the scheduler gives up on it.
        cupsCancelJob2(CUPS_HTTP_DEFAULT, dest->name, job, 0);
        return RawPrintResult::Failed;
    }
    const bool written =
        cupsWriteRequestData(CUPS_HTTP_DEFAULT, data.constData(),
                             static_cast<size_t>(data.size())) == HTTP_STATUS_CONTINUE;
    const bool finished =
        cupsFinishDocument(CUPS_HTTP_DEFAULT, dest->name) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    return written && finished ? RawPrintResult::Sent : RawPrintResult::Failed;
}

RawPrinter& receiptPrinter() {
    return current ? *current : cupsPrinter();
}

void setReceiptPrinter(RawPrinter* replacement) {
    current = replacement;
}

QByteArray receiptBytes(const QString& dataPrint) {
    QByteArray out("\r\n");
    for (const char32_t codePoint : dataPrint.toUcs4())
        out += toWindows1252(codePoint);
    out += "\r\n";
    out += "\x1d"
           "V0";
    return out;
}

} // namespace kalinda
