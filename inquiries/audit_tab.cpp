#include "audit_tab.h"

#include "app/dialogs.h"
#include "app/wait_notice.h"

#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTime>
#include <QVBoxLayout>

namespace kalinda {
namespace {} // namespace

QColor rowColour(StatusColour colour) {
    return colour == StatusColour::Red     ? QColor(0xf4, 0xb6, 0xb6)
           : colour == StatusColour::Amber ? QColor(0xfb, 0xdc, 0x9a)
           : colour == StatusColour::Grey  ? QColor(0xd9, 0xd9, 0xd9)
                                           : QColor(0xbf, 0xe8, 0xbf);
}

QDateEdit* datePicker(const QDate& date, const char* name, QWidget* parent) {
    auto* edit = new QDateEdit(date, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setCalendarPopup(true);
    edit->setDisplayFormat(QStringLiteral("dd-MM-yyyy"));
    return edit;
}

QTableWidget* readOnlyTable(const QStringList& headers, const QString& accessibleName,
                            const char* name, QWidget* parent) {
    auto* table = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setAccessibleName(accessibleName);
    return table;
}

AuditTab::AuditTab(Connection& db, QDate today, QWidget* parent)
    : QWidget(parent)
    , db_(db) {
    setObjectName(QStringLiteral("tabAudit"));
    lblDari = new QLabel(QStringLiteral("&Dari tanggal"), this);
    dtpDari = datePicker(today.addDays(-1), "dtpAuditDari", this);
    lblSampai = new QLabel(QStringLiteral("&Sampai tanggal"), this);
    dtpSampai = datePicker(today, "dtpAuditSampai", this);
    lblDari->setBuddy(dtpDari);
    lblSampai->setBuddy(dtpSampai);
    dtpDari->setAccessibleName(QStringLiteral("Dari tanggal"));
    dtpSampai->setAccessibleName(QStringLiteral("Sampai tanggal"));
    cmdPeriksa = new QPushButton(QStringLiteral("&Periksa"), this);
    cmdPeriksa->setObjectName(QStringLiteral("cmdPeriksa"));
    cmdCsv = new QPushButton(QStringLiteral("Simpan C&SV..."), this);
    cmdCsv->setObjectName(QStringLiteral("cmdAuditCsv"));
    cmdCsv->setEnabled(false); // until there is something read to save

    tblAudit = readOnlyTable(
        {QStringLiteral("Jenis"), QStringLiteral("Tanggal"), QStringLiteral("Rekening"),
         QStringLiteral("Jumlah Rp"), QStringLiteral("Banyak"), QStringLiteral("Trans ID"),
         QStringLiteral("Penulis"), QStringLiteral("Waktu"), QStringLiteral("Keterangan")},
        QStringLiteral("Temuan audit"), "tblAudit", this);
    lblAudit = new QLabel(this);
    lblAudit->setObjectName(QStringLiteral("lblAudit"));

    auto* form = new QFormLayout;
    form->addRow(lblDari, dtpDari);
    form->addRow(lblSampai, dtpSampai);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdPeriksa);
    buttons->addWidget(cmdCsv);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(lblAudit);
    layout->addWidget(tblAudit, 1);

    connect(cmdPeriksa, &QPushButton::clicked, this, [this] { cmdPeriksa_Click(); });
    connect(cmdCsv, &QPushButton::clicked, this, [this] { cmdCsv_Click(); });
}

void AuditTab::cmdPeriksa_Click() {
    if (dtpDari->date() > dtpSampai->date()) {
        showMessage(MessageIcon::Warning,
                    QStringLiteral("Tanggal awal tidak boleh lebih dari tanggal akhir!"), this);
        dtpDari->setFocus();
        return;
    }
    KioskAudit audit(dtpDari->date(), dtpSampai->date());
    {
        WaitNotice wait(this); // days of ledger may take a while
        QString error;
        const auto office = connectOffice(db_.params(), account(), error);
        if (!office)
            return showProblem(error);
        try {
            audit.run(*office);
        } catch (const DbError& e) {
            return showProblem(e.message());
        }
    }
    showFindings(audit);
}

void AuditTab::showProblem(const QString& text) {
    shown_.reset();
    tblAudit->setRowCount(0);
    cmdCsv->setEnabled(false);
    lblAudit->setStyleSheet(QString());
    lblAudit->setText(QStringLiteral("Audit tidak dapat dijalankan: ") + text);
}

void AuditTab::showFindings(const KioskAudit& audit) {
    const auto& findings = audit.findings();
    tblAudit->setRowCount(static_cast<int>(findings.size()));
    const QLocale indonesian(QLocale::Indonesian, QLocale::Indonesia);
    for (int row = 0; row < tblAudit->rowCount(); ++row) {
        const AuditFinding& f = findings[static_cast<std::size_t>(row)];
        const QString ids =
            f.lastTransId.isEmpty() ? f.transId : f.transId + QStringLiteral("..") + f.lastTransId;
        const QString cells[] = {
            f.kind,
            f.date.toString(QStringLiteral("dd-MM-yyyy")),
            f.creditAccount.isEmpty() ? f.debitAccount
                                      : f.debitAccount + QStringLiteral(" > ") + f.creditAccount,
            formatRupiah(f.amount, indonesian),
            QString::number(f.count),
            ids,
            f.writer,
            f.time,
            f.note,
        };
        const QColor colour = rowColour(findingColour(f.kind));
        for (int column = 0; column < tblAudit->columnCount(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setBackground(colour);
            if (column == 3)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblAudit->setItem(row, column, item);
        }
    }
    tblAudit->resizeColumnsToContents();
    const QString at = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
    if (findings.empty()) {
        lblAudit->setStyleSheet(QStringLiteral("background: %1; padding: 8px;")
                                    .arg(rowColour(StatusColour::Green).name()));
        lblAudit->setText(QStringLiteral("Tidak ada temuan"));
    } else {
        lblAudit->setStyleSheet(QString());
        lblAudit->setText(QStringLiteral("%1 temuan: %2 merah, %3 kuning (dibaca %4).")
                              .arg(findings.size())
                              .arg(audit.count(StatusColour::Red))
                              .arg(audit.count(StatusColour::Amber))
                              .arg(at));
    }
    shown_ = audit;
    cmdCsv->setEnabled(true);
}

void AuditTab::cmdCsv_Click() {
    if (!shown_)
        return;
    const QString name = QStringLiteral("audit-kiosk-%1-%2.csv")
                             .arg(shown_->first().toString(QStringLiteral("yyyyMMdd")),
                                  shown_->last().toString(QStringLiteral("yyyyMMdd")));
    QFileDialog ask(this, QStringLiteral("Simpan CSV"), QDir::home().filePath(name),
                    QStringLiteral("CSV (*.csv)"));
    ask.setObjectName(QStringLiteral("fileAudit"));
    ask.setAcceptMode(QFileDialog::AcceptSave);
    ask.setDefaultSuffix(QStringLiteral("csv"));
    ask.setFileMode(QFileDialog::AnyFile);
    if (dialogs().exec(ask) != QDialog::Accepted || ask.selectedFiles().isEmpty())
        return;
    const QString path = ask.selectedFiles().constFirst();
    if (const QString error = shown_->saveCsv(path); !error.isEmpty())
        showMessage(MessageIcon::Warning, error, this);
    else
        showMessage(MessageIcon::Information, QStringLiteral("Audit disimpan: ") + path, this);
}

} // namespace kalinda
