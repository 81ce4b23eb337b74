#include "platform/host/desktop_window.hpp"

#include <utility>

namespace halyard::host {

namespace {

void collectTexts(const ui::PlacedNode& node, std::string& out) {
  if (node.text && !node.text->displayedText.empty()) {
    if (!out.empty()) out += '\n';
    out += node.text->displayedText;
  }
  for (const auto& child : node.children)
    collectTexts(child, out);
}

DesktopWindows& registeredWindows() {
  static DesktopWindows windows;
  return windows;
}

}  // namespace

std::string textSummary(const ui::PlacedNode& tree) {
  std::string out;
  collectTexts(tree, out);
  return out;
}

void provideDesktopWindows(DesktopWindows windows) {
  registeredWindows() = std::move(windows);
}

const DesktopWindows* desktopWindows() {
  const DesktopWindows& windows = registeredWindows();
  return windows.create ? &windows : nullptr;
}

}  // namespace halyard::host
