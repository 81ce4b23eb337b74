#pragma once
// Light or dark, as the desktop prefers, followed live.
//
// The desktop portal's `org.freedesktop.appearance color-scheme` setting answers first (read
// over the session bus, with its SettingChanged signal for changes). Where there is no portal,
// or it states no preference, GTK's settings answer once GTK is in use: dark when
// `gtk-application-prefer-dark-theme` is set or the theme in use is a dark one (GTK_THEME's
// ":dark" variant, or a theme named "…-dark"); light otherwise.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/ui/environment.hpp"

using GObject = struct _GObject;

namespace halyard::host {

// The portal's color-scheme value: 0 no preference, 1 prefer dark, 2 prefer light.
std::optional<ui::Appearance> appearanceForColorScheme(unsigned value);

// Whether a GTK theme name (as GTK_THEME or the gtk-theme-name setting give it) is dark.
bool themeIsDark(std::string_view theme);

class DesktopAppearance {
 public:
  // `changed` is called on the main context after the appearance has changed.
  explicit DesktopAppearance(std::function<void()> changed);
  ~DesktopAppearance();
  DesktopAppearance(const DesktopAppearance&) = delete;
  DesktopAppearance& operator=(const DesktopAppearance&) = delete;

  // Also follows the properties "gtk-application-prefer-dark-theme" and "gtk-theme-name" of
  // `settings` (GTK's settings object) from now on; `settings` must outlive this object.
  void followPreferDarkSetting(GObject* settings);

  ui::Appearance appearance() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace halyard::host
