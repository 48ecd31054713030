#pragma once

#include <QColor>
#include <QtGlobal>

class QPalette;

namespace kalinda {

// A colour as forms save it: 0x80000000 | index for a system colour (the Windows COLOR_*
// indexes), anything else 0x00BBGGRR.
using OleColor = quint32;

namespace SysColor {
inline constexpr OleColor Window = 0x80000005;
inline constexpr OleColor Highlight = 0x8000000D;
inline constexpr OleColor ButtonFace = 0x8000000F;
inline constexpr OleColor ButtonShadow = 0x80000010;
inline constexpr OleColor GrayText = 0x80000011;
inline constexpr OleColor ButtonText = 0x80000012;
inline constexpr OleColor ButtonHighlight = 0x80000014;
inline constexpr OleColor DarkShadow3D = 0x80000015;
inline constexpr OleColor InfoText = 0x80000017;
inline constexpr OleColor InfoBackground = 0x80000018;
} // namespace SysColor

constexpr OleColor oleRgb(int red, int green, int blue) {
    return OleColor(red & 0xFF) | OleColor(green & 0xFF) << 8 | OleColor(blue & 0xFF) << 16;
}

// Turns a colour into RGB. System colours come from the palette (Active group unless noted):
//   button face, scroll bar, active and inactive border  -> Button
//   button shadow                                        -> Dark
//   3-D dark shadow, window frame                        -> Shadow
//   button highlight                                     -> Light
//   3-D light                                            -> Midlight
//   window                                               -> Base
//   desktop, menu, menu bar                              -> Window
//   application workspace                                -> Mid
//   window text, menu text                               -> WindowText
//   button text                                          -> ButtonText
//   grey text, inactive caption text                     -> Text of the Disabled group
//   highlight, captions, caption gradients, menu highlight -> Highlight
//   highlight text, caption text                         -> HighlightedText
//   info text                                            -> ToolTipText
//   info background                                      -> ToolTipBase
//   hot-tracking                                         -> Link
// An unknown system index gives black, as Windows does.
QColor resolveColor(OleColor color, const QPalette& palette);

} // namespace kalinda
