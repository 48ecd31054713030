#pragma once

#include "widgets/property_bag.h"
#include "widgets/themed_button.h"

#include <QCursor>
#include <QPalette>
#include <QTest>
#include <QWidget>
#include <ostream>

// Readable colours in failure messages.
inline void PrintTo(const QColor& color, std::ostream* out) {
    *out << "rgba(" << color.red() << ", " << color.green() << ", " << color.blue() << ", "
         << color.alpha() << ")";
}

namespace kalinda::test {

// System colours chosen so that averages need rounding: the shadow and the face, and the
// shadow and the window, add up to odd sums.
inline const QColor kFace(212, 208, 200);
inline const QColor kShadow(128, 129, 16);
inline const QColor kWindow(255, 255, 255);
inline const QColor kHighlight(10, 36, 106);

inline QPalette knownPalette() {
    QPalette palette;
    palette.setColor(QPalette::Button, kFace);
    palette.setColor(QPalette::Dark, kShadow);
    palette.setColor(QPalette::Base, kWindow);
    palette.setColor(QPalette::Highlight, kHighlight);
    return palette;
}

// A shown window with buttons in it, the pointer parked outside.
class ButtonHost {
public:
    ButtonHost() {
        QCursor::setPos(0, 0);
        window.setPalette(knownPalette());
        window.setGeometry(100, 100, 300, 120);
    }

    // A button as a saved form brings it up (every key absent unless given).
    ThemedButton& add(QRect geometry, const PropertyBag& saved = {}) {
        auto* button = new ThemedButton(QStringLiteral("cmdTest"), &window);
        button->loadProperties(saved);
        button->setGeometry(geometry);
        return *button;
    }

    [[nodiscard]] bool show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    // Moves the pointer as the window system would, with enter and leave.
    static void pointTo(QWidget& widget, QPoint local) { QTest::mouseMove(&widget, local); }
    void pointAway() { QTest::mouseMove(&window, QPoint(window.width() - 2, window.height() - 2)); }

    QWidget window;
};

// Lets events run until the condition holds; false when it never did.
template <typename Condition>
[[nodiscard]] bool eventually(Condition condition) {
    return QTest::qWaitFor(condition, 5000);
}

inline QColor pixelAt(QWidget& widget, int x, int y) {
    return widget.grab().toImage().pixelColor(x, y);
}

} // namespace kalinda::test
