#include "widgets/ole_color.h"

#include <QPalette>

namespace kalinda {

namespace {

constexpr OleColor kSystemFlag = 0x80000000;

QColor systemColor(quint32 index, const QPalette& palette) {
    const auto active = [&](QPalette::ColorRole role) {
        return palette.color(QPalette::Active, role);
    };
    switch (index) {
    case 0:  // scroll bar
    case 10: // active border
    case 11: // inactive border
    case 15: // button face
        return active(QPalette::Button);
    case 1:  // desktop
    case 4:  // menu
    case 30: // menu bar
        return active(QPalette::Window);
    case 2:  // active caption
    case 3:  // inactive caption
    case 13: // highlight
    case 27: // active caption gradient
    case 28: // inactive caption gradient
    case 29: // menu highlight
        return active(QPalette::Highlight);
    case 5: // window
        return active(QPalette::Base);
    case 6:  // window frame
    case 21: // 3-D dark shadow
        return active(QPalette::Shadow);
    case 7: // menu text
    case 8: // window text
        return active(QPalette::WindowText);
    case 9:  // caption text
    case 14: // highlight text
        return active(QPalette::HighlightedText);
    case 12: // application workspace
        return active(QPalette::Mid);
    case 16: // button shadow
        return active(QPalette::Dark);
    case 17: // grey text
    case 19: // inactive caption text
        return palette.color(QPalette::Disabled, QPalette::Text);
    case 18: // button text
        return active(QPalette::ButtonText);
    case 20: // button highlight
        return active(QPalette::Light);
    case 22: // 3-D light
        return active(QPalette::Midlight);
    case 23: // info text
        return active(QPalette::ToolTipText);
    case 24: // info background
        return active(QPalette::ToolTipBase);
    case 26: // hot-tracking
        return active(QPalette::Link);
    default:
        return QColor(Qt::black);
    }
}

} // namespace

QColor resolveColor(OleColor color, const QPalette& palette) {
    if (color & kSystemFlag)
        return systemColor(color & ~kSystemFlag, palette);
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

} // namespace kalinda
