#pragma once

#include "report.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimer;

namespace kalinda {

class AuditTab;

// The operator's window for the transaction report: the period, the user, and the report
// previewed, printed through a print dialog, or saved as PDF or CSV; and a second tab with
// every kiosk's status, as `kalinda status` prints it, read again every 10 s while it shows; and
// a third with the audit of the kiosks' postings.
class frmLaporan final : public QWidget {
    Q_OBJECT
public:
    frmLaporan(Connection& db, QString operatorName, QDate today = QDate::currentDate(),
               QWidget* parent = nullptr);

    QLabel* lblDari;
    QDateEdit* dtpDari;
    QLabel* lblSampai;
    QDateEdit* dtpSampai;
    QLabel* lblPengguna;
    QComboBox* cboUser;
    QPushButton* cmdPreview;
    QPushButton* cmdCetak;
    QPushButton* cmdPdf;
    QPushButton* cmdCsv;
    QTabWidget* tabs;
    QTableWidget* tblStatus;
    QLabel* lblStatus; // when the table was read, or why it could not be
    AuditTab* auditTab;

    // Shows the window maximised, ready for the report's preview beside it; also where no
    // window manager maximises it.
    void showReady();

    // Reads the kiosks' status again into the table.
    void refreshStatus();
    static constexpr int kStatusRefreshMs = 10000;

    // The report as the controls ask for it; nullopt (after a message) for a reversed period.
    std::optional<ReportPeriod> period();

private:
    void Form_Load();
    void cmdPreview_Click();
    void cmdCetak_Click();
    void cmdPdf_Click();
    void cmdCsv_Click();
    // Runs `output` on a fresh report of the chosen period, showing database errors.
    void withReport(const QString& what, const std::function<void(rptTransaksi&)>& output);
    using Saver = std::function<QString(rptTransaksi&, const QString& path)>;
    void saveAs(const QString& kind, const QString& suffix, const Saver& save);
    std::optional<QString> askFile(const QString& title, const QString& filter,
                                   const QString& suffix);

    QTimer* statusTimer_;
    Connection& db_;
    QString operatorName_;
    AppParameters params_;
};

} // namespace kalinda
