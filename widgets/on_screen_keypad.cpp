#include "on_screen_keypad.h"

#include "app/parameters.h"
#include "kiosk_style.h"

#include <QApplication>
#include <QGridLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

namespace kalinda {
namespace {

constexpr int kGap = 8;

const QString kBackspace = QStringLiteral("\u232B");
const QString kShift = QStringLiteral("\u21E7");

// The same rectangle moved as little as possible to lie within `area`.
QRect clampedInto(QRect r, const QRect& area) {
    r.moveLeft(
        std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width() + 1)));
    r.moveTop(
        std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height() + 1)));
    return r;
}

} // namespace

KeypadKind keypadKindFor(const QWidget* widget) {
    const auto* edit = qobject_cast<const QLineEdit*>(widget);
    if (!edit || edit->isReadOnly() || !edit->isEnabled())
        return KeypadKind::None;
    const QString asked = edit->property(kKeypadProperty).toString();
    if (asked == QLatin1String("digits"))
        return KeypadKind::Digits;
    if (asked == QLatin1String("text"))
        return KeypadKind::Text;
    if (asked == QLatin1String("none"))
        return KeypadKind::None;
    if (qobject_cast<const QIntValidator*>(edit->validator()))
        return KeypadKind::Digits;
    if (edit->echoMode() == QLineEdit::Password && edit->maxLength() <= 6)
        return KeypadKind::Digits;
    const QString name = edit->objectName();
    if (name == QLatin1String("txtNominal") || name == QLatin1String("txtRekening"))
        return KeypadKind::Digits;
    return KeypadKind::None;
}

KeypadPlacement placeKeypad(const QRect& area, const QRect& window, const QRect& box,
                            const QSize& pad, bool windowIsDialog) {
    const auto fits = [&](const QRect& r) { return area.contains(r); };
    // Level with the box, or centred under or over it, as far as the screen allows.
    const auto besideAt = [&](int x) {
        return clampedInto(QRect(QPoint(x, box.center().y() - pad.height() / 2), pad), area);
    };
    const auto stackedAt = [&](int y) {
        return clampedInto(QRect(QPoint(box.center().x() - pad.width() / 2, y), pad), area);
    };
    if (!windowIsDialog) {
        // Over the main screen: next to the box, keeping the buttons beside it free.
        for (const QRect& r : {QRect(QPoint(box.left(), box.top() - kGap - pad.height()), pad),
                               QRect(QPoint(box.left(), box.bottom() + 1 + kGap), pad),
                               QRect(QPoint(box.right() + 1 + kGap, box.top()), pad)}) {
            if (fits(r))
                return {r, window.topLeft()};
        }
        return {clampedInto(QRect(QPoint(box.left(), box.bottom() + 1 + kGap), pad), area),
                window.topLeft()};
    }
    const int right = window.right() + 1 + kGap;
    const int left = window.left() - kGap - pad.width();
    const int below = window.bottom() + 1 + kGap;
    const int above = window.top() - kGap - pad.height();
    if (right + pad.width() - 1 <= area.right())
        return {besideAt(right), window.topLeft()};
    if (left >= area.left())
        return {besideAt(left), window.topLeft()};
    if (below + pad.height() - 1 <= area.bottom())
        return {stackedAt(below), window.topLeft()};
    if (above >= area.top())
        return {stackedAt(above), window.topLeft()};
    // No room as it stands: move the dialog so that dialog and pad are centred together.
    const int wide = window.width() + kGap + pad.width();
    if (wide <= area.width()) {
        const QPoint at(area.left() + (area.width() - wide) / 2, window.top());
        const QRect moved(at, window.size());
        const QRect shiftedBox = box.translated(at - window.topLeft());
        return {clampedInto(QRect(QPoint(moved.right() + 1 + kGap,
                                         shiftedBox.center().y() - pad.height() / 2),
                                  pad),
                            area),
                at};
    }
    const int tall = window.height() + kGap + pad.height();
    if (tall <= area.height()) {
        const QPoint at(window.left(), area.top() + (area.height() - tall) / 2);
        const QRect shiftedBox = box.translated(at - window.topLeft());
        return {clampedInto(QRect(QPoint(shiftedBox.center().x() - pad.width() / 2,
                                         at.y() + window.height() + kGap),
                                  pad),
                            area),
                at};
    }
    // A dialog as large as the screen: the pad goes into the corner below the box.
    return {clampedInto(
                QRect(QPoint(area.right() - pad.width(), area.bottom() - pad.height()), pad), area),
            window.topLeft()};
}

OnScreenKeypad::OnScreenKeypad(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("onScreenKeypad"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_StyledBackground);
    setFocusPolicy(Qt::NoFocus);
    setStyleSheet(QStringLiteral(
        "#onScreenKeypad { background: #1f2d27; border: 3px solid #0b5d3b; }"
        "QPushButton { min-width: 60px; min-height: 56px; font-size: 18pt; font-weight: bold;"
        "  color: #1f2d27; background: #f4f6f5; border: 1px solid #8a9a92; border-radius: 6px; }"
        "QPushButton:pressed { background: #bfe3cf; }"
        "#key_ok { background: #1b7f4c; color: white; }"
        "#key_clear, #key_backspace { background: #f3d9d6; }"));
    digits_ = buildDigits();
    letters_ = buildLetters();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(digits_);
    layout->addWidget(letters_);
    letters_->hide();
}

QAbstractButton* OnScreenKeypad::addKey(QGridLayout* grid, const QString& caption, int row,
                                        int column, int span, std::function<void()> onClick) {
    auto* key = new QPushButton(caption, grid->parentWidget());
    key->setFocusPolicy(Qt::NoFocus);
    key->setAutoDefault(false);
    key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    connect(key, &QPushButton::clicked, this, std::move(onClick));
    grid->addWidget(key, row, column, 1, span);
    return key;
}

QWidget* OnScreenKeypad::buildDigits() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(6);
    const char* const rows[] = {"789", "456", "123"};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QString digit = QString(QLatin1Char(rows[r][c]));
            addKey(grid, digit, r, c, 1, [this, digit] {
                typeText(digit);
            })->setObjectName(QStringLiteral("key_") + digit);
        }
    }
    addKey(grid, QStringLiteral("CLR"), 3, 0, 1, [this] {
        clearBox();
    })->setObjectName(QStringLiteral("key_clear"));
    addKey(grid, QStringLiteral("0"), 3, 1, 1, [this] {
        typeText(QStringLiteral("0"));
    })->setObjectName(QStringLiteral("key_0"));
    addKey(grid, kBackspace, 3, 2, 1, [this] {
        sendKey(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    })->setObjectName(QStringLiteral("key_backspace"));
    addKey(grid, QStringLiteral("ABC"), 4, 0, 1, [this] {
        switchTo(KeypadKind::Text);
    })->setObjectName(QStringLiteral("key_switch"));
    addKey(grid, QStringLiteral("OK"), 4, 1, 2, [this] {
        sendKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    })->setObjectName(QStringLiteral("key_ok"));
    return page;
}

QWidget* OnScreenKeypad::buildLetters() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);
    const char* const rows[] = {"1234567890", "QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
    for (int r = 0; r < 4; ++r) {
        const int first = r == 3 ? 1 : 0; // the shift key leads the last row
        for (int c = 0; rows[r][c]; ++c) {
            const QString ch = QString(QLatin1Char(rows[r][c]));
            QAbstractButton* key = addKey(grid, ch, r, first + c, 1, [this, ch] { typeText(ch); });
            key->setObjectName(QStringLiteral("key_") + ch);
            if (ch[0].isLetter())
                letterKeys_ << key;
        }
    }
    addKey(grid, QStringLiteral("CLR"), 2, 9, 1, [this] {
        clearBox();
    })->setObjectName(QStringLiteral("key_clear"));
    addKey(grid, kShift, 3, 0, 1, [this] {
        setUpperCase(!upper_);
    })->setObjectName(QStringLiteral("key_shift"));
    addKey(grid, kBackspace, 3, 8, 2, [this] {
        sendKey(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
    })->setObjectName(QStringLiteral("key_backspace"));
    addKey(grid, QStringLiteral("123"), 4, 0, 2, [this] {
        switchTo(KeypadKind::Digits);
    })->setObjectName(QStringLiteral("key_switch"));
    addKey(grid, QString(), 4, 2, 6, [this] {
        typeText(QStringLiteral(" "));
    })->setObjectName(QStringLiteral("key_space"));
    addKey(grid, QStringLiteral("OK"), 4, 8, 2, [this] {
        sendKey(Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    })->setObjectName(QStringLiteral("key_ok"));
    return page;
}

QAbstractButton* OnScreenKeypad::key(const QString& caption) const {
    const QWidget* page = shown_ == KeypadKind::Text ? letters_ : digits_;
    QString name = caption;
    if (caption == QLatin1String("OK"))
        name = QStringLiteral("ok");
    else if (caption == QLatin1String("CLR"))
        name = QStringLiteral("clear");
    else if (caption == kBackspace)
        name = QStringLiteral("backspace");
    return page->findChild<QAbstractButton*>(QStringLiteral("key_") + name);
}

void OnScreenKeypad::typeText(const QString& text) {
    const QChar c = text.at(0);
    if (c.isDigit()) {
        sendKey(Qt::Key_0 + c.digitValue(), Qt::NoModifier, text);
    } else if (c == QLatin1Char(' ')) {
        sendKey(Qt::Key_Space, Qt::NoModifier, text);
    } else {
        const int key = Qt::Key_A + (c.toUpper().unicode() - 'A');
        sendKey(key, upper_ ? Qt::ShiftModifier : Qt::NoModifier,
                upper_ ? text.toUpper() : text.toLower());
    }
}

void OnScreenKeypad::clearBox() {
    sendKey(Qt::Key_A, Qt::ControlModifier, QString()); // select all, as Ctrl+A does
    sendKey(Qt::Key_Backspace, Qt::NoModifier, QStringLiteral("\b"));
}

void OnScreenKeypad::sendKey(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    // The box may go away while it handles the key (a form that closes on the last digit).
    QPointer<QWidget> box = target_;
    if (!box)
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(box, &press);
    if (!box)
        return;
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(box, &release);
}

void OnScreenKeypad::setUpperCase(bool upper) {
    upper_ = upper;
    for (QAbstractButton* key : letterKeys_)
        key->setText(upper ? key->text().toUpper() : key->text().toLower());
}

void OnScreenKeypad::switchTo(KeypadKind kind) {
    shown_ = kind;
    digits_->setVisible(kind != KeypadKind::Text);
    letters_->setVisible(kind == KeypadKind::Text);
    if (QLayout* l = layout())
        l->activate();
    resize(sizeHint());
    if (isVisible())
        place();
}

void OnScreenKeypad::serve(QWidget* box, KeypadKind kind) {
    QWidget* window = box->window();
    if (parentWidget() != window) {
        // A child window of the box's dialog stays usable while that dialog is modal.
        setParent(window, windowFlags());
    }
    target_ = box;
    setUpperCase(true);
    switchTo(kind);
    show();
    place();
    raise();
}

bool OnScreenKeypad::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && target_) {
        QPointer<QWidget> box = target_;
        QMetaObject::invokeMethod(
            this,
            [box] {
                if (box && box->isVisible()) {
                    box->window()->activateWindow();
                    box->setFocus(Qt::OtherFocusReason);
                }
            },
            Qt::QueuedConnection);
    }
    return QWidget::event(event);
}

void OnScreenKeypad::place() {
    QWidget* box = target_;
    if (!box)
        return;
    QWidget* window = box->window();
    const QRect boxRect(box->mapToGlobal(QPoint(0, 0)), box->size());
    const KeypadPlacement where = placeKeypad(mainScreenArea(window), window->frameGeometry(),
                                              boxRect, size(), window->windowType() == Qt::Dialog);
    if (where.windowAt != window->frameGeometry().topLeft())
        window->move(where.windowAt);
    move(where.pad.topLeft());
}

KeypadFollower::KeypadFollower(std::function<bool()> enabled, QObject* parent)
    : QObject(parent)
    , enabled_(std::move(enabled)) {
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

OnScreenKeypad* KeypadFollower::visibleKeypad() const {
    return pad_ && pad_->isVisible() ? pad_.data() : nullptr;
}

void KeypadFollower::refresh() {
    follow(QApplication::focusWidget());
}

void KeypadFollower::follow(QWidget* now) {
    // The pad's window was activated (platforms that ignore its no-focus hint): it hands the
    // activation back itself and stays.
    if (!now && pad_ && QApplication::activeWindow() == pad_)
        return;
    const KeypadKind kind = now && enabled_ && enabled_() ? keypadKindFor(now) : KeypadKind::None;
    if (kind == KeypadKind::None) {
        if (pad_)
            pad_->hide();
        return;
    }
    // The pad belongs to the box's window and goes with it.
    if (!pad_)
        pad_ = new OnScreenKeypad(now->window());
    pad_->serve(now, kind);
}

KeypadFollower* installOnScreenKeypad() {
    return new KeypadFollower(
        [] { return parameters().AppParam.OnScreenKeypad == QLatin1String("1"); }, qApp);
}

} // namespace kalinda
