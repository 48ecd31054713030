#include "widgets/info_ok_button.h"
#include "widgets/property_bag.h"
#include "widgets/themed_button.h"

#include <QSignalSpy>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kalinda;

namespace {

QStringList sortedKeys(const PropertyBag& bag) {
    QStringList keys = bag.values().keys();
    keys.sort();
    return keys;
}

TEST(PropertyBagTest, KeysAreFoundInAnyCase) {
    PropertyBag bag;
    bag.write(QStringLiteral("ToolTipTitle"), QStringLiteral("Saldo"));
    EXPECT_EQ(bag.read(QStringLiteral("Tooltiptitle")).toString(), QStringLiteral("Saldo"));
    EXPECT_EQ(bag.read(QStringLiteral("missing"), 7).toInt(), 7);

    bag.write(QStringLiteral("TOOLTIPTITLE"), QStringLiteral("Info"));
    EXPECT_EQ(bag.values().size(), 1);
    bag.write(QStringLiteral("tooltiptitle"), QString(), QString());
    EXPECT_FALSE(bag.contains(QStringLiteral("ToolTipTitle")));
}

TEST(SavedButtonTest, NewButtonStartsFromTheNewValues) {
    ThemedButton button(QStringLiteral("cmdSimpan"));
    EXPECT_EQ(button.buttonStyle(), 0);
    EXPECT_EQ(button.caption(), QStringLiteral("cmdSimpan"));
    EXPECT_EQ(button.nonThemeStyle(), 0);
    EXPECT_EQ(button.toolTipBackColor(), 0u);
    EXPECT_EQ(button.toolTipForeColor(), 0u);
    EXPECT_EQ(button.maskColor(), 0u);
    EXPECT_FALSE(button.roundedBordersByTheme());
    EXPECT_EQ(button.font().family(), QStringLiteral("Verdana"));
}

TEST(SavedButtonTest, MissingKeysGiveTheAbsentValues) {
    ThemedButton button(QStringLiteral("cmdSimpan"));
    button.loadProperties(PropertyBag());
    EXPECT_EQ(button.buttonStyle(), 3);
    EXPECT_EQ(button.caption(), QString());
    EXPECT_EQ(button.nonThemeStyle(), 5);
    EXPECT_EQ(button.toolTipBackColor(), SysColor::InfoText);
    EXPECT_EQ(button.toolTipForeColor(), SysColor::InfoBackground);
    EXPECT_EQ(button.maskColor(), 12632256u);
    EXPECT_TRUE(button.roundedBordersByTheme());
    EXPECT_EQ(button.backColor(), SysColor::ButtonFace);
    EXPECT_EQ(button.toolTipType(), 1);
    EXPECT_EQ(button.iconPixels(), 16);
}

TEST(SavedButtonTest, OnlyTheSixAlwaysSavedKeysAreWrittenForAbsentValues) {
    ThemedButton button(QStringLiteral("cmdSimpan"));
    button.loadProperties(PropertyBag());
    PropertyBag bag;
    button.saveProperties(bag);
    EXPECT_EQ(sortedKeys(bag), QStringList({"Font", "Icon", "ToolTipIcon", "ToolTipText",
                                            "ToolTipTitle", "ToolTipType"}));
}

TEST(SavedButtonTest, NewButtonSavesWhereItDiffersFromAbsent) {
    const ThemedButton button(QStringLiteral("cmdSimpan"));
    PropertyBag bag;
    button.saveProperties(bag);
    EXPECT_EQ(bag.read(QStringLiteral("Style")).toInt(), 0);
    EXPECT_EQ(bag.read(QStringLiteral("Caption")).toString(), QStringLiteral("cmdSimpan"));
    EXPECT_EQ(bag.read(QStringLiteral("iNonThemeStyle")).toInt(), 0);
    EXPECT_EQ(bag.read(QStringLiteral("MaskColor")).toUInt(), 0u);
    EXPECT_FALSE(bag.contains(QStringLiteral("IconAlign")));
}

TEST(SavedButtonTest, SavedValuesComeBackUnderTheirOwnKeys) {
    ThemedButton original(QStringLiteral("cmdKirim"));
    original.setButtonStyle(9);
    original.setCaption(QStringLiteral("&Kirim"));
    original.setNonThemeStyle(7);
    original.setUseCustomColors(true);
    original.setBackColor(oleRgb(1, 2, 3));
    original.setToolTipText(QStringLiteral("Kirim pesanan"));
    original.setToolTipTitle(QStringLiteral("Kirna"));
    original.setToolTipBackColor(oleRgb(255, 255, 225));
    original.setRightToLeft(true);
    original.setButtonType(1);
    original.setValue(true);
    original.setEnabled(false);

    PropertyBag bag;
    original.saveProperties(bag);
    EXPECT_EQ(bag.read(QStringLiteral("USeCustomColors")).toBool(), true);
    EXPECT_EQ(bag.read(QStringLiteral("iNonThemeStyle")).toInt(), 7);
    EXPECT_EQ(bag.read(QStringLiteral("bRTLText")).toBool(), true);
    EXPECT_EQ(bag.read(QStringLiteral("ttBackColor")).toUInt(), oleRgb(255, 255, 225));
    EXPECT_TRUE(bag.values().contains(QStringLiteral("ToolTipTitle")));

    // A form that kept its keys in another case still loads them.
    QVariantMap recased;
    for (auto it = bag.values().cbegin(); it != bag.values().cend(); ++it)
        recased.insert(it.key().toLower(), it.value());
    ThemedButton loaded(QStringLiteral("cmdKirim"));
    loaded.loadProperties(PropertyBag(recased));
    EXPECT_EQ(loaded.buttonStyle(), 9);
    EXPECT_EQ(loaded.caption(), QStringLiteral("&Kirim"));
    EXPECT_EQ(loaded.nonThemeStyle(), 7);
    EXPECT_TRUE(loaded.useCustomColors());
    EXPECT_EQ(loaded.backColor(), oleRgb(1, 2, 3));
    EXPECT_EQ(loaded.toolTipText(), QStringLiteral("Kirim pesanan"));
    EXPECT_EQ(loaded.toolTip(), QStringLiteral("Kirim pesanan"));
    EXPECT_EQ(loaded.toolTipTitle(), QStringLiteral("Kirna"));
    EXPECT_EQ(loaded.toolTipBackColor(), oleRgb(255, 255, 225));
    EXPECT_TRUE(loaded.rightToLeft());
    EXPECT_TRUE(loaded.value());
    EXPECT_FALSE(loaded.isEnabled());
}

TEST(SavedButtonTest, SettersAnnounceThePropertyNameNotTheKey) {
    ThemedButton button(QStringLiteral("cmdSimpan"));
    QSignalSpy changes(&button, &ThemedButton::propertyChanged);
    button.setNonThemeStyle(4);
    button.setNonThemeStyle(4);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_EQ(changes.at(0).at(0).toString(), QStringLiteral("NonThemeStyle"));
}

TEST(InfoOkButtonTest, ComesUpEtchedWithItsSavedCaptionAndFont) {
    QWidget form;
    ThemedButton* ok = makeInfoOkButton(form);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->parent(), &form);
    EXPECT_EQ(ok->objectName(), QStringLiteral("cmdOK"));
    EXPECT_EQ(ok->caption(), QStringLiteral("OK"));
    EXPECT_EQ(ok->buttonStyle(), 3);
    EXPECT_EQ(ok->font().family(), QStringLiteral("Verdana"));
    EXPECT_EQ(ok->toolTipText(), QString());
    EXPECT_EQ(ok->toolTipIcon(), 0);
    EXPECT_EQ(ok->toolTipType(), 1);
    EXPECT_EQ(ok->Version(), QStringLiteral("3.7.2"));
}

} // namespace
