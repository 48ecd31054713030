#include "wait_notice.h"

#include <QApplication>
#include <QLabel>

namespace kalinda {
namespace {

QPointer<QLabel>& current() {
    static QPointer<QLabel> label;
    return label;
}

// The window the student looks at: the modal form on top, else the caller's window.
QWidget* windowInSight(QWidget* parent) {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return parent ? parent->window() : QApplication::activeWindow();
}

} // namespace

WaitNotice::WaitNotice(QWidget* parent)
    : focus_(QApplication::focusWidget()) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QWidget* window = windowInSight(parent);
    if (current() || !window || !window->isVisible())
        return; // one notice is enough, and none is needed where nobody looks
    // A child of the form, not a window of its own: showing it activates nothing, and it
    // goes with the form should the form go first.
    label_ = new QLabel(kMohonTunggu, window);
    label_->setObjectName(QStringLiteral("lblMohonTunggu"));
    label_->setFocusPolicy(Qt::NoFocus);
    label_->setAlignment(Qt::AlignCenter);
    label_->setStyleSheet(QStringLiteral("QLabel { background: #fff8c4; color: black; border: "
                                         "2px solid #555; padding: 24px; font-size: 20pt; }"));
    label_->adjustSize();
    label_->move(window->rect().center() - label_->rect().center());
    label_->show();
    label_->raise();
    current() = label_;
    // Painted now: the call that follows blocks the only thread that paints.
    label_->repaint();
}

WaitNotice::~WaitNotice() {
    delete label_.data();
    QApplication::restoreOverrideCursor();
    if (focus_ && !QApplication::focusWidget())
        focus_->setFocus();
}

bool WaitNotice::shown() {
    return current() && current()->isVisible() && QApplication::overrideCursor() &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}

} // namespace kalinda
