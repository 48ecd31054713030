#include "idle_guard.h"

#include "app/busy.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLabel>

namespace kalinda {

IdleGuard::IdleGuard(QWidget* screen, std::function<void()> endVisit)
    : QObject(screen)
    , screen_(screen)
    , endVisit_(std::move(endVisit)) {
    idle_.setSingleShot(true);
    countdown_.setInterval(1000);
    connect(&idle_, &QTimer::timeout, this, &IdleGuard::idleReached);
    connect(&countdown_, &QTimer::timeout, this, &IdleGuard::tick);
}

IdleGuard::~IdleGuard() {
    disarm();
}

QString IdleGuard::warningText(int secondsLeft) {
    return QStringLiteral("Sesi akan berakhir dalam %1 detik. Sentuh layar untuk melanjutkan.")
        .arg(secondsLeft);
}

void IdleGuard::arm() {
    if (timeoutMs_ <= 0)
        return;
    if (!armed_)
        qApp->installEventFilter(this);
    armed_ = true;
    hideWarning();
    idle_.start(timeoutMs_);
}

void IdleGuard::disarm() {
    if (armed_)
        qApp->removeEventFilter(this);
    armed_ = false;
    idle_.stop();
    hideWarning();
}

QLabel* IdleGuard::warning() const {
    return warning_ && warning_->isVisible() ? warning_.data() : nullptr;
}

bool IdleGuard::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate: {
        const bool wasWarning = warning() != nullptr;
        hideWarning();
        idle_.start(timeoutMs_);
        // The touch that keeps the visit does not also press what lies under it.
        if (wasWarning && event->type() != QEvent::KeyPress && event->type() != QEvent::MouseMove)
            return true;
        break;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void IdleGuard::idleReached() {
    if (BusyHold::any()) {
        idle_.start(timeoutMs_); // a posting runs: wait for it
        return;
    }
    left_ = countdownSeconds_;
    showWarning();
    countdown_.start();
}

void IdleGuard::tick() {
    if (BusyHold::any()) {
        hideWarning();
        idle_.start(timeoutMs_);
        return;
    }
    if (--left_ > 0) {
        warning_->setText(warningText(left_));
        return;
    }
    hideWarning();
    closeOpenForms();
    if (endVisit_)
        endVisit_();
}

void IdleGuard::showWarning() {
    // A small window of the form the student sees, so a modal form does not block its touch.
    QWidget* host = QApplication::activeModalWidget();
    if (!host)
        host = screen_;
    if (!warning_ || warning_->parentWidget() != host) {
        delete warning_;
        warning_ = new QLabel(host, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        warning_->setObjectName(QStringLiteral("lblIdleWarning"));
        warning_->setAlignment(Qt::AlignCenter);
        warning_->setWordWrap(true);
        warning_->setAutoFillBackground(true);
        warning_->setStyleSheet(QStringLiteral(
            "QLabel { background: #fff3c4; color: #7a0000; border: 3px solid #7a0000; "
            "font-size: 20pt; font-weight: bold; padding: 16px; }"));
    }
    warning_->setText(warningText(left_));
    const QRect area = screen_->window()->geometry();
    const int w = qMin(area.width() - 40, 700);
    warning_->setGeometry(area.center().x() - w / 2, area.top() + area.height() / 3, w, 160);
    warning_->show();
    warning_->raise();
}

void IdleGuard::hideWarning() {
    countdown_.stop();
    if (warning_)
        warning_->hide();
}

void IdleGuard::closeOpenForms() {
    // Innermost first; each rejected form's own loop ends once control returns to it.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        if (modal == screen_)
            break;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
}

} // namespace kalinda
