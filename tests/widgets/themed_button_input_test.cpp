#include "button_host.h"
#include "widgets/button_tooltip.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

class ButtonInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        left = &host.add(QRect(10, 10, 80, 30));
        button = &host.add(QRect(100, 10, 80, 30));
        right = &host.add(QRect(190, 10, 80, 30));
        ASSERT_TRUE(host.show());
    }

    void pointAtButton() {
        ButtonHost::pointTo(*button, centre);
        ASSERT_TRUE(eventually([&] { return button->visualState() == VisualState::Hot; }));
    }

    void click() {
        QTest::mousePress(button, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
    }

    const QPoint centre{40, 15};
    ButtonHost host;
    ThemedButton* left = nullptr;
    ThemedButton* button = nullptr;
    ThemedButton* right = nullptr;
};

TEST_F(ButtonInputTest, PointerEnteringAndLeavingMakesItHotAndNormal) {
    QSignalSpy entered(button, &ThemedButton::MouseEnter);
    QSignalSpy leaves(button, &ThemedButton::MouseLeave);
    pointAtButton();
    EXPECT_EQ(entered.count(), 1);
    host.pointAway();
    ASSERT_TRUE(eventually([&] { return button->visualState() == VisualState::Normal; }));
    EXPECT_EQ(leaves.count(), 1);
}

TEST_F(ButtonInputTest, PushButtonClicksOnReleaseOverIt) {
    QSignalSpy clicks(button, &ThemedButton::Click);
    pointAtButton();
    QTest::mousePress(button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(button->visualState(), VisualState::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->visualState(), VisualState::Hot);

    QTest::mousePress(button, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-20, 15));
    EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ButtonInputTest, ToggleClicksOnlyOnTheSecondClick) {
    button->setButtonType(1);
    QSignalSpy clicks(button, &ThemedButton::Click);
    pointAtButton();

    click();
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_TRUE(button->value());
    EXPECT_EQ(button->visualState(), VisualState::Pressed);
    EXPECT_EQ(pixelAt(*button, 40, 15), kShadow);

    click();
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button->value());
    EXPECT_EQ(button->visualState(), VisualState::Hot);
}

TEST_F(ButtonInputTest, DoubleClickCountsAsSecondPress) {
    button->setButtonType(1);
    QSignalSpy clicks(button, &ThemedButton::Click);
    pointAtButton();
    click();
    // The window system sends press, release, double click, release.
    QTest::mouseDClick(button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(button->visualState(), VisualState::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, centre);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_FALSE(button->value());
}

TEST_F(ButtonInputTest, SpaceClicksOnRelease) {
    QSignalSpy clicks(button, &ThemedButton::Click);
    button->setFocus();
    QTest::keyPress(button, Qt::Key_Space);
    EXPECT_EQ(button->visualState(), VisualState::Pressed);
    EXPECT_EQ(clicks.count(), 0);
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->visualState(), VisualState::Normal);
}

TEST_F(ButtonInputTest, ArrowsMoveTheFocusAndTabRaisesMouseLeave) {
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Down);
    EXPECT_EQ(host.window.focusWidget(), right);
    QTest::keyClick(right, Qt::Key_Left);
    EXPECT_EQ(host.window.focusWidget(), button);
    QTest::keyClick(button, Qt::Key_Up);
    EXPECT_EQ(host.window.focusWidget(), left);

    QSignalSpy leaves(left, &ThemedButton::MouseLeave);
    QTest::keyClick(left, Qt::Key_Tab);
    EXPECT_EQ(leaves.count(), 1);
    EXPECT_EQ(host.window.focusWidget(), button);
}

TEST_F(ButtonInputTest, AccessKeyClicks) {
    button->setCaption(QStringLiteral("&Simpan"));
    QSignalSpy clicks(button, &ThemedButton::Click);
    QTest::keyClick(&host.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(button->visualState(), VisualState::Normal);
}

TEST_F(ButtonInputTest, TooltipTakesTheTextWhileThePointerIsInside) {
    button->setToolTip(QStringLiteral("Simpan data"));
    pointAtButton();
    EXPECT_EQ(button->toolTip(), QString());
    EXPECT_EQ(button->toolTipText(), QStringLiteral("Simpan data"));
    const ButtonToolTip* tip = button->toolTipWindow();
    ASSERT_NE(tip, nullptr);
    ASSERT_TRUE(eventually([&] { return tip->isVisible(); }));
    EXPECT_EQ(tip->content().text, QStringLiteral("Simpan data"));
    EXPECT_TRUE(tip->isBalloon());

    host.pointAway();
    ASSERT_TRUE(eventually([&] { return button->visualState() == VisualState::Normal; }));
    EXPECT_EQ(button->toolTipWindow(), nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Simpan data"));
}

TEST_F(ButtonInputTest, TooltipTitleLineOnlyWithTitleOrIcon) {
    button->setToolTip(QStringLiteral("Saldo"));
    button->setToolTipType(0);
    pointAtButton();
    ASSERT_NE(button->toolTipWindow(), nullptr);
    EXPECT_FALSE(button->toolTipWindow()->hasTitleLine());
    EXPECT_FALSE(button->toolTipWindow()->isBalloon());
    const int plainHeight = button->toolTipWindow()->sizeHint().height();
    host.pointAway();
    ASSERT_TRUE(eventually([&] { return button->toolTipWindow() == nullptr; }));

    button->setToolTipIcon(2);
    pointAtButton();
    ASSERT_NE(button->toolTipWindow(), nullptr);
    EXPECT_TRUE(button->toolTipWindow()->hasTitleLine());
    EXPECT_GT(button->toolTipWindow()->sizeHint().height(), plainHeight);
}

TEST_F(ButtonInputTest, TooltipColoursOnlyWhenNotZero) {
    button->setToolTip(QStringLiteral("Saldo"));
    button->setToolTipForeColor(oleRgb(200, 0, 0));
    button->setToolTipBackColor(0);
    pointAtButton();
    ASSERT_NE(button->toolTipWindow(), nullptr);
    EXPECT_EQ(button->toolTipWindow()->content().textColor, QColor(200, 0, 0));
    EXPECT_FALSE(button->toolTipWindow()->content().backColor.isValid());
}

TEST_F(ButtonInputTest, DisabledButtonIgnoresThePointerAndTheKeys) {
    button->setToolTip(QStringLiteral("Saldo"));
    button->setCaption(QStringLiteral("&Saldo"));
    button->setEnabled(false);
    QSignalSpy entered(button, &ThemedButton::MouseEnter);
    QSignalSpy clicks(button, &ThemedButton::Click);
    ButtonHost::pointTo(*button, centre);
    click();
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
    QTest::keyClick(&host.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(entered.count(), 0);
    EXPECT_EQ(button->visualState(), VisualState::Disabled);
    EXPECT_EQ(button->toolTipWindow(), nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Saldo"));
    // Enabled again, the same input clicks: the spy was listening.
    button->setEnabled(true);
    QTest::keyClick(&host.window, Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
