#include "widgets/property_bag.h"
#include "widgets/themed_button.h"

#include <QIcon>
#include <vector>

namespace kalinda {

namespace {

struct SavedProperty {
    const char* property; // the Qt property of ThemedButton
    const char* key;      // saved under this key
    QVariant absent;      // taken when the key is missing; invalid: the current value stays
    bool alwaysWritten = false;
    const char* readKey = nullptr; // when it is read under another spelling
};

QVariant colour(OleColor color) {
    return QVariant::fromValue<uint>(color);
}

const std::vector<SavedProperty>& savedProperties() {
    static const std::vector<SavedProperty> table = {
        {"Style", "Style", 3},
        {"Caption", "Caption", QString()},
        {"Icon", "Icon", QVariant::fromValue(QIcon()), true},
        {"IconAlign", "IconAlign", 1},
        {"IconSize", "IconSize", 16},
        {"CaptionAlign", "CaptionAlign", 0},
        {"NonThemeStyle", "iNonThemeStyle", 5},
        {"Enabled", "Enabled", true},
        {"ShowFocus", "ShowFocus", false},
        {"UseCustomColors", "USeCustomColors", false},
        {"BackColor", "BackColor", colour(SysColor::ButtonFace)},
        {"HighlightColor", "HighlightColor", colour(SysColor::Highlight)},
        {"FontColor", "FontColor", colour(SysColor::ButtonText)},
        {"FontHighlightColor", "FontHighlightColor", colour(SysColor::ButtonText)},
        {"ToolTipText", "ToolTipText", QString(), true},
        {"ToolTipTitle", "ToolTipTitle", QString(), true, "Tooltiptitle"},
        {"ToolTipIcon", "ToolTipIcon", 0, true},
        {"ToolTipType", "ToolTipType", 1, true},
        // Saved colours of the opposite role, as forms have always had them.
        {"ToolTipBackColor", "ttBackColor", colour(SysColor::InfoText)},
        {"ToolTipForeColor", "ttForeColor", colour(SysColor::InfoBackground)},
        {"Font", "Font", QVariant(), true},
        {"ButtonType", "ButtonType", 0},
        {"MousePointer", "MousePointer", 0},
        {"Value", "Value", false},
        {"MaskColor", "MaskColor", colour(oleRgb(0xC0, 0xC0, 0xC0))},
        {"UseMaskColor", "UseMaskColor", false},
        {"RoundedBordersByTheme", "RoundedBordersByTheme", true},
        {"RightToLeft", "bRTLText", false},
    };
    return table;
}

} // namespace

void ThemedButton::loadProperties(const PropertyBag& saved) {
    for (const SavedProperty& p : savedProperties()) {
        const QString key = QString::fromLatin1(p.readKey ? p.readKey : p.key);
        const QVariant value = saved.read(key, p.absent);
        if (value.isValid())
            setProperty(p.property, value);
    }
    applyShape();
    update();
}

void ThemedButton::saveProperties(PropertyBag& bag) const {
    for (const SavedProperty& p : savedProperties()) {
        const QString key = QString::fromLatin1(p.key);
        const QVariant value = property(p.property);
        if (p.alwaysWritten)
            bag.write(key, value);
        else
            bag.write(key, value, p.absent);
    }
}

} // namespace kalinda
