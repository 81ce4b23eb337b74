#pragma once
// The widget on the desktop: a window of the family's size that shows the run loop's current
// entry, light or dark as the desktop prefers, crisp at the window's scale factor.
//
// On a Wayland compositor with layer-shell it is a bottom-layer surface anchored to a corner;
// elsewhere an undecorated window that takes no focus unless asked (on X11 also kept below, on
// every workspace, out of the taskbar and pager). A right-click menu (or, once asked for the
// keyboard, the Menu key) switches the family and quits; the family and the position are
// remembered across runs. A screen reader finds the widget's elements in the window.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/desktop_window.hpp"
#include "platform/host/run_loop.hpp"

namespace halyard::host {

class WidgetWindow final : public DesktopWindow {
 public:
  // GTK must be initialised. `appearance` (when not fixed by the options) and `measurer` must
  // outlive the window; the window asks `loop` for another family and to quit.
  WidgetWindow(WindowOptions options, RunLoop& loop, const DesktopAppearance* appearance,
               const ui::TextMeasurer& measurer);
  ~WidgetWindow() override;
  WidgetWindow(const WidgetWindow&) = delete;
  WidgetWindow& operator=(const WidgetWindow&) = delete;

  // Shows `entry` in the loop's family: lays it out again and redraws only if that changed.
  void show(const HostEntry& entry) override;
  // The desktop's appearance changed: lay out again.
  void appearanceChanged() override;
  // Takes the keyboard until Escape gives it back; the Menu key and Shift+F10 open the menu.
  void takeFocus() override;

  // Whether the window is a layer-shell surface.
  bool layerShell() const;
  // How many times the laid-out content changed and a redraw was asked for.
  std::size_t redraws() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Registers GTK windows for `run --window` in this process (see desktop_window.hpp).
void provideGtkDesktopWindows();

}  // namespace halyard::host
