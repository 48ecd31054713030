#include "widgets/button_faces.h"

#include <QBitmap>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QStyleOptionButton>
#include <QWidget>

namespace kalinda::faces {

namespace {

int halfSum(int a, int b) {
    return (a + b + 1) / 2;
}

// a with weight percent of b mixed in.
QColor mix(const QColor& a, const QColor& b, int percent) {
    const auto channel = [&](int x, int y) { return (x * (100 - percent) + y * percent) / 100; };
    return QColor(channel(a.red(), b.red()), channel(a.green(), b.green()),
                  channel(a.blue(), b.blue()));
}

void pixel(QPainter& p, int x, int y, const QColor& color) {
    p.fillRect(QRect(x, y, 1, 1), color);
}

void hLine(QPainter& p, int x1, int x2, int y, const QColor& color) {
    p.fillRect(QRect(QPoint(x1, y), QPoint(x2, y)), color);
}

void vLine(QPainter& p, int x, int y1, int y2, const QColor& color) {
    p.fillRect(QRect(QPoint(x, y1), QPoint(x, y2)), color);
}

void frame(QPainter& p, const QRect& r, const QColor& color) {
    hLine(p, r.left(), r.right(), r.top(), color);
    hLine(p, r.left(), r.right(), r.bottom(), color);
    vLine(p, r.left(), r.top(), r.bottom(), color);
    vLine(p, r.right(), r.top(), r.bottom(), color);
}

void bevel(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    hLine(p, r.left(), r.right() - 1, r.top(), topLeft);
    vLine(p, r.left(), r.top(), r.bottom() - 1, topLeft);
    hLine(p, r.left(), r.right(), r.bottom(), bottomRight);
    vLine(p, r.right(), r.top(), r.bottom(), bottomRight);
}

// The raised or sunken two-pixel edge of Windows buttons (3-D light taken as the face).
void edge3D(QPainter& p, const QRect& r, const FaceColors& c, bool sunken) {
    if (sunken) {
        bevel(p, r, c.shadow, c.light);
        bevel(p, r.adjusted(1, 1, -1, -1), c.darkShadow, c.face);
    } else {
        bevel(p, r, c.face, c.darkShadow);
        bevel(p, r.adjusted(1, 1, -1, -1), c.light, c.shadow);
    }
}

bool hotOrPressed(const Face& f) {
    return f.state == VisualState::Hot || f.state == VisualState::Pressed;
}

// Styles 1 and 2.
QColor edgedFill(const Face& f) {
    const FaceColors& c = f.colors;
    if (!c.custom)
        return c.face;
    return hotOrPressed(f) ? c.hilite : c.back;
}

// The colour the shaded styles (4, 5, 7 to 10) start from.
QColor tone(const Face& f) {
    const FaceColors& c = f.colors;
    switch (f.state) {
    case VisualState::Hot:
        return c.custom ? c.hilite : mix(c.face, c.highlight, 25);
    case VisualState::Pressed:
        return c.custom ? c.hilite.darker(115) : c.face.darker(112);
    default:
        return c.custom ? c.back : c.face;
    }
}

void paintStyle0(QPainter& p, const Face& f) {
    const FaceColors& c = f.colors;
    if (!c.custom)
        p.fillRect(f.rect, c.face);
    else
        p.fillRect(f.rect, f.state == VisualState::Normal ? c.back : c.hilite);
}

void paintEdged(QPainter& p, const Face& f, bool plainWhenNormal) {
    p.fillRect(f.rect, edgedFill(f));
    if (plainWhenNormal && f.state == VisualState::Normal)
        frame(p, f.rect, f.colors.shadow);
    else
        edge3D(p, f.rect, f.colors, f.state == VisualState::Pressed);
}

void paintStyle3(QPainter& p, const Face& f) {
    const FaceColors& c = f.colors;
    QColor fill;
    switch (f.state) {
    case VisualState::Hot:
        fill = c.custom ? averageColor(c.hilite, c.back) : averageColor(c.shadow, c.face);
        break;
    case VisualState::Pressed:
        fill = c.custom ? c.hilite : c.shadow;
        break;
    default:
        fill = c.custom ? c.back : c.face;
        break;
    }
    const QRect& r = f.rect;
    p.fillRect(r, fill);
    frame(p, r, c.shadow);
    // The window-coloured frame sits one pixel right and down, so only its top and left
    // sides fall inside the control.
    hLine(p, r.left() + 1, r.right(), r.top() + 1, c.window);
    vLine(p, r.left() + 1, r.top() + 1, r.bottom(), c.window);
    const QColor between = averageColor(c.shadow, c.window);
    pixel(p, r.left(), r.bottom(), fill);
    pixel(p, r.left() + 1, r.bottom() - 1, between);
    pixel(p, r.right(), r.top(), fill);
    pixel(p, r.right() - 1, r.top() + 1, between);
}

void paintStyle4(QPainter& p, const Face& f) {
    const QColor base = tone(f);
    const bool pressed = f.state == VisualState::Pressed;
    QLinearGradient shade(f.rect.topLeft(), f.rect.bottomLeft());
    shade.setColorAt(0, pressed ? base.darker(110) : base.lighter(115));
    shade.setColorAt(1, pressed ? base.lighter(105) : base.darker(110));
    p.fillRect(f.rect, shade);
    frame(p, f.rect, f.colors.shadow);
    if (!pressed) {
        const QRect inner = f.rect.adjusted(1, 1, -1, -1);
        hLine(p, inner.left(), inner.right(), inner.top(), base.lighter(130));
        vLine(p, inner.left(), inner.top(), inner.bottom(), base.lighter(130));
    }
}

// The outline of the shaped styles, on pixel centres so one-pixel lines stay sharp.
QPainterPath outline(int style, const QRectF& r) {
    QPainterPath path;
    const auto corners = [&](qreal topCut, qreal bottomCut) {
        path.addPolygon(QPolygonF({{r.left(), r.top() + topCut},
                                   {r.left() + topCut, r.top()},
                                   {r.right() - topCut, r.top()},
                                   {r.right(), r.top() + topCut},
                                   {r.right(), r.bottom() - bottomCut},
                                   {r.right() - bottomCut, r.bottom()},
                                   {r.left() + bottomCut, r.bottom()},
                                   {r.left(), r.bottom() - bottomCut}}));
        path.closeSubpath();
    };
    if (style == 10)
        path.addRoundedRect(r, 8.5, 8.5);
    else if (style == 8 || style == 9)
        corners(2.5, 3.5);
    else
        corners(1, 2);
    return path;
}

struct Shade {
    QColor top;
    QColor bottom;
    QColor border;
    QColor innerLine; // invalid for none
    bool glass = false;
};

void paintShaded(QPainter& p, int style, const Face& f, const Shade& s) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(f.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath path = outline(style, r);
    QLinearGradient shade(r.topLeft(), r.bottomLeft());
    shade.setColorAt(0, s.top);
    if (s.glass) {
        shade.setColorAt(0.49, s.top.darker(108));
        shade.setColorAt(0.5, s.bottom.darker(104));
    }
    shade.setColorAt(1, s.bottom);
    p.fillPath(path, shade);
    if (s.innerLine.isValid()) {
        p.setPen(QPen(s.innerLine, 2));
        p.drawPath(outline(style, r.adjusted(1.5, 1.5, -1.5, -1.5)));
    }
    p.setPen(QPen(s.border, 1));
    p.drawPath(path);
    p.restore();
}

void paintStyle5(QPainter& p, const Face& f) {
    const FaceColors& c = f.colors;
    const bool pressed = f.state == VisualState::Pressed;
    const bool disabled = f.state == VisualState::Disabled;
    Shade s;
    if (c.custom) {
        const QColor base = tone(f);
        s.top = pressed ? base.darker(110) : base.lighter(125);
        s.bottom = pressed ? base.lighter(105) : base;
        s.border = disabled ? c.shadow : c.hilite.darker(150);
    } else {
        s.top = pressed ? c.face.darker(115) : c.light;
        s.bottom = c.face;
        s.border = disabled ? c.shadow : c.darkShadow;
        if (f.state == VisualState::Hot)
            s.innerLine = c.highlight;
    }
    paintShaded(p, 5, f, s);
}

void paintStyle7(QPainter& p, const Face& f) {
    const QColor base = tone(f);
    const bool lit = hotOrPressed(f);
    paintShaded(p, 7, f, {base, base, lit ? f.colors.highlight : f.colors.shadow, {}});
}

void paintStyle8(QPainter& p, const Face& f) {
    const QColor base = tone(f);
    const bool pressed = f.state == VisualState::Pressed;
    const QColor hot = f.state == VisualState::Hot ? f.colors.highlight : QColor();
    paintShaded(p, 8, f,
                {pressed ? base.darker(105) : base.lighter(130),
                 pressed ? base.lighter(110) : base.darker(105), f.colors.darkShadow, hot});
}

void paintStyle9(QPainter& p, const Face& f) {
    const QColor base = tone(f);
    const bool pressed = f.state == VisualState::Pressed;
    Shade s{pressed ? base : base.lighter(140),
            pressed ? base.darker(105) : base,
            f.colors.shadow,
            {},
            true};
    paintShaded(p, 9, f, s);
}

void paintStyle10(QPainter& p, const Face& f) {
    const QColor base = tone(f);
    const bool pressed = f.state == VisualState::Pressed;
    const QColor hot = f.state == VisualState::Hot ? f.colors.highlight : QColor();
    paintShaded(p, 10, f,
                {pressed ? base.darker(108) : base.lighter(120),
                 pressed ? base.lighter(108) : base.darker(108), f.colors.darkShadow, hot});
}

void paintFocusMark(QPainter& p, const Face& f) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(f.markColor, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.rect.adjusted(3, 3, -4, -4));
    p.restore();
}

QStyleOptionButton bevelOption(const QWidget& button, VisualState state, bool focusMark,
                               bool hasFocus) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.state &= ~(QStyle::State_Enabled | QStyle::State_MouseOver | QStyle::State_HasFocus |
                      QStyle::State_Sunken | QStyle::State_On);
    switch (state) {
    case VisualState::Normal:
        option.state |= QStyle::State_Enabled | QStyle::State_Raised;
        break;
    case VisualState::Hot:
        option.state |= QStyle::State_Enabled | QStyle::State_Raised | QStyle::State_MouseOver;
        break;
    case VisualState::Pressed:
        option.state |= QStyle::State_Enabled | QStyle::State_Sunken;
        break;
    case VisualState::Disabled:
        option.state |= QStyle::State_Raised;
        break;
    }
    if (focusMark)
        option.state |= QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange;
    // The theme's "defaulted" look belongs to a focused button at rest.
    if (hasFocus && state == VisualState::Normal)
        option.features |= QStyleOptionButton::DefaultButton;
    return option;
}

} // namespace

QColor averageColor(const QColor& a, const QColor& b) {
    return QColor(halfSum(a.red(), b.red()), halfSum(a.green(), b.green()),
                  halfSum(a.blue(), b.blue()));
}

void paintFace(QPainter& painter, int style, const Face& face) {
    switch (style) {
    case 0:
        paintStyle0(painter, face);
        break;
    case 1:
        paintEdged(painter, face, false);
        break;
    case 2:
        paintEdged(painter, face, true);
        break;
    case 3:
        paintStyle3(painter, face);
        break;
    case 4:
        paintStyle4(painter, face);
        break;
    case 5:
        paintStyle5(painter, face);
        break;
    case 7:
        paintStyle7(painter, face);
        break;
    case 8:
        paintStyle8(painter, face);
        break;
    case 9:
        paintStyle9(painter, face);
        break;
    case 10:
        paintStyle10(painter, face);
        break;
    default:
        return; // no look of its own: the cleared control
    }
    if (face.focusMark || (style == 0 && face.dottedDefault))
        paintFocusMark(painter, face);
}

void paintThemedFace(QPainter& painter, const Face& face, const QWidget& button, bool hasFocus) {
    const QStyleOptionButton option = bevelOption(button, face.state, face.focusMark, hasFocus);
    button.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
}

QRegion windowShape(int style, QSize size) {
    const int w = size.width();
    const int h = size.height();
    switch (style) {
    case 5:
    case 7:
        return QRegion(QPolygon(
            {{0, 1}, {1, 0}, {w - 1, 0}, {w, 1}, {w, h - 2}, {w - 2, h}, {2, h}, {0, h - 2}}));
    case 8:
    case 9:
        return QRegion(QPolygon(
            {{0, 2}, {2, 0}, {w - 3, 0}, {w, 3}, {w, h - 3}, {w - 3, h}, {4, h}, {0, h - 4}}));
    case 10: {
        QPainterPath path;
        path.addRoundedRect(QRectF(0, 0, w + 1, h + 1), 9, 9);
        return QRegion(path.toFillPolygon().toPolygon());
    }
    default:
        return QRegion(0, 0, w, h);
    }
}

QRegion themedShape(const QWidget& button) {
    QImage image(button.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        const QStyleOptionButton option = bevelOption(button, VisualState::Normal, false, false);
        button.style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
    }
    const QRegion shape(QBitmap::fromImage(image.createAlphaMask()));
    // A style that draws no outline leaves the button whole.
    return shape.isEmpty() ? QRegion(button.rect()) : shape;
}

int iconMargin(int style) {
    switch (style) {
    case 7:
    case 8:
        return 4;
    case 9:
        return 6;
    case 10:
        return 7;
    default:
        return 3;
    }
}

} // namespace kalinda::faces
