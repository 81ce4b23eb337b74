#pragma once
// The widget on the desktop: a window of the family's size that shows the run loop's current
// entry, light or dark as the desktop prefers, crisp at the window's scale factor.
//
// On a Wayland compositor with layer-shell it is a background-layer surface anchored to a
// corner; elsewhere an undecorated window that takes no focus (on X11 also kept below, on every
// workspace, out of the taskbar and pager). A right-click menu switches the family and quits;
// the family and the position are remembered across runs.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/run_loop.hpp"
#include "platform/host/widget_configuration.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::host {

class DesktopAppearance;

struct WindowOptions {
  std::string title;    // window title and accessible name: the widget's display name
  std::string program;  // names the window's class and the folder of its remembered state
  std::string textDomain;
  std::vector<WidgetFamily> families;        // what the menu offers
  std::optional<ui::Appearance> appearance;  // fixed; nothing: as the desktop prefers
  bool desktopType = false;                  // X11: the desktop window type
  bool clickThrough = false;                 // pointer events go to what lies below
  std::string statePath;                     // the remembered state; empty: nothing kept
};

// The texts of a placed tree in reading order, one per line: what the widget says, for a
// screen reader.
std::string textSummary(const ui::PlacedNode& tree);

class WidgetWindow {
 public:
  // GTK must be initialised. `appearance` (when not fixed by the options) and `measurer` must
  // outlive the window; the window asks `loop` for another family and to quit.
  WidgetWindow(WindowOptions options, RunLoop& loop, const DesktopAppearance* appearance,
               const ui::TextMeasurer& measurer);
  ~WidgetWindow();
  WidgetWindow(const WidgetWindow&) = delete;
  WidgetWindow& operator=(const WidgetWindow&) = delete;

  // Shows `entry` in the loop's family: lays it out again and redraws only if that changed.
  void show(const HostEntry& entry);
  // The desktop's appearance changed: lay out again.
  void appearanceChanged();

  // Whether the window is a layer-shell surface.
  bool layerShell() const;
  // How many times the laid-out content changed and a redraw was asked for.
  std::size_t redraws() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace halyard::host
