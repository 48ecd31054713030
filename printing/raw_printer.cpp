#include "raw_printer.h"

#include "app/cp1252.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
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

} // namespace

RawPrintResult CupsRawPrinter::send(const QString& documentName, const QByteArray& data) {
    const DestPtr dest(cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr));
    if (!dest)
        return RawPrintResult::NotRecognised;
    const QByteArray title = documentName.toUtf8();
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, dest->name, title.constData(), 0, nullptr);
    if (job == 0)
        return RawPrintResult::NotRecognised;
    lastDest_ = dest->name;
    lastJob_ = job;
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

namespace {

// The state of one job of ours; 0 when the scheduler no longer knows it.
int jobState(const QByteArray& dest, int job) {
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, dest.constData(), 1, CUPS_WHICHJOBS_ALL);
    int state = 0;
    for (int i = 0; i < n; ++i) {
        if (jobs[i].id == job)
            state = jobs[i].state;
    }
    cupsFreeJobs(n, jobs);
    return state;
}

} // namespace

bool CupsRawPrinter::lastJobPrinted(int timeoutMs) {
    if (lastJob_ == 0)
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const int state = jobState(lastDest_, lastJob_);
        if (state == IPP_JSTATE_COMPLETED)
            return true;
        if (state >= IPP_JSTATE_STOPPED || deadline.hasExpired()) {
            cancelLastJob();
            return false;
        }
        // The screen keeps drawing while the printer works.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
        QThread::msleep(50);
    }
}

void CupsRawPrinter::cancelLastJob() {
    if (lastJob_ == 0)
        return;
    if (const int state = jobState(lastDest_, lastJob_); state != 0 && state < IPP_JSTATE_STOPPED)
        cupsCancelJob2(CUPS_HTTP_DEFAULT, lastDest_.constData(), lastJob_, 0);
}

RawPrinter& receiptPrinter() {
    return current ? *current : cupsPrinter();
}

void setReceiptPrinter(RawPrinter* replacement) {
    current = replacement;
}

QByteArray receiptBytes(const QString& dataPrint) {
    QByteArray out("\r\n");
    out += toCp1252(dataPrint);
    out += "\r\n";
    out += "\x1d"
           "V0";
    return out;
}

} // namespace kalinda
