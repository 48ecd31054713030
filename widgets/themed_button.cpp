#include "widgets/themed_button.h"

#include "widgets/button_faces.h"
#include "widgets/button_tooltip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
#include <optional>

namespace kalinda {

namespace {

constexpr int kMinimumPixels = 300 / kTwipsPerPixel;
// Room around the caption in the size hint.
constexpr int kHintMarginX = 12;
constexpr int kHintMarginY = 8;

template <typename T>
bool assign(T& member, const T& value) {
    if (member == value)
        return false;
    member = value;
    return true;
}

// The form designer's pointer numbers; 0 and the custom pointer (99) leave the default.
std::optional<Qt::CursorShape> cursorShape(int pointer) {
    switch (pointer) {
    case 1:
    case 4:
        return Qt::ArrowCursor;
    case 2:
        return Qt::CrossCursor;
    case 3:
        return Qt::IBeamCursor;
    case 5:
    case 15:
        return Qt::SizeAllCursor;
    case 6:
        return Qt::SizeBDiagCursor;
    case 7:
        return Qt::SizeVerCursor;
    case 8:
        return Qt::SizeFDiagCursor;
    case 9:
        return Qt::SizeHorCursor;
    case 10:
        return Qt::UpArrowCursor;
    case 11:
        return Qt::WaitCursor;
    case 12:
        return Qt::ForbiddenCursor;
    case 13:
        return Qt::BusyCursor;
    case 14:
        return Qt::WhatsThisCursor;
    default:
        return std::nullopt;
    }
}

} // namespace

ThemedButton::ThemedButton(const QString& name, QWidget* parent)
    : QAbstractButton(parent) {
    setObjectName(name);
    setText(name);
    setMinimumSize(kMinimumPixels, kMinimumPixels);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setIconSize(QSize(16, 16));
    QFont design = font();
    design.setFamilies({QStringLiteral("Verdana")});
    design.setStyleHint(QFont::SansSerif);
    setFont(design);
    applyShape();
}

ThemedButton::~ThemedButton() = default;

void ThemedButton::changed(const char* property) {
    emit propertyChanged(QString::fromLatin1(property));
}

void ThemedButton::setButtonStyle(int style) {
    if (assign(m_style, style)) {
        applyShape();
        update();
        changed("Style");
    }
}

void ThemedButton::setCaption(const QString& caption) {
    if (caption == text())
        return;
    setText(caption);
    update();
    changed("Caption");
}

void ThemedButton::setIconAlign(int align) {
    if (assign(m_iconAlign, align)) {
        update();
        changed("IconAlign");
    }
}

void ThemedButton::setIconPixels(int pixels) {
    if (pixels == iconPixels())
        return;
    setIconSize(QSize(pixels, pixels));
    update();
    changed("IconSize");
}

void ThemedButton::setCaptionAlign(int align) {
    if (assign(m_captionAlign, align)) {
        update();
        changed("CaptionAlign");
    }
}

void ThemedButton::setNonThemeStyle(int style) {
    if (assign(m_nonThemeStyle, style)) {
        applyShape();
        update();
        changed("NonThemeStyle");
    }
}

void ThemedButton::setShowFocus(bool show) {
    if (assign(m_showFocus, show)) {
        update();
        changed("ShowFocus");
    }
}

void ThemedButton::setUseCustomColors(bool use) {
    if (assign(m_useCustomColors, use)) {
        update();
        changed("UseCustomColors");
    }
}

void ThemedButton::setBackColor(OleColor color) {
    if (assign(m_backColor, color)) {
        update();
        changed("BackColor");
    }
}

void ThemedButton::setHighlightColor(OleColor color) {
    if (assign(m_highlightColor, color)) {
        update();
        changed("HighlightColor");
    }
}

void ThemedButton::setFontColor(OleColor color) {
    if (assign(m_fontColor, color)) {
        update();
        changed("FontColor");
    }
}

void ThemedButton::setFontHighlightColor(OleColor color) {
    if (assign(m_fontHighlightColor, color)) {
        update();
        changed("FontHighlightColor");
    }
}

QString ThemedButton::toolTipText() const {
    return m_pointerInside ? m_heldToolTip : toolTip();
}

void ThemedButton::setToolTipText(const QString& text) {
    if (text == toolTipText())
        return;
    if (m_pointerInside)
        m_heldToolTip = text;
    else
        setToolTip(text);
    changed("ToolTipText");
}

void ThemedButton::setToolTipTitle(const QString& title) {
    if (assign(m_toolTipTitle, title))
        changed("ToolTipTitle");
}

void ThemedButton::setToolTipIcon(int icon) {
    if (assign(m_toolTipIcon, icon))
        changed("ToolTipIcon");
}

void ThemedButton::setToolTipType(int type) {
    if (assign(m_toolTipType, type))
        changed("ToolTipType");
}

void ThemedButton::setToolTipBackColor(OleColor color) {
    if (assign(m_toolTipBackColor, color))
        changed("ToolTipBackColor");
}

void ThemedButton::setToolTipForeColor(OleColor color) {
    if (assign(m_toolTipForeColor, color))
        changed("ToolTipForeColor");
}

void ThemedButton::setButtonType(int type) {
    if (assign(m_buttonType, type)) {
        update();
        changed("ButtonType");
    }
}

void ThemedButton::setMousePointer(int pointer) {
    if (!assign(m_mousePointer, pointer))
        return;
    if (const auto shape = cursorShape(pointer))
        setCursor(*shape);
    else
        unsetCursor();
    changed("MousePointer");
}

void ThemedButton::setValue(bool value) {
    if (assign(m_value, value)) {
        update();
        changed("Value");
    }
}

void ThemedButton::setMaskColor(OleColor color) {
    if (assign(m_maskColor, color)) {
        update();
        changed("MaskColor");
    }
}

void ThemedButton::setUseMaskColor(bool use) {
    if (assign(m_useMaskColor, use)) {
        update();
        changed("UseMaskColor");
    }
}

void ThemedButton::setRoundedBordersByTheme(bool rounded) {
    if (assign(m_roundedBordersByTheme, rounded)) {
        applyShape();
        update();
        changed("RoundedBordersByTheme");
    }
}

void ThemedButton::setRightToLeft(bool rightToLeft) {
    if (assign(m_rightToLeft, rightToLeft)) {
        update();
        changed("RightToLeft");
    }
}

void ThemedButton::setDisplayAsDefault(bool isDefault) {
    if (assign(m_displayAsDefault, isDefault))
        update();
}

void ThemedButton::setThemeCheck(std::function<bool(const QStyle&)> check) {
    m_themeCheck = std::move(check);
    applyShape();
    update();
}

bool ThemedButton::enabledFlag() const {
    return !testAttribute(Qt::WA_ForceDisabled);
}

bool ThemedButton::themeAvailable() const {
    if (m_themeCheck)
        return m_themeCheck(*style());
    // The classic style is what a machine with themes switched off looks like.
    return style()->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

VisualState ThemedButton::visualState() const {
    if (!isEnabled())
        return VisualState::Disabled;
    if (m_buttonType == 1 && m_value)
        return VisualState::Pressed;
    return m_state;
}

void ThemedButton::Refresh() {
    repaint();
}

QString ThemedButton::Version() const {
    return QStringLiteral("3.7.2");
}

QSize ThemedButton::sizeHint() const {
    const QSize caption = fontMetrics().size(Qt::TextShowMnemonic, text());
    const int iconExtent = icon().isNull() ? 0 : iconPixels();
    const int width = caption.width() + (iconExtent ? iconExtent + 4 : 0) + 2 * kHintMarginX;
    const int height = std::max(caption.height(), iconExtent) + 2 * kHintMarginY;
    return QSize(width, height).expandedTo(minimumSizeHint());
}

QSize ThemedButton::minimumSizeHint() const {
    return {kMinimumPixels, kMinimumPixels};
}

void ThemedButton::applyShape() {
    const QRegion shape = m_style == kThemeStyle && m_roundedBordersByTheme && themeAvailable()
                              ? faces::themedShape(*this)
                              : faces::windowShape(m_style, size());
    if (shape == QRegion(rect()))
        clearMask();
    else
        setMask(shape);
}

void ThemedButton::setState(VisualState state) {
    m_state = state;
    update();
}

bool ThemedButton::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab)
            emit MouseLeave();
        break;
    }
    case QEvent::FocusOut:
        m_spaceDown = false;
        break;
    case QEvent::Shortcut:
        // The access key of the caption; an ambiguous one only moves the focus (base class).
        if (!static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
            if (isEnabled()) {
                clickNotice();
                setState(VisualState::Normal);
                emit Click();
            }
            return true;
        }
        break;
    default:
        break;
    }
    return QAbstractButton::event(event);
}

void ThemedButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    applyShape();
}

void ThemedButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        // A disabled button tracks nothing: close the tooltip and hand its text back.
        if (!isEnabled())
            pointerLeft();
        m_leftDown = false;
        m_spaceDown = false;
        setState(VisualState::Normal);
        changed("Enabled");
        break;
    case QEvent::FontChange:
        update();
        changed("Font");
        break;
    case QEvent::StyleChange:
        applyShape();
        update();
        break;
    case QEvent::PaletteChange:
        update();
        break;
    default:
        break;
    }
}

void ThemedButton::enterEvent(QEnterEvent* event) {
    pointerEntered(event->globalPosition().toPoint());
}

void ThemedButton::leaveEvent(QEvent*) {
    pointerLeft();
}

void ThemedButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_pointerInside && rect().contains(event->position().toPoint()))
        pointerEntered(event->globalPosition().toPoint());
}

void ThemedButton::pointerEntered(QPoint globalPos) {
    if (m_pointerInside || !isEnabled())
        return;
    m_pointerInside = true;
    setState(VisualState::Hot);
    emit MouseEnter();
    openToolTip(globalPos);
}

void ThemedButton::pointerLeft() {
    if (!m_pointerInside)
        return;
    m_pointerInside = false;
    closeToolTip();
    setState(VisualState::Normal);
    emit MouseLeave();
}

void ThemedButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    leftButtonDown();
}

void ThemedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void ThemedButton::leftButtonDown() {
    m_leftDown = true;
    setState(VisualState::Pressed);
}

void ThemedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_leftDown) {
        event->ignore();
        return;
    }
    m_leftDown = false;
    const bool over = rect().contains(event->position().toPoint());
    if (m_buttonType == 1 && !m_value) {
        // The first half of a toggle: it stays down and says nothing yet.
        setState(VisualState::Pressed);
    } else {
        setState(VisualState::Hot);
        if (over)
            emit Click();
    }
    if (over)
        clickNotice();
}

void ThemedButton::clickNotice() {
    if (m_buttonType == 1)
        setValue(!m_value);
    setState(VisualState::Hot);
}

void ThemedButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
        m_spaceDown = true;
        setState(VisualState::Pressed);
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        focusNextPrevChild(true);
        break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        focusNextPrevChild(false);
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void ThemedButton::keyReleaseEvent(QKeyEvent* event) {
    // Only the release of a space pressed here clicks, and only once however long it was held.
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_spaceDown) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_spaceDown = false;
    clickNotice();
    emit Click();
    setState(VisualState::Normal);
}

void ThemedButton::openToolTip(QPoint globalPos) {
    m_heldToolTip = toolTip();
    setToolTip(QString());
    if (!isEnabled() || !isVisible() || m_heldToolTip.isEmpty())
        return;
    const auto colour = [&](OleColor c) { return c ? resolveColor(c, palette()) : QColor(); };
    ToolTipContent content{m_heldToolTip,
                           m_toolTipTitle,
                           m_toolTipIcon,
                           m_toolTipType == 1,
                           colour(m_toolTipForeColor),
                           colour(m_toolTipBackColor)};
    m_toolTip = std::make_unique<ButtonToolTip>(std::move(content), globalPos, this);
}

void ThemedButton::closeToolTip() {
    m_toolTip.reset();
    setToolTip(m_heldToolTip);
    m_heldToolTip.clear();
}

} // namespace kalinda
