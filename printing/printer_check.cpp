#include "printer_check.h"

#include "app/dialogs.h"
#include "app/parameters.h"
#include "app/wait_notice.h"
#include "cups_link.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <ctime>

namespace kalinda {

namespace {

// A job that waits longer than this for a receipt printer is not coming out.
constexpr qint64 kStuckJobSeconds = 60;

PrinterStatus readStatus(cups_dest_t* dest) {
    PrinterStatus status;
    if (!dest)
        return status;
    status.found = true;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    status.stopped = state && QByteArray(state).toInt() == IPP_PSTATE_STOPPED;
    const char* reasons = cupsGetOption("printer-state-reasons", dest->num_options, dest->options);
    if (reasons) {
        status.reasons = QString::fromUtf8(reasons).split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    return status;
}

// Whether a reason is `name` with one of the given suffixes ("" for the bare name).
bool hasReason(const PrinterStatus& status, const char* name,
               std::initializer_list<const char*> suffixes) {
    for (const QString& r : status.reasons) {
        for (const char* suffix : suffixes) {
            if (r.trimmed() == QLatin1String(name) + QLatin1String(suffix))
                return true;
        }
    }
    return false;
}

} // namespace

PrinterStatus defaultPrinterStatus() {
    const CupsLink link;
    cups_dest_t* dest = link.http() ? cupsGetNamedDest(link.http(), nullptr, nullptr) : nullptr;
    const PrinterStatus status = readStatus(dest);
    cupsFreeDests(dest ? 1 : 0, dest);
    return status;
}

PrinterCondition printerCondition(const PrinterStatus& status,
                                  std::optional<qint64> oldestActiveJobSeconds) {
    if (!status.found)
        return PrinterCondition::None;
    if (hasReason(status, "media-empty", {"", "-error"}) ||
        hasReason(status, "media-needed", {"", "-error"}))
        return PrinterCondition::PaperOut;
    if (status.stopped || hasReason(status, "offline", {"", "-error", "-warning", "-report"}))
        return PrinterCondition::Offline;
    if (oldestActiveJobSeconds && *oldestActiveJobSeconds > kStuckJobSeconds)
        return PrinterCondition::JobsStuck;
    if (hasReason(status, "media-low", {"", "-error", "-warning", "-report"}) ||
        hasReason(status, "media-empty", {"-warning", "-report"}))
        return PrinterCondition::PaperLow;
    return PrinterCondition::Ready;
}

QString printerConditionName(PrinterCondition condition) {
    switch (condition) {
    case PrinterCondition::PaperOut:
        return QStringLiteral("paper out");
    case PrinterCondition::Offline:
        return QStringLiteral("offline");
    case PrinterCondition::JobsStuck:
        return QStringLiteral("jobs stuck");
    case PrinterCondition::PaperLow:
        return QStringLiteral("paper low");
    case PrinterCondition::Ready:
        return QStringLiteral("ready");
    case PrinterCondition::None:
        break;
    }
    return QStringLiteral("none");
}

PrinterCondition defaultPrinterCondition() {
    const CupsLink link;
    cups_dest_t* dest = link.http() ? cupsGetNamedDest(link.http(), nullptr, nullptr) : nullptr;
    const PrinterStatus status = readStatus(dest);
    std::optional<qint64> oldest;
    if (dest && !link.timedOut()) {
        cups_job_t* jobs = nullptr;
        const int count = cupsGetJobs2(link.http(), &jobs, dest->name, 0, CUPS_WHICHJOBS_ACTIVE);
        const qint64 now = static_cast<qint64>(time(nullptr));
        for (int i = 0; i < count; ++i) {
            const qint64 age = now - static_cast<qint64>(jobs[i].creation_time);
            oldest = std::max(oldest.value_or(age), age);
        }
        cupsFreeJobs(count, jobs);
    }
    cupsFreeDests(dest ? 1 : 0, dest);
    return printerCondition(status, oldest);
}

QString printerProblem(const PrinterStatus& status) {
    if (!status.found)
        return QStringLiteral("printer tidak ditemukan");
    QStringList problems;
    if (status.stopped)
        problems << QStringLiteral("printer berhenti");
    // A reason may carry "-error", "-warning" or "-report"; only an error stops the paper.
    auto has = [&](const char* reason) { return hasReason(status, reason, {"", "-error"}); };
    if (has("media-empty") || has("media-needed"))
        problems << QStringLiteral("kertas habis");
    if (has("cover-open") || has("door-open"))
        problems << QStringLiteral("tutup printer terbuka");
    return problems.join(QStringLiteral(", "));
}

bool printerCheckEnabled() {
    const QString value = parameters().AppParam.PrinterCheck.trimmed();
    return !value.isEmpty() && value != QLatin1String("0");
}

bool printerReadyOrAccepted(QWidget* parent) {
    if (!printerCheckEnabled())
        return true;
    const PrinterStatus status = [parent] {
        const WaitNotice wait(parent);
        return defaultPrinterStatus();
    }();
    const QString problem = printerProblem(status);
    if (problem.isEmpty())
        return true;
    frmPrinterWarning form(problem, parent);
    return dialogs().exec(form) == QDialog::Accepted;
}

frmPrinterWarning::frmPrinterWarning(const QString& problem, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmPrinterWarning"));
    setWindowTitle(kAppTitle);
    lblInfo = new QLabel(QStringLiteral("Printer tidak siap (%1).\nStruk tidak akan dicetak. "
                                        "Lanjutkan transaksi?")
                             .arg(problem),
                         this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setAlignment(Qt::AlignCenter);
    lblInfo->setWordWrap(true);
    cmdLanjut = new QPushButton(QStringLiteral("LANJUTKAN"), this);
    cmdLanjut->setObjectName(QStringLiteral("cmdLanjut"));
    cmdBatal = new QPushButton(QStringLiteral("BATAL"), this);
    cmdBatal->setObjectName(QStringLiteral("cmdBatal"));
    cmdBatal->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdLanjut);
    buttons->addWidget(cmdBatal);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblInfo);
    layout->addLayout(buttons);
    setMinimumWidth(420);
    connect(cmdLanjut, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdBatal, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace kalinda
