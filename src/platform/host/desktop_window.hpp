#pragma once
// The widget on the desktop, as the run loop sees it: a window that shows each entry.
//
// The windowing toolkit is heavy to load, and only `run --window` needs it, so the host's
// program does not carry it: a program that does registers its windows here before running
// the host, and the host's program hands `run --window` over to such a program.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/widget_configuration.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::host {

class DesktopAppearance;
class RunLoop;

struct WindowOptions {
  std::string title;           // window title: the widget's display name
  std::string accessibleName;  // what a screen reader calls the window
  std::string program;         // names the window's class and the folder of its remembered state
  std::string textDomain;
  std::vector<WidgetFamily> families;        // what the menu offers
  std::optional<ui::Appearance> appearance;  // fixed; nothing: as the desktop prefers
  bool desktopType = false;                  // X11: the desktop window type
  bool clickThrough = false;                 // pointer events go to what lies below
  std::string statePath;                     // the remembered state; empty: nothing kept
};

class DesktopWindow {
 public:
  virtual ~DesktopWindow() = default;
  // Shows `entry` in the loop's family: lays it out again and redraws only if that changed.
  virtual void show(const HostEntry& entry) = 0;
  // The desktop's appearance changed: lay out again.
  virtual void appearanceChanged() = 0;
  // Asked for the keyboard (`run --focus`): takes the focus until Escape gives it back.
  virtual void takeFocus() = 0;
};

struct DesktopWindows {
  // Connects to the display; a message saying why not.
  std::function<std::optional<std::string>(const std::string& program)> open;
  // Lets `appearance` also follow the toolkit's own dark-theme setting.
  std::function<void(DesktopAppearance& appearance)> followToolkitAppearance;
  // A window; `appearance` (when not fixed by the options) and `measurer` must outlive it,
  // and it asks `loop` for another family and to quit.
  std::function<std::unique_ptr<DesktopWindow>(WindowOptions options, RunLoop& loop,
                                               const DesktopAppearance* appearance,
                                               const ui::TextMeasurer& measurer)>
      create;
};

// Makes desktop windows available to `run --window` in this process.
void provideDesktopWindows(DesktopWindows windows);
// The registered desktop windows; nothing when this program carries none.
const DesktopWindows* desktopWindows();

}  // namespace halyard::host
