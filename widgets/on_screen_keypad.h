#pragma once

#include "app/dialogs.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QAbstractButton;
class QGridLayout;

namespace kalinda {

enum class KeypadKind { None, Digits, Text };

// Which pad a widget gets when it has the focus. A box says so itself through kKeypadProperty;
// otherwise boxes that can only take digits get the digit pad: a digit validator, a masked box
// of at most 6 characters (the PINs), and the amount and account boxes ("txtNominal",
// "txtRekening"). Read-only boxes and everything else get none; a card box (masked, no length
// limit) is typed by the reader.
KeypadKind keypadKindFor(const QWidget* widget);

// Where a pad of `pad` size goes for a box at `box` in a window at `window`, all in global
// coordinates within the main screen `area`. Beside a dialog the pad never covers it; when
// there is no room beside, above or below, the dialog moves over (`windowAt`) so that dialog
// and pad share the screen. Over the main screen itself the pad sits next to the box.
struct KeypadPlacement {
    QRect pad;
    QPoint windowAt;
};
KeypadPlacement placeKeypad(const QRect& area, const QRect& window, const QRect& box,
                            const QSize& pad, bool windowIsDialog);

// A pad of keys that never takes the focus: each key is sent to the box it serves as the
// keyboard's key would be, so the box's own handlers see every character.
class OnScreenKeypad final : public QWidget {
    Q_OBJECT
public:
    explicit OnScreenKeypad(QWidget* parent = nullptr);

    // Shows the pad of `kind` for `box`, beside the box's dialog.
    void serve(QWidget* box, KeypadKind kind);
    QWidget* target() const { return target_; }
    KeypadKind shownKind() const { return shown_; }

    // The key with this caption on the pad shown ("0"-"9", "A"-"Z", "OK", "C", "⌫", ...).
    QAbstractButton* key(const QString& caption) const;

protected:
    bool event(QEvent* event) override;

private:
    QWidget* buildDigits();
    QWidget* buildLetters();
    QAbstractButton* addKey(QGridLayout* grid, const QString& caption, int row, int column,
                            int span, std::function<void()> onClick);
    void typeText(const QString& text);
    void clearBox();
    void sendKey(int key, Qt::KeyboardModifiers modifiers, const QString& text);
    void switchTo(KeypadKind kind);
    void setUpperCase(bool upper);
    void place();

    QPointer<QWidget> target_;
    KeypadKind shown_ = KeypadKind::None;
    QWidget* digits_;
    QWidget* letters_;
    QList<QAbstractButton*> letterKeys_;
    bool upper_ = true;
};

// Shows the pad beside whichever box takes the focus and needs one, anywhere in the program,
// and hides it otherwise. `enabled` is asked at every focus change.
class KeypadFollower final : public QObject {
    Q_OBJECT
public:
    explicit KeypadFollower(std::function<bool()> enabled, QObject* parent = nullptr);

    // The pad currently shown; nullptr when none is.
    OnScreenKeypad* visibleKeypad() const;
    // Looks at the focused widget again (after a box changed its kind).
    void refresh();

private:
    void follow(QWidget* now);

    std::function<bool()> enabled_;
    QPointer<OnScreenKeypad> pad_;
};

// Installs the follower for the program, on when the set_app key "OnScreenKeypad" is "1".
KeypadFollower* installOnScreenKeypad();

} // namespace kalinda
