#include "frm_laporan.h"

#include "app/dialogs.h"
#include "audit_tab.h"
#include "kiosk_status.h"
#include "report_output.h"
#include "report_render.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableWidget>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace kalinda {
namespace {

const QString kAllUsers = QStringLiteral("(semua)");

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

// The first printer that is not the default destination, which on a kiosk is the raw
// receipt queue; the print dialog still lets the operator choose another.
void preselectPagePrinter(QPrinter& printer) {
    const QString receipts = QPrinterInfo::defaultPrinterName();
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        if (name != receipts) {
            printer.setPrinterName(name);
            return;
        }
    }
}

class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

frmLaporan::frmLaporan(Connection& db, QString operatorName, QDate today, QWidget* parent)
    : QWidget(parent)
    , db_(db)
    , operatorName_(std::move(operatorName)) {
    setObjectName(QStringLiteral("frmLaporan"));
    setWindowTitle(QStringLiteral("Laporan Transaksi - ") + kAppTitle);

    lblDari = new QLabel(QStringLiteral("&Dari tanggal"), this);
    dtpDari = datePicker(QDate(today.year(), today.month(), 1), "dtpDari", this);
    lblSampai = new QLabel(QStringLiteral("&Sampai tanggal"), this);
    dtpSampai = datePicker(today, "dtpSampai", this);
    lblPengguna = new QLabel(QStringLiteral("&User"), this);
    cboUser = new QComboBox(this);
    cboUser->setObjectName(QStringLiteral("cboUser"));
    lblDari->setBuddy(dtpDari);
    lblSampai->setBuddy(dtpSampai);
    lblPengguna->setBuddy(cboUser);
    // Screen readers name each input by its label.
    dtpDari->setAccessibleName(QStringLiteral("Dari tanggal"));
    dtpSampai->setAccessibleName(QStringLiteral("Sampai tanggal"));
    cboUser->setAccessibleName(QStringLiteral("User"));

    cmdPreview = button(QStringLiteral("&Pratinjau"), "cmdPreview", this);
    cmdCetak = button(QStringLiteral("&Cetak..."), "cmdCetak", this);
    cmdPdf = button(QStringLiteral("Simpan P&DF..."), "cmdPdf", this);
    cmdCsv = button(QStringLiteral("Simpan C&SV..."), "cmdCsv", this);

    auto* form = new QFormLayout;
    form->addRow(lblDari, dtpDari);
    form->addRow(lblSampai, dtpSampai);
    form->addRow(lblPengguna, cboUser);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdPreview, cmdCetak, cmdPdf, cmdCsv})
        buttons->addWidget(b);
    auto* reportPage = new QWidget(this);
    auto* layout = new QVBoxLayout(reportPage);
    auto* title = new QLabel(QStringLiteral("LAPORAN TRANSAKSI"), reportPage);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addStretch(1); // a maximised window keeps its controls together at the top

    auto* statusPage = new QWidget(this);
    tblStatus = readOnlyTable(
        {QStringLiteral("Status"), QStringLiteral("Kiosk"), QStringLiteral("Keterangan"),
         QStringLiteral("Terakhir"), QStringLiteral("Printer"), QStringLiteral("Tertunda"),
         QStringLiteral("Server"), QStringLiteral("Versi"), QStringLiteral("Akun")},
        QStringLiteral("Status kiosk"), "tblStatus", statusPage);
    lblStatus = new QLabel(statusPage);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    auto* statusLayout = new QVBoxLayout(statusPage);
    statusLayout->addWidget(tblStatus);
    statusLayout->addWidget(lblStatus);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->addTab(reportPage, QStringLiteral("&Laporan Transaksi"));
    tabs->addTab(statusPage, QStringLiteral("S&tatus Kiosk"));
    auditTab = new AuditTab(db_, today, this);
    tabs->addTab(auditTab, QStringLiteral("&Audit"));
    (new QVBoxLayout(this))->addWidget(tabs);

    // Read only while the tab shows: the operator's window may stay open all day.
    statusTimer_ = new QTimer(this);
    statusTimer_->setInterval(kStatusRefreshMs);
    connect(statusTimer_, &QTimer::timeout, this, [this] { refreshStatus(); });
    connect(tabs, &QTabWidget::currentChanged, this, [this, statusPage](int) {
        if (tabs->currentWidget() == statusPage) {
            refreshStatus();
            statusTimer_->start();
        } else {
            statusTimer_->stop();
        }
    });

    connect(cmdPreview, &QPushButton::clicked, this, [this] { cmdPreview_Click(); });
    connect(cmdCetak, &QPushButton::clicked, this, [this] { cmdCetak_Click(); });
    connect(cmdPdf, &QPushButton::clicked, this, [this] { cmdPdf_Click(); });
    connect(cmdCsv, &QPushButton::clicked, this, [this] { cmdCsv_Click(); });

    Form_Load();
}

void frmLaporan::Form_Load() {
    cboUser->clear();
    cboUser->addItem(kAllUsers);
    try {
        params_ = LoadParameters(db_).AppParam;
        cboUser->addItems(reportUsers(db_));
    } catch (const DbError& e) {
        showDatabaseError(QStringLiteral("Data laporan tidak dapat dibaca."), e, this);
    }
}

void frmLaporan::showReady() {
    const QScreen* shownOn = screen() ? screen() : QGuiApplication::primaryScreen();
    setGeometry(shownOn->availableGeometry());
    showMaximized();
}

void frmLaporan::refreshStatus() {
    std::vector<KioskStatus> kiosks;
    try {
        kiosks = readKioskStatus(db_);
    } catch (const DbError& e) {
        // No message box: the next refresh tries again, and the label says why meanwhile.
        lblStatus->setText(QStringLiteral("Status tidak dapat dibaca: ") + e.message());
        return;
    }
    tblStatus->setRowCount(static_cast<int>(kiosks.size()));
    for (int row = 0; row < tblStatus->rowCount(); ++row) {
        const KioskStatus& k = kiosks[static_cast<std::size_t>(row)];
        const QString cells[] = {
            colourName(k.colour),
            k.hostName.isEmpty() ? k.machine
                                 : k.hostName + QStringLiteral(" (") + k.machine + QLatin1Char(')'),
            k.reason,
            k.lastSeen,
            k.printer,
            QString::number(k.inDoubt),
            k.server,
            k.version,
            accountName(k),
        };
        const QColor colour = rowColour(k.colour);
        for (int column = 0; column < tblStatus->columnCount(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setBackground(colour);
            tblStatus->setItem(row, column, item);
        }
    }
    tblStatus->resizeColumnsToContents();
    lblStatus->setText(QStringLiteral("Dibaca %1, %2 kiosk.")
                           .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")))
                           .arg(kiosks.size()));
}

std::optional<ReportPeriod> frmLaporan::period() {
    if (dtpDari->date() > dtpSampai->date()) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Tanggal awal tidak boleh lebih dari tanggal akhir!"), this);
        dtpDari->setFocus();
        return std::nullopt;
    }
    const QString user = cboUser->currentIndex() > 0 ? cboUser->currentText() : QString();
    return ReportPeriod{dtpDari->date(), dtpSampai->date(), user};
}

void frmLaporan::withReport(const QString& what, const std::function<void(rptTransaksi&)>& output) {
    const auto chosen = period();
    if (!chosen)
        return;
    rptTransaksi report(db_, params_, *chosen, operatorName_);
    try {
        output(report);
    } catch (const DbError& e) {
        showDatabaseError(what, e, this);
    }
}

void frmLaporan::cmdPreview_Click() {
    withReport(QStringLiteral("Laporan tidak dapat ditampilkan."), [this](rptTransaksi& report) {
        QPrinter printer(QPrinter::HighResolution);
        preselectPagePrinter(printer);
        QPrintPreviewDialog preview(&printer, this);
        preview.setObjectName(QStringLiteral("previewLaporan"));
        preview.setWindowTitle(QStringLiteral("LAPORAN TRANSAKSI"));
        // As large as this window, the page at its width: readable without a hand on it.
        preview.resize(size());
        if (auto* fitWidth = preview.findChild<QAction*>(QStringLiteral("fitWidthAction")))
            fitWidth->trigger(); // through the toolbar's own button, which shows it
        std::optional<DbError> failed;
        connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
            if (failed)
                return;
            try {
                BusyPointer busy;
                renderReport(report, *target);
            } catch (const DbError& e) {
                failed = e; // shown once the preview is closed
            }
        });
        dialogs().exec(preview);
        if (failed)
            throw *failed;
    });
}

void frmLaporan::cmdCetak_Click() {
    withReport(QStringLiteral("Laporan tidak dapat dicetak."), [this](rptTransaksi& report) {
        QPrinter printer(QPrinter::HighResolution);
        preselectPagePrinter(printer);
        QPrintDialog ask(&printer, this);
        ask.setObjectName(QStringLiteral("printLaporan"));
        if (dialogs().exec(ask) != QDialog::Accepted)
            return;
        BusyPointer busy;
        if (const QString error = printReport(report, printer); !error.isEmpty())
            showMessage(MessageIcon::Warning, error, this);
    });
}

std::optional<QString> frmLaporan::askFile(const QString& title, const QString& filter,
                                           const QString& suffix) {
    const QString name = QStringLiteral("laporan-transaksi-%1-%2.%3")
                             .arg(dtpDari->date().toString(QStringLiteral("yyyyMMdd")),
                                  dtpSampai->date().toString(QStringLiteral("yyyyMMdd")), suffix);
    QFileDialog ask(this, title, QDir::home().filePath(name), filter);
    ask.setObjectName(QStringLiteral("fileLaporan"));
    ask.setAcceptMode(QFileDialog::AcceptSave);
    ask.setDefaultSuffix(suffix);
    ask.setFileMode(QFileDialog::AnyFile);
    if (dialogs().exec(ask) != QDialog::Accepted || ask.selectedFiles().isEmpty())
        return std::nullopt;
    return ask.selectedFiles().constFirst();
}

void frmLaporan::saveAs(const QString& kind, const QString& suffix, const Saver& save) {
    if (!period())
        return;
    const auto path = askFile(QStringLiteral("Simpan ") + kind,
                              kind + QStringLiteral(" (*.") + suffix + QStringLiteral(")"), suffix);
    if (!path)
        return;
    withReport(QStringLiteral("Laporan tidak dapat disimpan."), [&](rptTransaksi& report) {
        BusyPointer busy;
        const QString error = save(report, *path);
        if (error.isEmpty())
            showMessage(MessageIcon::Information, QStringLiteral("Laporan disimpan: ") + *path,
                        this);
        else
            showMessage(MessageIcon::Warning, error, this);
    });
}

void frmLaporan::cmdPdf_Click() {
    saveAs(QStringLiteral("PDF"), QStringLiteral("pdf"),
           [](rptTransaksi& report, const QString& path) { return saveReportPdf(report, path); });
}

void frmLaporan::cmdCsv_Click() {
    saveAs(QStringLiteral("CSV"), QStringLiteral("csv"), saveReportCsv);
}

} // namespace kalinda
