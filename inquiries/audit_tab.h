#pragma once

#include "app/settings.h"
#include "audit.h"

#include <QColor>
#include <QWidget>
#include <functional>
#include <optional>

class QDateEdit;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace kalinda {

// A table row's background in the office's colours.
QColor rowColour(StatusColour colour);

// The operator window's pieces, shared by its tabs: a date with its calendar, and a table of
// rows to read (not to edit) whose last column takes the width left.
QDateEdit* datePicker(const QDate& date, const char* name, QWidget* parent);
QTableWidget* readOnlyTable(const QStringList& headers, const QString& accessibleName,
                            const char* name, QWidget* parent);

// The Audit tab of the operator's window: the audit of a chosen period as the office's account
// runs it, one row per finding in its colour, and saved as CSV.
class AuditTab final : public QWidget {
    Q_OBJECT
public:
    // `db` is the window's connection: the audit goes to its server and schema.
    AuditTab(Connection& db, QDate today, QWidget* parent = nullptr);

    QLabel* lblDari;
    QDateEdit* dtpDari;
    QLabel* lblSampai;
    QDateEdit* dtpSampai;
    QPushButton* cmdPeriksa;
    QPushButton* cmdCsv;
    QTableWidget* tblAudit;
    QLabel* lblAudit; // green "Tidak ada temuan", the count, or why the audit did not run

    // Where the office's account comes from (the deployment's settings).
    std::function<OfficeAccount()> account = [] { return officeAccount(); };

    void cmdPeriksa_Click();

private:
    void showFindings(const KioskAudit& audit);
    void showProblem(const QString& text);
    void cmdCsv_Click();

    Connection& db_;
    std::optional<KioskAudit> shown_;
};

} // namespace kalinda
