#pragma once
// What the widget window remembers across runs: its family, and where it stands (the window
// position where the program may place windows, the corner and margins on a layer-shell
// surface). Kept as a key file in the user's configuration folder.

#include <optional>
#include <string>
#include <string_view>

namespace halyard::host {

enum class Corner { topLeft, topRight, bottomLeft, bottomRight };

std::string_view cornerName(Corner corner);  // "top-left", ...
std::optional<Corner> cornerFromName(std::string_view name);

struct WindowState {
  std::string family;  // a family's short name; empty: none remembered
  std::optional<int> x;
  std::optional<int> y;
  Corner corner = Corner::topRight;
  int marginX = 24;
  int marginY = 24;
  bool operator==(const WindowState&) const = default;
};

// <user config folder>/<program>/window.ini (the folder honours XDG_CONFIG_HOME).
std::string windowStatePath(const std::string& program);

// The remembered state; defaults for whatever is missing or unreadable.
WindowState loadWindowState(const std::string& path);

// Writes the state (creating its folder) atomically; a message saying why on failure.
std::optional<std::string> saveWindowState(const std::string& path, const WindowState& state);

}  // namespace halyard::host
