#pragma once

#include "widgets/ole_color.h"

#include <QAbstractButton>
#include <functional>
#include <memory>

class QStyle;

namespace kalinda {

class ButtonToolTip;
class PropertyBag;

// Screen units of the forms: 15 twips to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

// The state the button is drawn in.
enum class VisualState { Normal = 1, Hot = 2, Pressed = 3, Disabled = 4 };

// An owner-drawn push or toggle button with eleven looks (0..10; 6 is the platform's own
// push button), hot tracking, an icon, a word-wrapped caption and a tooltip window of its own.
// Its properties are saved into and loaded from a PropertyBag with the form that holds it.
//
// Style 6 falls back to NonThemeStyle (Style is changed) when the theme cannot draw it; by
// default that is when the widget style is the classic "windows" one. Colours are OleColor
// values; ole_color.h tells which palette role each system colour is read from. A click is
// reported by Click only: QAbstractButton's own clicked(), pressed() and toggled() stay silent.
class ThemedButton final : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(int Style READ buttonStyle WRITE setButtonStyle)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(QIcon Icon READ icon WRITE setIcon)
    Q_PROPERTY(int IconAlign READ iconAlign WRITE setIconAlign)
    Q_PROPERTY(int IconSize READ iconPixels WRITE setIconPixels)
    Q_PROPERTY(int CaptionAlign READ captionAlign WRITE setCaptionAlign)
    Q_PROPERTY(int NonThemeStyle READ nonThemeStyle WRITE setNonThemeStyle)
    Q_PROPERTY(bool Enabled READ enabledFlag WRITE setEnabled)
    Q_PROPERTY(bool ShowFocus READ showFocus WRITE setShowFocus)
    Q_PROPERTY(bool UseCustomColors READ useCustomColors WRITE setUseCustomColors)
    Q_PROPERTY(uint BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(uint HighlightColor READ highlightColor WRITE setHighlightColor)
    Q_PROPERTY(uint FontColor READ fontColor WRITE setFontColor)
    Q_PROPERTY(uint FontHighlightColor READ fontHighlightColor WRITE setFontHighlightColor)
    Q_PROPERTY(QString ToolTipText READ toolTipText WRITE setToolTipText)
    Q_PROPERTY(QString ToolTipTitle READ toolTipTitle WRITE setToolTipTitle)
    Q_PROPERTY(int ToolTipIcon READ toolTipIcon WRITE setToolTipIcon)
    Q_PROPERTY(int ToolTipType READ toolTipType WRITE setToolTipType)
    Q_PROPERTY(uint ToolTipBackColor READ toolTipBackColor WRITE setToolTipBackColor)
    Q_PROPERTY(uint ToolTipForeColor READ toolTipForeColor WRITE setToolTipForeColor)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(int ButtonType READ buttonType WRITE setButtonType)
    Q_PROPERTY(int MousePointer READ mousePointer WRITE setMousePointer)
    Q_PROPERTY(bool Value READ value WRITE setValue)
    Q_PROPERTY(uint MaskColor READ maskColor WRITE setMaskColor)
    Q_PROPERTY(bool UseMaskColor READ useMaskColor WRITE setUseMaskColor)
    Q_PROPERTY(bool RoundedBordersByTheme READ roundedBordersByTheme WRITE setRoundedBordersByTheme)
    Q_PROPERTY(bool RightToLeft READ rightToLeft WRITE setRightToLeft)

public:
    // A freshly placed button: the new-control values, captioned with its own name.
    explicit ThemedButton(const QString& name = {}, QWidget* parent = nullptr);
    ~ThemedButton() override;

    // Takes every property from saved values; a missing key gives the property's absent value.
    void loadProperties(const PropertyBag& saved);
    // Saves every property; values equal to their absent value are left out, except the icon,
    // font and the four tooltip properties, which are always saved.
    void saveProperties(PropertyBag& bag) const;

    int buttonStyle() const { return m_style; }
    void setButtonStyle(int style);
    QString caption() const { return text(); }
    void setCaption(const QString& caption);
    int iconAlign() const { return m_iconAlign; }
    void setIconAlign(int align);
    int iconPixels() const { return iconSize().width(); }
    void setIconPixels(int pixels);
    int captionAlign() const { return m_captionAlign; }
    void setCaptionAlign(int align);
    int nonThemeStyle() const { return m_nonThemeStyle; }
    void setNonThemeStyle(int style);
    bool showFocus() const { return m_showFocus; }
    void setShowFocus(bool show);
    bool useCustomColors() const { return m_useCustomColors; }
    void setUseCustomColors(bool use);
    OleColor backColor() const { return m_backColor; }
    void setBackColor(OleColor color);
    OleColor highlightColor() const { return m_highlightColor; }
    void setHighlightColor(OleColor color);
    OleColor fontColor() const { return m_fontColor; }
    void setFontColor(OleColor color);
    OleColor fontHighlightColor() const { return m_fontHighlightColor; }
    void setFontHighlightColor(OleColor color);
    // Kept in QWidget::toolTip() while the pointer is outside the button.
    QString toolTipText() const;
    void setToolTipText(const QString& text);
    QString toolTipTitle() const { return m_toolTipTitle; }
    void setToolTipTitle(const QString& title);
    // 0 none, 1 information, 2 warning, 3 error.
    int toolTipIcon() const { return m_toolTipIcon; }
    void setToolTipIcon(int icon);
    // 1 balloon, anything else a plain rectangle.
    int toolTipType() const { return m_toolTipType; }
    void setToolTipType(int type);
    // 0 leaves the tooltip's own colour.
    OleColor toolTipBackColor() const { return m_toolTipBackColor; }
    void setToolTipBackColor(OleColor color);
    OleColor toolTipForeColor() const { return m_toolTipForeColor; }
    void setToolTipForeColor(OleColor color);
    // 0 push button, 1 toggle button.
    int buttonType() const { return m_buttonType; }
    void setButtonType(int type);
    // The form designer's pointer numbers (0 default, 1 arrow, 11 hourglass, ...).
    int mousePointer() const { return m_mousePointer; }
    void setMousePointer(int pointer);
    bool value() const { return m_value; }
    void setValue(bool value);
    OleColor maskColor() const { return m_maskColor; }
    void setMaskColor(OleColor color);
    bool useMaskColor() const { return m_useMaskColor; }
    void setUseMaskColor(bool use);
    bool roundedBordersByTheme() const { return m_roundedBordersByTheme; }
    void setRoundedBordersByTheme(bool rounded);
    bool rightToLeft() const { return m_rightToLeft; }
    void setRightToLeft(bool rightToLeft);

    // Set by the form while it shows this button as its default one.
    bool displayAsDefault() const { return m_displayAsDefault; }
    void setDisplayAsDefault(bool isDefault);

    // Replaces the check whether the platform theme can draw style 6; empty restores it.
    void setThemeCheck(std::function<bool(const QStyle&)> check);

    VisualState visualState() const;
    // The tooltip window while it is open, else nullptr.
    const ButtonToolTip* toolTipWindow() const { return m_toolTip.get(); }

    void Refresh();
    QString Version() const;
    // Draws the icon in grey at (x, y) in the given size; false when there is nothing to draw
    // with or nothing to draw.
    static bool PaintIconGrayscale(QPainter* painter, const QIcon& icon, int x, int y, int height,
                                   int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void Click();
    void MouseEnter();
    void MouseLeave();
    // The property's name, as in "NonThemeStyle", whenever a setter changes it.
    void propertyChanged(const QString& name);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    static constexpr int kThemeStyle = 6; // the platform's own push button
    static constexpr int kLastStyle = 10;

    bool enabledFlag() const;
    bool themeAvailable() const;
    void applyShape();
    void changed(const char* property);
    void setState(VisualState state);
    void pointerEntered(QPoint globalPos);
    void pointerLeft();
    void leftButtonDown();
    void clickNotice();
    void openToolTip(QPoint globalPos);
    void closeToolTip();
    QColor captionColor(VisualState state) const;
    void paintIcon(QPainter& painter, VisualState state) const;
    void paintCaption(QPainter& painter, VisualState state) const;

    int m_style = 0;
    int m_iconAlign = 1;
    int m_captionAlign = 0;
    int m_nonThemeStyle = 0;
    bool m_showFocus = false;
    bool m_useCustomColors = false;
    OleColor m_backColor = SysColor::ButtonFace;
    OleColor m_highlightColor = SysColor::Highlight;
    OleColor m_fontColor = SysColor::ButtonText;
    OleColor m_fontHighlightColor = SysColor::ButtonText;
    QString m_toolTipTitle;
    int m_toolTipIcon = 0;
    int m_toolTipType = 1;
    OleColor m_toolTipBackColor = 0;
    OleColor m_toolTipForeColor = 0;
    int m_buttonType = 0;
    int m_mousePointer = 0;
    bool m_value = false;
    OleColor m_maskColor = 0;
    bool m_useMaskColor = false;
    bool m_roundedBordersByTheme = false;
    bool m_rightToLeft = false;
    bool m_displayAsDefault = false;

    VisualState m_state = VisualState::Normal;
    bool m_pointerInside = false;
    bool m_leftDown = false;
    bool m_spaceDown = false;
    // The tooltip text taken out of QWidget::toolTip() while the pointer is inside.
    QString m_heldToolTip;
    std::unique_ptr<ButtonToolTip> m_toolTip;
    std::function<bool(const QStyle&)> m_themeCheck;
};

} // namespace kalinda
