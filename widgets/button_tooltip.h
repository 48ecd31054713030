#pragma once

#include <QColor>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace kalinda {

struct ToolTipContent {
    QString text;
    QString title;
    int icon = 0; // 0 none, 1 information, 2 warning, 3 error
    bool balloon = true;
    QColor textColor; // invalid: the palette's tooltip colours
    QColor backColor;
};

// The themed button's own tooltip window: a plain rectangle or a balloon pointing up at the
// place the pointer entered, with an optional title line. It shows itself after the widget
// style's tooltip delay and lets the mouse through.
class ButtonToolTip final : public QWidget {
    Q_OBJECT

public:
    ButtonToolTip(ToolTipContent content, QPoint anchor, QWidget* owner);

    const ToolTipContent& content() const { return m_content; }
    bool isBalloon() const { return m_content.balloon; }
    // A title line is shown when there is a title or an icon.
    bool hasTitleLine() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect bodyRect() const;
    QSize titleSize() const;
    QSize textSize() const;
    QFont titleFont() const;

    ToolTipContent m_content;
    QTimer m_wakeUp;
};

} // namespace kalinda
