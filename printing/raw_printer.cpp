#include "raw_printer.h"

#include "app/cp1252.h"
#include "cups_link.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
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
    const CupsLink link;
    http_t* const http = link.http();
    // A scheduler that stopped answering is a receipt not printed, not a printer unknown.
    const auto notOpened = [&link] {
        return link.timedOut() ? RawPrintResult::Failed : RawPrintResult::NotRecognised;
    };
    if (!http)
        return notOpened();
    const DestPtr dest(cupsGetNamedDest(http, nullptr, nullptr));
    if (!dest)
        return notOpened();
    const QByteArray title = documentName.toUtf8();
    const int job = cupsCreateJob(http, dest->name, title.constData(), 0, nullptr);
    if (job == 0)
        return notOpened();
    lastDest_ = dest->name;
    lastJob_ = job;
    if (cupsStartDocument(http, dest->name, job, title.constData(), CUPS_FORMAT_RAW, 1) !=
        HTTP_STATUS_CONTINUE) {
        // A job without a document would hold the queue until the scheduler gives up on it.
        if (!link.timedOut())
            cupsCancelJob2(http, dest->name, job, 0);
        return RawPrintResult::Failed;
    }
    const bool written =
        cupsWriteRequestData(http, data.constData(), static_cast<size_t>(data.size())) ==
        HTTP_STATUS_CONTINUE;
    const bool finished =
        !link.timedOut() && cupsFinishDocument(http, dest->name) <= IPP_STATUS_OK_EVENTS_COMPLETE;
    return written && finished ? RawPrintResult::Sent : RawPrintResult::Failed;
}

namespace {

// The state of one job of ours; 0 when the scheduler no longer knows it or did not answer.
int jobState(const CupsLink& link, const QByteArray& dest, int job) {
    if (!link.http() || link.timedOut())
        return 0;
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(link.http(), &jobs, dest.constData(), 1, CUPS_WHICHJOBS_ALL);
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
    const CupsLink link;
    for (;;) {
        const int state = jobState(link, lastDest_, lastJob_);
        if (state == IPP_JSTATE_COMPLETED)
            return true;
        // A scheduler that stopped answering would not answer the cancel either.
        if (link.timedOut())
            return false;
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
    const CupsLink link;
    if (const int state = jobState(link, lastDest_, lastJob_);
        state != 0 && state < IPP_JSTATE_STOPPED)
        cupsCancelJob2(link.http(), lastDest_.constData(), lastJob_, 0);
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
