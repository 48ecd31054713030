#include "entry_form.h"

#include "app/dialogs.h"
#include "widgets/kiosk_style.h"

#include <QDialog>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kalinda {

namespace {

QLabel* label(QDialog& form, const char* name, const QString& text) {
    auto* l = new QLabel(text, &form);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignCenter);
    return l;
}

QPushButton* button(QDialog& form, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, &form);
    b->setObjectName(QString::fromLatin1(name));
    // Enter in a box means SIMPAN, never one of the "<>".
    b->setAutoDefault(false);
    return b;
}

// Without a window manager nothing activates a new window, and its focused box would get no keys.
class ActivateOnShow final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            static_cast<QWidget*>(watched)->activateWindow();
        return false;
    }
};

} // namespace

EntryForm::EntryForm(QDialog& form, const QString& title, const QString& subtitle)
    : form_(form) {
    form.setWindowTitle(kAppTitle);
    form.setStyleSheet(
        QStringLiteral("QLineEdit { font-size: 16pt; }"
                       "QPushButton { font-size: 12pt; font-weight: bold; min-height: 36px; }"
                       "#cmdSimpan { background: #1b7f4c; color: white; }"
                       "#cmdKeluar { background: #b3261e; color: white; }"));
    lblJudul = label(form, "lblJudul", title);
    styleFormTitle(*lblJudul);
    lblSubJudul = label(form, "lblSubJudul", subtitle);
    grid_ = new QGridLayout(&form);
    grid_->addWidget(lblJudul, row_++, 0, 1, 3);
    grid_->addWidget(lblSubJudul, row_++, 0, 1, 3);
    form.setMinimumWidth(520);
    form.installEventFilter(new ActivateOnShow(&form));
}

QLabel* EntryForm::addNote(const char* name, const QString& text) {
    QLabel* note = label(form_, name, text);
    grid_->addWidget(note, row_++, 1, 1, 2);
    return note;
}

QLineEdit* EntryForm::addEntry(const QString& caption, const char* boxName, QPushButton*& reset,
                               const char* resetName) {
    auto* box = new QLineEdit(&form_);
    box->setObjectName(QString::fromLatin1(boxName));
    box->setAlignment(Qt::AlignCenter);
    auto* l = new QLabel(caption, &form_);
    l->setBuddy(box);
    reset = button(form_, resetName, QStringLiteral("<>"));
    reset->setFixedWidth(kTouchPixels);
    reset->setFocusPolicy(Qt::NoFocus); // Tab goes from box to box
    QObject::connect(reset, &QPushButton::clicked, box, [box] {
        box->clear();
        box->setFocus(Qt::OtherFocusReason);
    });
    grid_->addWidget(l, row_, 0);
    grid_->addWidget(box, row_, 1);
    grid_->addWidget(reset, row_++, 2);
    return box;
}

void EntryForm::addButtons(QPushButton*& simpan, QPushButton*& keluar) {
    simpan = button(form_, "cmdSimpan", QStringLiteral("SIMPAN"));
    simpan->setDefault(true);
    keluar = button(form_, "cmdKeluar", QStringLiteral("KELUAR"));
    QObject::connect(keluar, &QPushButton::clicked, &form_, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(simpan);
    buttons->addWidget(keluar);
    grid_->addLayout(buttons, row_++, 0, 1, 3);
}

} // namespace kalinda
