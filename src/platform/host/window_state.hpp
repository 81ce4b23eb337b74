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

// The remembered state; defaults for whatever is missing or unreadable. Only a regular file of
// sane size is read (never blocking on a FIFO or a device).
WindowState loadWindowState(const std::string& path);

struct WindowPosition {
  int x = 0;
  int y = 0;
  bool operator==(const WindowPosition&) const = default;
};

// A rectangle of the screen in its coordinates, such as a monitor's work area.
struct ScreenArea {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where a window of `width` × `height` wanted at (x, y) stands wholly inside `area`, moved as
// little as needed (at the area's top or left edge when it is larger than the area).
WindowPosition clampToArea(long long x, long long y, int width, int height, const ScreenArea& area);

// A margin from an edge of an area `areaExtent` long that keeps a window `windowExtent` long
// inside it: between 0 and the room left.
int clampMargin(long long margin, int windowExtent, int areaExtent);

// Writes the state (creating its folder) atomically; a message saying why on failure.
std::optional<std::string> saveWindowState(const std::string& path, const WindowState& state);

}  // namespace halyard::host
