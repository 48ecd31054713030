#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

class QLabel;
class QPushButton;

namespace kalinda {

// What the CUPS default destination says of itself.
struct PrinterStatus {
    bool found = false;
    bool stopped = false;
    QStringList reasons; // printer-state-reasons, e.g. "media-empty-error"
};

PrinterStatus defaultPrinterStatus();

// What the office is told of a kiosk's printer, worst first.
enum class PrinterCondition { PaperOut, Offline, JobsStuck, PaperLow, Ready, None };

// The printer's condition from its state and reasons; `oldestActiveJobSeconds` is the age of the
// oldest job not yet printed (none: no job waits). None: no printer at all.
PrinterCondition printerCondition(const PrinterStatus& status,
                                  std::optional<qint64> oldestActiveJobSeconds = std::nullopt);
// "paper out", "offline", "jobs stuck", "paper low", "ready", "none".
QString printerConditionName(PrinterCondition condition);
// The default destination's condition, its waiting jobs included (may wait for CUPS: not on
// the screen's thread).
PrinterCondition defaultPrinterCondition();

// Why a receipt would not come out, in the student's words; empty when the printer is ready.
QString printerProblem(const PrinterStatus& status);

// Whether set_app "PrinterCheck" switches the printer checks on.
bool printerCheckEnabled();

// Before a posting: with the checks on and the printer not ready, warns that the receipt will
// not be printed and lets the student go on (true) or stop (false). Otherwise true.
bool printerReadyOrAccepted(QWidget* parent);

// The warning form: go on or stop.
class frmPrinterWarning final : public QDialog {
    Q_OBJECT
public:
    explicit frmPrinterWarning(const QString& problem, QWidget* parent = nullptr);

    QLabel* lblInfo;
    QPushButton* cmdLanjut;
    QPushButton* cmdBatal;
};

} // namespace kalinda
