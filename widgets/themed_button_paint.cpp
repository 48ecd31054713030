#include "widgets/button_faces.h"
#include "widgets/themed_button.h"

#include <QPainter>
#include <QStyle>

namespace kalinda {

namespace {

constexpr int kCaptionInset = 4;

int captionAlignment(int captionAlign) {
    switch (captionAlign) {
    case 1:
        return Qt::AlignLeft | Qt::AlignVCenter;
    case 2:
        return Qt::AlignRight | Qt::AlignVCenter;
    case 3:
        return Qt::AlignTop | Qt::AlignHCenter;
    case 4:
        return Qt::AlignBottom | Qt::AlignHCenter;
    default:
        return Qt::AlignCenter;
    }
}

QPoint iconPosition(int align, QSize area, int size, int margin) {
    const int centreX = (area.width() - size) / 2;
    const int centreY = (area.height() - size) / 2;
    switch (align) {
    case 0:
        return {centreX, centreY};
    case 2:
        return {area.width() - size - margin, centreY};
    case 3:
        return {centreX, margin};
    case 4:
        return {centreX, area.height() - size - margin};
    default:
        return {margin, centreY};
    }
}

} // namespace

void ThemedButton::paintEvent(QPaintEvent*) {
    if (m_style == kThemeStyle && !themeAvailable()) {
        // From now on the button keeps the look it has without themes.
        const bool usable =
            m_nonThemeStyle >= 0 && m_nonThemeStyle <= kLastStyle && m_nonThemeStyle != kThemeStyle;
        setButtonStyle(usable ? m_nonThemeStyle : 0);
    }

    const QPalette& pal = palette();
    const auto system = [&](OleColor c) { return resolveColor(c, pal); };
    faces::Face face;
    face.rect = rect();
    face.state = visualState();
    face.focusMark = m_showFocus && hasFocus();
    face.dottedDefault = m_displayAsDefault && !hasFocus();
    face.markColor = captionColor(face.state);
    face.colors = {system(SysColor::ButtonFace),
                   system(SysColor::ButtonShadow),
                   system(SysColor::DarkShadow3D),
                   system(SysColor::ButtonHighlight),
                   system(SysColor::Window),
                   system(SysColor::Highlight),
                   system(m_backColor),
                   system(m_highlightColor),
                   m_useCustomColors};

    QPainter painter(this);
    const bool faceBackground = face.state == VisualState::Disabled || !m_useCustomColors;
    painter.fillRect(rect(), faceBackground ? face.colors.face : face.colors.back);
    if (m_style == kThemeStyle)
        faces::paintThemedFace(painter, face, *this, hasFocus());
    else
        faces::paintFace(painter, m_style, face);
    paintIcon(painter, face.state);
    paintCaption(painter, face.state);
}

QColor ThemedButton::captionColor(VisualState state) const {
    const QPalette& pal = palette();
    if (state == VisualState::Disabled)
        return resolveColor(SysColor::GrayText, pal);
    if (!m_useCustomColors)
        return resolveColor(SysColor::ButtonText, pal);
    return resolveColor(state == VisualState::Normal ? m_fontColor : m_fontHighlightColor, pal);
}

void ThemedButton::paintIcon(QPainter& painter, VisualState state) const {
    if (icon().isNull())
        return;
    const int extent = iconPixels();
    QPoint at = iconPosition(m_iconAlign, size(), extent, faces::iconMargin(m_style));
    if (state == VisualState::Pressed)
        at += QPoint(1, 1);
    const QRect target(at, QSize(extent, extent));
    if (m_useMaskColor) {
        QPixmap pixmap = icon().pixmap(target.size(), 1.0);
        pixmap.setMask(pixmap.createMaskFromColor(resolveColor(m_maskColor, palette())));
        painter.drawPixmap(target, pixmap);
    } else if (state == VisualState::Disabled) {
        PaintIconGrayscale(&painter, icon(), at.x(), at.y(), extent, extent);
    } else {
        painter.drawPixmap(target, icon().pixmap(target.size(), 1.0));
    }
}

void ThemedButton::paintCaption(QPainter& painter, VisualState state) const {
    const bool underline = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this);
    const int flags = captionAlignment(m_captionAlign) | Qt::AlignAbsolute | Qt::TextWordWrap |
                      (underline ? Qt::TextShowMnemonic : Qt::TextHideMnemonic);
    // drawText measures the wrapped caption and places it in the inset area by the flags.
    const QRect area =
        rect().adjusted(kCaptionInset, kCaptionInset, -kCaptionInset, -kCaptionInset);
    painter.setPen(captionColor(state));
    painter.setLayoutDirection(m_rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    painter.drawText(area, flags, text());
}

} // namespace kalinda
