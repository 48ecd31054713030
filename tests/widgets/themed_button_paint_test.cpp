#include "button_host.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>

using namespace kalinda;
using namespace kalinda::test;

namespace {

// Per channel half the sum, a half rounded up: worked out by hand for the test colours.
const QColor kShadowFaceAverage(170, 169, 108);   // (128+212)/2, (129+208)/2, (16+200)/2
const QColor kShadowWindowAverage(192, 192, 136); // (128+255)/2, (129+255)/2, (16+255)/2

class EtchedLookTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Every key absent: the etched look of style 3.
        button = &host.add(QRect(10, 10, kW, kH));
        ASSERT_TRUE(host.show());
    }

    // The frame and corners, whatever the state's face colour.
    void expectEtchedFrame(const QColor& fill) {
        const QImage image = button->grab().toImage();
        const auto at = [&](int x, int y) { return image.pixelColor(x, y); };
        EXPECT_EQ(at(kW / 2, kH / 2), fill);
        EXPECT_EQ(at(0, 0), kShadow);
        EXPECT_EQ(at(kW / 2, 0), kShadow);
        EXPECT_EQ(at(0, kH / 2), kShadow);
        EXPECT_EQ(at(kW - 1, kH / 2), kShadow);
        EXPECT_EQ(at(kW / 2, kH - 1), kShadow);
        EXPECT_EQ(at(kW - 1, kH - 1), kShadow);
        // The window-coloured frame one pixel in: its right and bottom sides are outside.
        EXPECT_EQ(at(kW / 2, 1), kWindow);
        EXPECT_EQ(at(1, kH / 2), kWindow);
        EXPECT_EQ(at(kW - 2, kH / 2), fill);
        EXPECT_EQ(at(kW / 2, kH - 2), fill);
        // Bottom-left and top-right corners take the face, the pixel inside the average.
        EXPECT_EQ(at(0, kH - 1), fill);
        EXPECT_EQ(at(kW - 1, 0), fill);
        EXPECT_EQ(at(1, kH - 2), kShadowWindowAverage);
        EXPECT_EQ(at(kW - 2, 1), kShadowWindowAverage);
    }

    static constexpr int kW = 60;
    static constexpr int kH = 30;
    ButtonHost host;
    ThemedButton* button = nullptr;
};

TEST_F(EtchedLookTest, NormalIsTheButtonFaceInAnEtchedFrame) {
    ASSERT_EQ(button->visualState(), VisualState::Normal);
    expectEtchedFrame(kFace);
}

TEST_F(EtchedLookTest, HotIsTheAverageOfShadowAndFaceRoundedUp) {
    ButtonHost::pointTo(*button, QPoint(kW / 2, kH / 2));
    ASSERT_TRUE(eventually([&] { return button->visualState() == VisualState::Hot; }));
    expectEtchedFrame(kShadowFaceAverage);
}

TEST_F(EtchedLookTest, PressedIsTheButtonShadow) {
    QTest::mousePress(button, Qt::LeftButton);
    EXPECT_EQ(button->visualState(), VisualState::Pressed);
    expectEtchedFrame(kShadow);
    QTest::mouseRelease(button, Qt::LeftButton);
}

TEST_F(EtchedLookTest, CustomColoursReplaceFaceAndShadowFill) {
    button->setUseCustomColors(true);
    button->setBackColor(oleRgb(101, 50, 0));
    button->setHighlightColor(oleRgb(0, 150, 255));
    expectEtchedFrame(QColor(101, 50, 0));

    ButtonHost::pointTo(*button, QPoint(kW / 2, kH / 2));
    ASSERT_TRUE(eventually([&] { return button->visualState() == VisualState::Hot; }));
    expectEtchedFrame(QColor(51, 100, 128)); // (0+101+1)/2, (150+50)/2, (255+0+1)/2

    QTest::mousePress(button, Qt::LeftButton);
    expectEtchedFrame(QColor(0, 150, 255));
    QTest::mouseRelease(button, Qt::LeftButton);
}

QIcon iconOf(const QList<QColor>& pixels) {
    QImage image(int(pixels.size()), 1, QImage::Format_ARGB32);
    for (int x = 0; x < pixels.size(); ++x)
        image.setPixelColor(x, 0, pixels[x]);
    return QIcon(QPixmap::fromImage(image));
}

QImage paintedGrey(const QIcon& icon, int width) {
    QImage target(width, 1, QImage::Format_ARGB32);
    target.fill(Qt::transparent);
    QPainter painter(&target);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    EXPECT_TRUE(ThemedButton::PaintIconGrayscale(&painter, icon, 0, 0, 1, width));
    return target;
}

TEST(GreyIconTest, ListedGreysKeepTheirLevelAndOthersAreWeighted) {
    const QList<int> kept = {0,   16,  32,  48,  64,  80,  96,  112,
                             128, 160, 176, 192, 208, 224, 240, 255};
    QList<QColor> pixels;
    for (int level : kept)
        pixels.append(QColor(level, level, level));
    pixels.append(QColor(144, 144, 144)); // not listed: 0.33+0.59+0.11 of 144 is 148.32
    pixels.append(QColor(10, 200, 30));   // 3.3 + 118 + 3.3 = 124.6
    pixels.append(QColor(0, 0, 50));      // 5.5 rounds up to 6
    pixels.append(QColor(250, 250, 250)); // 257.5 is more than a pixel holds

    const QImage grey = paintedGrey(iconOf(pixels), int(pixels.size()));
    for (int i = 0; i < kept.size(); ++i)
        EXPECT_EQ(grey.pixelColor(i, 0), QColor(kept[i], kept[i], kept[i])) << kept[i];
    const int n = int(kept.size());
    EXPECT_EQ(grey.pixelColor(n, 0), QColor(148, 148, 148));
    EXPECT_EQ(grey.pixelColor(n + 1, 0), QColor(125, 125, 125));
    EXPECT_EQ(grey.pixelColor(n + 2, 0), QColor(6, 6, 6));
    EXPECT_EQ(grey.pixelColor(n + 3, 0), QColor(255, 255, 255));
}

TEST(GreyIconTest, KeepsTheIconsTransparency) {
    const QImage grey = paintedGrey(iconOf({QColor(200, 40, 40, 128), QColor(0, 0, 0, 0)}), 2);
    EXPECT_EQ(grey.pixelColor(0, 0).alpha(), 128);
    EXPECT_EQ(grey.pixelColor(1, 0).alpha(), 0);
}

TEST(GreyIconTest, RefusesToDrawWithoutPainterOrIcon) {
    QImage target(4, 4, QImage::Format_ARGB32);
    const QIcon icon = iconOf({Qt::red});
    EXPECT_FALSE(ThemedButton::PaintIconGrayscale(nullptr, icon, 0, 0, 4, 4));
    QPainter painter(&target);
    EXPECT_FALSE(ThemedButton::PaintIconGrayscale(&painter, QIcon(), 0, 0, 4, 4));
    EXPECT_FALSE(ThemedButton::PaintIconGrayscale(&painter, icon, 0, 0, 0, 4));
}

TEST(ButtonIconTest, DisabledButtonDrawsItsIconGreyAtTheLeftMargin) {
    ButtonHost host;
    ThemedButton& button = host.add(QRect(10, 10, 80, 30));
    button.setCaption(QString());
    QPixmap red(16, 16);
    red.fill(QColor(255, 0, 0));
    button.setIcon(QIcon(red));
    button.setEnabled(false);
    // Left alignment, margin 3, vertically centred; 0.33 * 255 = 84.15.
    EXPECT_EQ(pixelAt(button, 3 + 8, 7 + 8), QColor(84, 84, 84));
    EXPECT_EQ(pixelAt(button, 3 + 17, 7 + 8), kFace);
}

TEST(ButtonLayoutTest, SizeIsRaisedToThreeHundredTwips) {
    ThemedButton button(QStringLiteral("cmdSmall"));
    button.resize(twipsToPixels(100), twipsToPixels(600));
    EXPECT_EQ(pixelsToTwips(button.width()), 300);
    EXPECT_EQ(pixelsToTwips(button.height()), 600);
}

TEST(ButtonLayoutTest, ShapedStylesCutTheirCorners) {
    ThemedButton button(QStringLiteral("cmdShape"));
    button.resize(60, 30);
    button.setButtonStyle(3);
    EXPECT_TRUE(button.mask().isEmpty()); // the whole rectangle
    button.setButtonStyle(5);
    EXPECT_FALSE(button.mask().contains(QPoint(0, 0)));
    EXPECT_FALSE(button.mask().contains(QPoint(0, 29)));
    EXPECT_TRUE(button.mask().contains(QPoint(1, 1)));
    button.setButtonStyle(10);
    EXPECT_FALSE(button.mask().contains(QPoint(1, 1)));
    EXPECT_TRUE(button.mask().contains(QPoint(30, 0)));
}

TEST(ThemeFallbackTest, WithoutThemeALoadedButtonTakesStyleFive) {
    ButtonHost host;
    ThemedButton& button = host.add(QRect(10, 10, 60, 30));
    button.setButtonStyle(6);
    ASSERT_TRUE(host.show());
    button.grab();
    EXPECT_EQ(button.buttonStyle(), 6);

    button.setThemeCheck([](const QStyle&) { return false; });
    button.grab();
    EXPECT_EQ(button.buttonStyle(), 5);
    button.setThemeCheck({});
    button.grab();
    EXPECT_EQ(button.buttonStyle(), 5);
}

TEST(ThemeFallbackTest, WithoutThemeANewButtonTakesItsNonThemeStyle) {
    ThemedButton button(QStringLiteral("cmdNew"));
    button.setButtonStyle(6);
    button.setNonThemeStyle(2);
    button.setThemeCheck([](const QStyle&) { return false; });
    button.grab();
    EXPECT_EQ(button.buttonStyle(), 2);
}

} // namespace
