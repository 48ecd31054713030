#include "widgets/info_ok_button.h"

#include "widgets/themed_button.h"

#include <QFont>
#include <QIcon>

namespace kalinda {

PropertyBag infoOkButtonProperties() {
    QFont font(QStringLiteral("Verdana"), 8);
    font.setStyleHint(QFont::SansSerif);
    PropertyBag bag;
    bag.write(QStringLiteral("Caption"), QStringLiteral("OK"));
    bag.write(QStringLiteral("Icon"), QVariant::fromValue(QIcon()));
    bag.write(QStringLiteral("Font"), QVariant::fromValue(font));
    bag.write(QStringLiteral("ToolTipText"), QString());
    bag.write(QStringLiteral("ToolTipTitle"), QString());
    bag.write(QStringLiteral("ToolTipIcon"), 0);
    bag.write(QStringLiteral("ToolTipType"), 1);
    return bag;
}

ThemedButton* makeInfoOkButton(QWidget& parent) {
    auto* button = new ThemedButton(QStringLiteral("cmdOK"), &parent);
    button->loadProperties(infoOkButtonProperties());
    return button;
}

} // namespace kalinda
