#include "widgets/themed_button.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <algorithm>

namespace kalinda {

namespace {

// Greys that stay as they are; 144 is not one of them.
bool isKeptGrey(int level) {
    return (level % 16 == 0 && level != 144) || level == 255;
}

QRgb greyPixel(QRgb pixel) {
    const int r = qRed(pixel);
    const int g = qGreen(pixel);
    const int b = qBlue(pixel);
    if (r == g && g == b && isKeptGrey(r))
        return pixel;
    // 0.33 r + 0.59 g + 0.11 b to the nearest whole number, in hundredths to round exactly.
    // The weights add up to 1.03, so light colours would pass 255.
    const int level = std::min(255, (33 * r + 59 * g + 11 * b + 50) / 100);
    return qRgba(level, level, level, qAlpha(pixel));
}

} // namespace

bool ThemedButton::PaintIconGrayscale(QPainter* painter, const QIcon& icon, int x, int y,
                                      int height, int width) {
    if (!painter || !painter->isActive() || icon.isNull() || width <= 0 || height <= 0)
        return false;
    QImage image =
        icon.pixmap(QSize(width, height), 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return false;
    for (int row = 0; row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        std::transform(line, line + image.width(), line, greyPixel);
    }
    painter->drawImage(QRect(x, y, width, height), image);
    return true;
}

} // namespace kalinda
