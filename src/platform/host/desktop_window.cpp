#include "platform/host/desktop_window.hpp"

#include <utility>

namespace halyard::host {

namespace {

DesktopWindows& registeredWindows() {
  static DesktopWindows windows;
  return windows;
}

}  // namespace

void provideDesktopWindows(DesktopWindows windows) {
  registeredWindows() = std::move(windows);
}

const DesktopWindows* desktopWindows() {
  const DesktopWindows& windows = registeredWindows();
  return windows.create ? &windows : nullptr;
}

}  // namespace halyard::host
