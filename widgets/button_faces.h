#pragma once

// Drawing of the button's faces and window shapes, one routine per look. Internal to the
// widgets library.

#include "widgets/themed_button.h"

#include <QColor>
#include <QRect>
#include <QRegion>

class QPainter;
class QWidget;

namespace kalinda::faces {

// Per channel half the sum of the two, a half rounded up.
QColor averageColor(const QColor& a, const QColor& b);

struct FaceColors {
    QColor face;       // system button face
    QColor shadow;     // system button shadow
    QColor darkShadow; // system 3-D dark shadow
    QColor light;      // system button highlight
    QColor window;     // system window
    QColor highlight;  // system highlight
    QColor back;       // BackColor
    QColor hilite;     // HighlightColor
    bool custom = false;
};

struct Face {
    QRect rect;
    VisualState state = VisualState::Normal;
    bool focusMark = false;     // ShowFocus and the focus
    bool dottedDefault = false; // style 0: default button without the focus
    QColor markColor;           // of the focus mark
    FaceColors colors;
};

// Styles 0 to 10 but 6.
void paintFace(QPainter& painter, int style, const Face& face);
// Style 6, through the widget style's push-button bevel.
void paintThemedFace(QPainter& painter, const Face& face, const QWidget& button, bool hasFocus);

// The window shape of a style at the given size.
QRegion windowShape(int style, QSize size);
// The outline of the widget style's push button at the widget's size.
QRegion themedShape(const QWidget& button);

// Inner margin of the icon.
int iconMargin(int style);

} // namespace kalinda::faces
