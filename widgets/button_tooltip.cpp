#include "widgets/button_tooltip.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <algorithm>
#include <utility>

namespace kalinda {

namespace {

constexpr int kPadding = 6;
constexpr int kIconSize = 16;
constexpr int kGap = 4;
// The balloon's pointer: its tip sits kStemX from the left edge, kStemHeight above the body.
constexpr int kStemX = 16;
constexpr int kStemHeight = 12;
constexpr int kStemWidth = 12;
constexpr int kRadius = 6;
// The tooltip opens below the pointer (a pointer is about this tall), never under it.
constexpr int kBelowPointer = 20;

QIcon titleIcon(int icon, const QStyle& style) {
    switch (icon) {
    case 1:
        return style.standardIcon(QStyle::SP_MessageBoxInformation);
    case 2:
        return style.standardIcon(QStyle::SP_MessageBoxWarning);
    case 3:
        return style.standardIcon(QStyle::SP_MessageBoxCritical);
    default:
        return {};
    }
}

} // namespace

ButtonToolTip::ButtonToolTip(ToolTipContent content, QPoint anchor, QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput)
    , m_content(std::move(content)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette colours = palette();
    if (m_content.textColor.isValid())
        colours.setColor(QPalette::ToolTipText, m_content.textColor);
    if (m_content.backColor.isValid())
        colours.setColor(QPalette::ToolTipBase, m_content.backColor);
    setPalette(colours);

    resize(sizeHint());
    anchor.ry() += kBelowPointer;
    if (isBalloon()) {
        move(anchor - QPoint(kStemX, 0));
        QPainterPath shape;
        shape.addRoundedRect(bodyRect(), kRadius, kRadius);
        shape.addPolygon(QPolygonF({QPointF(kStemX, 0), QPointF(kStemX, kStemHeight + 1),
                                    QPointF(kStemX + kStemWidth, kStemHeight + 1)}));
        setMask(QRegion(shape.simplified().toFillPolygon().toPolygon()));
    } else {
        move(anchor);
    }

    m_wakeUp.setSingleShot(true);
    m_wakeUp.setInterval(style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, this));
    connect(&m_wakeUp, &QTimer::timeout, this, &QWidget::show);
    m_wakeUp.start();
}

bool ButtonToolTip::hasTitleLine() const {
    return !m_content.title.isEmpty() || m_content.icon != 0;
}

QFont ButtonToolTip::titleFont() const {
    QFont bold = font();
    bold.setBold(true);
    return bold;
}

QSize ButtonToolTip::titleSize() const {
    if (!hasTitleLine())
        return {};
    const QSize text = QFontMetrics(titleFont()).size(0, m_content.title);
    const int iconWidth = m_content.icon != 0 ? kIconSize + kGap : 0;
    return {iconWidth + text.width(), std::max(kIconSize, text.height())};
}

QSize ButtonToolTip::textSize() const {
    return fontMetrics().size(Qt::TextExpandTabs, m_content.text);
}

QRect ButtonToolTip::bodyRect() const {
    const int top = isBalloon() ? kStemHeight : 0;
    return QRect(0, top, width(), height() - top);
}

QSize ButtonToolTip::sizeHint() const {
    const QSize title = titleSize();
    const QSize text = textSize();
    const int gap = hasTitleLine() ? kGap : 0;
    QSize size(std::max(title.width(), text.width()) + 2 * kPadding,
               title.height() + gap + text.height() + 2 * kPadding);
    if (isBalloon()) {
        size.rwidth() = std::max(size.width(), kStemX + kStemWidth + kRadius);
        size.rheight() += kStemHeight;
    }
    return size;
}

void ButtonToolTip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor back = palette().color(QPalette::ToolTipBase);
    const QColor ink = palette().color(QPalette::ToolTipText);
    const QRect body = bodyRect();
    if (isBalloon()) {
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath balloon;
        balloon.addRoundedRect(QRectF(body).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
        balloon.addPolygon(
            QPolygonF({QPointF(kStemX + 0.5, 0.5), QPointF(kStemX + 0.5, kStemHeight + 1),
                       QPointF(kStemX + kStemWidth, kStemHeight + 1)}));
        balloon = balloon.simplified();
        p.fillPath(balloon, back);
        p.setPen(ink);
        p.drawPath(balloon);
        p.setRenderHint(QPainter::Antialiasing, false);
    } else {
        p.fillRect(rect(), back);
        p.setPen(ink);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }

    QRect area = body.adjusted(kPadding, kPadding, -kPadding, -kPadding);
    if (hasTitleLine()) {
        const QSize title = titleSize();
        int x = area.left();
        if (m_content.icon != 0) {
            titleIcon(m_content.icon, *style())
                .paint(&p, QRect(x, area.top() + (title.height() - kIconSize) / 2, kIconSize,
                                 kIconSize));
            x += kIconSize + kGap;
        }
        p.setFont(titleFont());
        p.drawText(QRect(x, area.top(), area.right() - x + 1, title.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, m_content.title);
        p.setFont(font());
        area.setTop(area.top() + title.height() + kGap);
    }
    p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, m_content.text);
}

} // namespace kalinda
