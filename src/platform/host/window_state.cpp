#include "platform/host/window_state.hpp"

#include <glib.h>

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
  GKeyFile* file = g_key_file_new();
  if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
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
