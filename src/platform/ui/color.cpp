// The palette: GNOME's named colours (the libadwaita palette) for light and dark appearance.
//
//   style                  light                         dark
//   primary                #000000 at 80 %               #ffffff
//   blue                   #3584e4 (blue 3)              #62a0ea (blue 2)
//   green                  #2ec27e (green 4)             #33d17a (green 3)
//   yellow                 #e5a50a (yellow 5)            #f6d32d (yellow 3)
//   orange                 #ff7800 (orange 3)            #ffa348 (orange 2)
//   red                    #e01b24 (red 3)               #f66151 (red 1)
//   tint                   #3584e4 (accent)              #78aeed (accent)
//   secondary              foreground at 55 % of its alpha (dimmed label)
//   hierarchicalSecondary  foreground at 55 % of its alpha
//   hierarchicalTertiary   foreground at 30 % of its alpha
//   windowBackground       #fafafa                       #242424
//   tertiaryFill           the foreground at 6 % (light) or 8 % (dark) composited over the
//                          window background: opaque #ebebeb / #363636

#include "platform/ui/color.hpp"

namespace halyard::ui {
namespace {

constexpr RGBA hex(unsigned rgb, double alpha = 1) {
  return {((rgb >> 16) & 0xffU) / 255.0, ((rgb >> 8) & 0xffU) / 255.0, (rgb & 0xffU) / 255.0,
          alpha};
}

constexpr RGBA withAlpha(RGBA color, double factor) {
  color.a *= factor;
  return color;
}

// `top` painted over the opaque `bottom`.
RGBA over(RGBA top, RGBA bottom) {
  auto mix = [&](double t, double b) { return t * top.a + b * (1 - top.a); };
  return {mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), 1};
}

constexpr double kSecondaryEmphasis = 0.55;
constexpr double kTertiaryEmphasis = 0.30;

RGBA foreground(Appearance appearance) {
  return appearance == Appearance::dark ? hex(0xffffff) : hex(0x000000, 0.8);
}

RGBA windowBackground(Appearance appearance) {
  return appearance == Appearance::dark ? hex(0x242424) : hex(0xfafafa);
}

}  // namespace

std::string_view styleName(StyleName style) {
  switch (style) {
    case StyleName::primary:
      return "primary";
    case StyleName::blue:
      return "blue";
    case StyleName::green:
      return "green";
    case StyleName::yellow:
      return "yellow";
    case StyleName::orange:
      return "orange";
    case StyleName::red:
      return "red";
    case StyleName::secondary:
      return "secondary";
    case StyleName::hierarchicalSecondary:
      return "hierarchicalSecondary";
    case StyleName::hierarchicalTertiary:
      return "tertiary";
    case StyleName::tint:
      return "tint";
    case StyleName::tertiaryFill:
      return "fillTertiary";
    case StyleName::windowBackground:
      return "windowBackground";
  }
  return "primary";
}

RGBA resolve(StyleName style, Appearance appearance) {
  const bool dark = appearance == Appearance::dark;
  switch (style) {
    case StyleName::primary:
      return foreground(appearance);
    case StyleName::blue:
      return dark ? hex(0x62a0ea) : hex(0x3584e4);
    case StyleName::green:
      return dark ? hex(0x33d17a) : hex(0x2ec27e);
    case StyleName::yellow:
      return dark ? hex(0xf6d32d) : hex(0xe5a50a);
    case StyleName::orange:
      return dark ? hex(0xffa348) : hex(0xff7800);
    case StyleName::red:
      return dark ? hex(0xf66151) : hex(0xe01b24);
    case StyleName::tint:
      return dark ? hex(0x78aeed) : hex(0x3584e4);
    case StyleName::secondary:
    case StyleName::hierarchicalSecondary:
      return withAlpha(foreground(appearance), kSecondaryEmphasis);
    case StyleName::hierarchicalTertiary:
      return withAlpha(foreground(appearance), kTertiaryEmphasis);
    case StyleName::windowBackground:
      return windowBackground(appearance);
    case StyleName::tertiaryFill: {
      const RGBA fill = dark ? hex(0xffffff, 0.08) : hex(0x000000, 0.06);
      return over(fill, windowBackground(appearance));
    }
  }
  return foreground(appearance);
}

}  // namespace halyard::ui
