#include "printer_check.h"

#include "app/dialogs.h"
#include "app/parameters.h"
#include "app/wait_notice.h"
#include "cups_link.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kalinda {

PrinterStatus defaultPrinterStatus() {
    PrinterStatus status;
    const CupsLink link;
    cups_dest_t* dest = link.http() ? cupsGetNamedDest(link.http(), nullptr, nullptr) : nullptr;
    if (!dest)
        return status;
    status.found = true;
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    status.stopped = state && QByteArray(state).toInt() == IPP_PSTATE_STOPPED;
    const char* reasons = cupsGetOption("printer-state-reasons", dest->num_options, dest->options);
    if (reasons) {
        status.reasons = QString::fromUtf8(reasons).split(QLatin1Char(','), Qt::SkipEmptyParts);
    }
    cupsFreeDests(1, dest);
    return status;
}

QString printerProblem(const PrinterStatus& status) {
    if (!status.found)
        return QStringLiteral("printer tidak ditemukan");
    QStringList problems;
    if (status.stopped)
        problems << QStringLiteral("printer berhenti");
    // A reason may carry "-error", "-warning" or "-report"; only an error stops the paper.
    auto has = [&](const char* reason) {
        for (const QString& r : status.reasons) {
            const QString name = r.trimmed();
            if (name == QLatin1String(reason) ||
                name == QLatin1String(reason) + QStringLiteral("-error"))
                return true;
        }
        return false;
    };
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
