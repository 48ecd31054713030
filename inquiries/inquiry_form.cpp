#include "inquiry_form.h"

#include "app/dialogs.h"
#include "widgets/kiosk_style.h"

#include <QApplication>
#include <QCursor>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>

namespace kalinda {
namespace {

// The hourglass while the data is read; restored before any message is shown.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

InquiryForm::InquiryForm(KioskScreen& screen, Connection& db, const QString& name,
                         const QString& title, const QString& subtitle,
                         std::vector<ListColumn> columns, QWidget* parent)
    : QDialog(parent)
    , screen_(screen)
    , db_(db)
    , model_(new ReportListModel(std::move(columns), this)) {
    setObjectName(name);
    setWindowTitle(kAppTitle);

    lblJudul = new QLabel(title, this);
    lblJudul->setObjectName(QStringLiteral("lblJudul"));
    styleFormTitle(*lblJudul);
    lblSubJudul = new QLabel(subtitle, this);
    lblSubJudul->setObjectName(QStringLiteral("lblSubJudul"));

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setModel(model_);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    // Equal line heights let the view lay out thousands of lines without measuring each.
    ListView1->setUniformRowHeights(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);

    cmdKeluar = new QPushButton(QStringLiteral("KELUAR"), this);
    cmdKeluar->setObjectName(QStringLiteral("cmdKeluar"));
    cmdKeluar->setAutoDefault(false);
    connect(cmdKeluar, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblJudul);
    layout->addWidget(lblSubJudul);
    layout->addWidget(ListView1, 1);
    body_ = new QVBoxLayout;
    layout->addLayout(body_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdKeluar);
    layout->addLayout(buttons);
    resize(1100, 650);
}

int InquiryForm::twipsToPixels(int twips) const {
    return static_cast<int>(std::lround(twips * std::max(1, logicalDpiX()) / 1440.0));
}

void InquiryForm::TabelTrans() {
    model_->clear();
    const auto& columns = model_->columns();
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        const int width = columns[static_cast<std::size_t>(c)].widthTwips;
        ListView1->setColumnHidden(c, width == 0);
        if (width > 0)
            ListView1->setColumnWidth(c, twipsToPixels(width));
    }
}

void InquiryForm::fitColumnsToContents() {
    // The designed widths are the least: a month name or an amount wider than its column is
    // shown whole, not cut.
    const QAbstractItemView& view = *ListView1; // QTreeView hides the measure it overrides
    for (int c = 0; c < model_->columnCount(); ++c) {
        if (ListView1->isColumnHidden(c))
            continue;
        const int content =
            std::max(view.sizeHintForColumn(c), ListView1->header()->sectionSizeHint(c));
        if (content > ListView1->columnWidth(c))
            ListView1->setColumnWidth(c, content);
    }
}

void InquiryForm::clearData() {
    model_->clear();
}

bool InquiryForm::Form_Load() {
    TabelTrans();
    try {
        WaitCursor hourglass;
        DataTrans();
        fitColumnsToContents();
    } catch (const DbError& e) {
        clearData();
        showDatabaseError(failureText(), e, parentWidget());
        return false;
    }
    return true;
}

void showInquiry(InquiryForm& form) {
    if (form.Form_Load())
        dialogs().exec(form);
}

QWidget* screenWidget(KioskScreen& screen) {
    return dynamic_cast<QWidget*>(&screen);
}

} // namespace kalinda
