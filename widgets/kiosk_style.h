#pragma once

#include <QRect>
#include <QString>

class QApplication;
class QLabel;
class QWidget;

namespace kalinda {

// The least width and height of anything a finger touches: buttons, combos, a combo's rows.
inline constexpr int kTouchPixels = 56;

// The kiosk's touch-screen look for every window, whoever builds it: buttons a finger can hit,
// large entry text, and each dialog framed, kept within the main screen and centred over it
// (a kiosk session has no window manager to frame or place them). Call once at start-up,
// before the first window is built.
void installKioskStyle(QApplication& app);

// The rules installed above. A window that brings a style sheet of its own gets them appended
// when it is first polished, so its own sizes cannot undercut them.
QString kioskStyleSheet();

// The one look of every form's title: large, bold, dark green. The title's own sheet, so the
// main screen's white title (its sheet reaches the forms opened over it) cannot win.
void styleFormTitle(QLabel& title);

// Where `widget`'s main screen is, in global coordinates: the outermost window its parents
// lead to, else the first visible main window, else the screen.
QRect mainScreenArea(const QWidget* widget);

// Shrinks a dialog that would not fit the main screen and centres it over it.
void centreOverMainScreen(QWidget& dialog);

} // namespace kalinda
