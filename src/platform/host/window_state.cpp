#include "platform/host/window_state.hpp"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>

namespace halyard::host {

namespace {

constexpr const char* kGroup = "window";

constexpr std::array<std::pair<Corner, std::string_view>, 4> kCorners{{
    {Corner::topLeft, "top-left"},
    {Corner::topRight, "top-right"},
    {Corner::bottomLeft, "bottom-left"},
    {Corner::bottomRight, "bottom-right"},
}};

std::optional<int> readInt(GKeyFile* file, const char* key) {
  GError* error = nullptr;
  const gint value = g_key_file_get_integer(file, kGroup, key, &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  return value;
}

std::string readString(GKeyFile* file, const char* key) {
  gchar* value = g_key_file_get_string(file, kGroup, key, nullptr);
  std::string out = value != nullptr ? value : "";
  g_free(value);
  return out;
}

// The state is a few short lines; a bigger file is not ours.
constexpr off_t kMaxStateBytes = 64 * 1024;

// The file's text if it is a regular file of sane size. Opened without blocking (a FIFO or a
// device there must not hold up the start) and checked on that same descriptor before
// anything is read.
std::optional<std::string> readStateFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxStateBytes) {
    std::string buffer(static_cast<std::size_t>(kMaxStateBytes) + 1, '\0');
    std::size_t size = 0;
    for (;;) {
      const ssize_t got = ::read(fd, buffer.data() + size, buffer.size() - size);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      size += static_cast<std::size_t>(got);
      if (got == 0 || size == buffer.size()) {
        // It grew past the limit while being read: not taken either.
        if (size <= static_cast<std::size_t>(kMaxStateBytes)) text = buffer.substr(0, size);
        break;
      }
    }
  }
  ::close(fd);
  return text;
}

// `value` moved into [low, high]; `low` when the range is empty. Wide enough for any int
// operands.
int clampWide(long long value, long long low, long long high) {
  return static_cast<int>(std::max(low, std::min(value, std::max(low, high))));
}

}  // namespace

std::string_view cornerName(Corner corner) {
  for (const auto& [value, name] : kCorners)
    if (value == corner) return name;
  return "top-right";
}

std::optional<Corner> cornerFromName(std::string_view name) {
  for (const auto& [value, cornerText] : kCorners)
    if (cornerText == name) return value;
  return std::nullopt;
}

std::string windowStatePath(const std::string& program) {
  return std::string(g_get_user_config_dir()) + "/" + program + "/window.ini";
}

WindowState loadWindowState(const std::string& path) {
  WindowState state;
  const std::optional<std::string> text = readStateFile(path);
  if (!text) return state;
  GKeyFile* file = g_key_file_new();
  if (g_key_file_load_from_data(file, text->data(), text->size(), G_KEY_FILE_NONE, nullptr)) {
    state.family = readString(file, "family");
    state.x = readInt(file, "x");
    state.y = readInt(file, "y");
    if (auto corner = cornerFromName(readString(file, "corner"))) state.corner = *corner;
    // Margins stay on the screen's side of the corner.
    if (auto margin = readInt(file, "margin-x"); margin && *margin >= 0) state.marginX = *margin;
    if (auto margin = readInt(file, "margin-y"); margin && *margin >= 0) state.marginY = *margin;
  }
  g_key_file_free(file);
  return state;
}

WindowPosition clampToArea(long long x, long long y, int width, int height,
                           const ScreenArea& area) {
  const long long right = static_cast<long long>(area.x) + area.width - width;
  const long long bottom = static_cast<long long>(area.y) + area.height - height;
  return {clampWide(x, area.x, right), clampWide(y, area.y, bottom)};
}

int clampMargin(long long margin, int windowExtent, int areaExtent) {
  return clampWide(margin, 0, static_cast<long long>(areaExtent) - windowExtent);
}

std::optional<std::string> saveWindowState(const std::string& path, const WindowState& state) {
  gchar* folder = g_path_get_dirname(path.c_str());
  const bool made = g_mkdir_with_parents(folder, 0700) == 0;
  g_free(folder);
  if (!made) return path + ": cannot create its folder: " + g_strerror(errno);

  GKeyFile* file = g_key_file_new();
  if (!state.family.empty()) g_key_file_set_string(file, kGroup, "family", state.family.c_str());
  if (state.x && state.y) {
    g_key_file_set_integer(file, kGroup, "x", *state.x);
    g_key_file_set_integer(file, kGroup, "y", *state.y);
  }
  g_key_file_set_string(file, kGroup, "corner", std::string(cornerName(state.corner)).c_str());
  g_key_file_set_integer(file, kGroup, "margin-x", state.marginX);
  g_key_file_set_integer(file, kGroup, "margin-y", state.marginY);
  GError* error = nullptr;
  // Written through a temporary file and a rename.
  const bool saved = g_key_file_save_to_file(file, path.c_str(), &error);
  g_key_file_free(file);
  if (saved) return std::nullopt;
  std::string message = path + ": " + error->message;
  g_error_free(error);
  return message;
}

}  // namespace halyard::host
