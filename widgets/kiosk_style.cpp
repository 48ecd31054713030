#include "kiosk_style.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace kalinda {
namespace {

const char* const kStyledProperty = "kalindaKioskStyled";
const QString kFrameName = QStringLiteral("kioskFrame");
constexpr int kFrameWidth = 4;
constexpr int kOutlineWidth = 2;
constexpr int kScreenMargin = 8; // a dialog as large as the screen still shows its frame

bool isMainWindow(const QWidget* w) {
    return w->isWindow() && w->windowType() == Qt::Window;
}

bool isDialogWindow(const QWidget* w) {
    return w->isWindow() && w->windowType() == Qt::Dialog;
}

// The border a window manager would draw, painted over the dialog's own margin.
class DialogFrame final : public QWidget {
public:
    explicit DialogFrame(QWidget* dialog)
        : QWidget(dialog) {
        setObjectName(kFrameName);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(dialog->rect());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        // White outside the green: a dialog as tall as the shop form reaches the main screen's
        // green bands, where a green edge alone would vanish.
        border(p, Qt::white, 0, kOutlineWidth);
        border(p, QColor(0x0b, 0x5d, 0x3b), kOutlineWidth, kFrameWidth);
    }

private:
    void border(QPainter& p, const QColor& colour, int inset, int width) const {
        QPen pen(colour, width);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        const qreal middle = inset + width / 2.0;
        p.drawRect(QRectF(rect()).adjusted(middle, middle, -middle, -middle));
    }
};

DialogFrame* frameOf(QWidget* dialog) {
    return dialog->findChild<DialogFrame*>(kFrameName, Qt::FindDirectChildrenOnly);
}

// Applies the kiosk look to each window as it is built and shown.
class KioskWindows final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::Polish && type != QEvent::Show && type != QEvent::Resize) ||
            !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (type == QEvent::Polish) {
            if ((isMainWindow(w) || isDialogWindow(w)) && !w->property(kStyledProperty).toBool()) {
                // A window's own sheet, and its parent window's, outrank the application's.
                w->setProperty(kStyledProperty, true);
                w->setStyleSheet(w->styleSheet() + QLatin1Char('\n') + kioskStyleSheet());
            }
            return false;
        }
        if (!isDialogWindow(w))
            return false;
        if (type == QEvent::Show && !event->spontaneous()) {
            centreOverMainScreen(*w);
            // Once shown, the platform's border is known: place it again with it.
            QTimer::singleShot(0, w, [w] { centreOverMainScreen(*w); });
            DialogFrame* frame = frameOf(w);
            if (!frame)
                frame = new DialogFrame(w);
            frame->show();
            frame->raise();
            // The newest dialog is the one to answer: nothing may stay on top of it.
            w->raise();
        } else if (type == QEvent::Resize) {
            if (DialogFrame* frame = frameOf(w)) {
                frame->setGeometry(w->rect());
                frame->raise();
            }
        }
        return false;
    }
};

} // namespace

QString kioskStyleSheet() {
    // No min-width for buttons: it would replace the caption's width as their least width. A
    // combo's list as a plain list (combobox-popup: 0), whose rows take a height; a padding
    // makes the style place the arrow, whose width an editable combo is touched by.
    return QStringLiteral(
               "QPushButton, QToolButton { min-height: %1px; }"
               "QLineEdit { font-size: 16pt; min-height: 44px; }"
               "QComboBox { font-size: 16pt; min-height: %1px; padding: 0 8px; combobox-popup: 0; }"
               "QComboBox::drop-down { width: %1px; }"
               "QComboBox QAbstractItemView { font-size: 16pt; }"
               "QComboBox QAbstractItemView::item { min-height: %1px; }"
               "QMessageBox QLabel, QInputDialog QLabel { font-size: 15pt; }"
               "QMessageBox QPushButton, QInputDialog QPushButton { min-width: 120px; }")
        .arg(kTouchPixels);
}

void installKioskStyle(QApplication& app) {
    // Labels and captions scale from the default font.
    QFont font = QApplication::font();
    if (font.pointSizeF() < 12)
        font.setPointSize(12);
    QApplication::setFont(font);
    app.setStyleSheet(kioskStyleSheet());
    app.installEventFilter(new KioskWindows(&app));
}

void styleFormTitle(QLabel& title) {
    title.setStyleSheet(
        QStringLiteral("QLabel { color: #0b5d3b; font-size: 20pt; font-weight: bold; }"));
}

QRect mainScreenArea(const QWidget* widget) {
    const QWidget* root = widget->window();
    while (root->parentWidget())
        root = root->parentWidget()->window();
    if (isMainWindow(root))
        return root->geometry();
    for (const QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && isMainWindow(top))
            return top->geometry();
    }
    const QScreen* screen = widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    return screen->availableGeometry();
}

void centreOverMainScreen(QWidget& dialog) {
    const QRect area = mainScreenArea(&dialog);
    if (QLayout* layout = dialog.layout())
        layout->activate();
    // Whatever border the platform adds goes around the dialog's own size.
    const QSize border = dialog.frameGeometry().size() - dialog.size();
    const QSize room = (area.size() - border - QSize(2 * kScreenMargin, 2 * kScreenMargin))
                           .expandedTo(QSize(1, 1));
    const QSize size = dialog.size()
                           .expandedTo(dialog.minimumSizeHint())
                           .boundedTo(room)
                           .expandedTo(dialog.minimumSize());
    if (size != dialog.size())
        dialog.resize(size);
    QRect placed(QPoint(), size + border);
    placed.moveCenter(area.center());
    // A dialog that cannot shrink enough keeps its top left corner on the screen.
    placed.moveLeft(std::max(placed.left(), area.left()));
    placed.moveTop(std::max(placed.top(), area.top()));
    dialog.move(placed.topLeft());
}

} // namespace kalinda
