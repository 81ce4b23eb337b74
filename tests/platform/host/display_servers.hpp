#pragma once
// Real display servers, each in its own process group (killed whole) and runtime folder.

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "child_process.hpp"
#include "test_support.hpp"

namespace halyard::testing {

using Env = std::map<std::string, std::string>;

struct Screenshot {  // 8-bit RGB
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;

  std::uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFF;
    const auto* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  }
  // Mean of (r + g + b) / 3 over a rectangle, 0 to 255.
  double brightness(int x, int y, int w, int h) const {
    double sum = 0;
    for (int row = y; row < y + h; ++row)
      for (int column = x; column < x + w; ++column) {
        const std::uint32_t c = at(column, row);
        sum += ((c >> 16) + ((c >> 8) & 0xFF) + (c & 0xFF)) / 3.0;
      }
    return sum / (w * h);
  }
};

// A binary PPM (P6, maxval 255), as grim and ImageMagick write it.
inline std::optional<Screenshot> readPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  Screenshot shot;
  int maxValue = 0;
  if (!(in >> magic >> shot.width >> shot.height >> maxValue) || magic != "P6" || maxValue != 255 ||
      shot.width <= 0 || shot.height <= 0)
    return std::nullopt;
  in.get();
  shot.rgb.resize(static_cast<std::size_t>(shot.width) * shot.height * 3);
  if (!in.read(reinterpret_cast<char*>(shot.rgb.data()), static_cast<long>(shot.rgb.size())))
    return std::nullopt;
  return shot;
}

// `env` arguments that give a command line these variables (an empty value removes one).
inline std::string shellEnv(const Env& env) {
  std::string removed;
  std::string set;
  for (const auto& [name, value] : env)
    (value.empty() ? removed : set) += value.empty() ? " -u " + name : " " + name + "=" + value;
  return "env" + removed + set + " ";
}

struct WindowGeometry {
  std::string id;
  int width = 0;
  int height = 0;
  int x = 0;  // on the screen
  int y = 0;
};

// The first window named `title` in xwininfo's tree, top-level or inside a frame.
inline std::optional<WindowGeometry> findWindow(const std::string& display,
                                                const std::string& title) {
  const auto tree = commandOutput("xwininfo -display " + display + " -root -tree", 10);
  if (!tree) return std::nullopt;
  // A line reads: 0x200003 "Halyard": ("halyard-widget" "Halyard-widget")  364x382+0+0  +636+24
  std::istringstream lines(*tree);
  for (std::string line; std::getline(lines, line);) {
    const auto name = line.find(" \"" + title + "\": ");
    const auto geometry = line.find(")  ", name);
    if (name == std::string::npos || geometry == std::string::npos) continue;
    WindowGeometry window;
    int relativeX = 0;
    int relativeY = 0;
    std::istringstream(line.substr(0, name)) >> window.id;
    if (std::sscanf(line.c_str() + geometry + 3, "%dx%d%d%d %d%d", &window.width, &window.height,
                    &relativeX, &relativeY, &window.x, &window.y) == 6)
      return window;
  }
  return std::nullopt;
}

// The first name in `folder` that starts with `prefix` and is not a lock file.
inline std::string findEntry(const std::string& folder, const std::string& prefix) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && name.find(".lock") == std::string::npos) return name;
  }
  return "";
}

// Whether the X server that `env` names answers a client.
inline bool answersX(const Env& env) {
  return commandOutput(shellEnv(env) + "xprop -root -len 0", 5).has_value();
}

// As user 1000 of a user namespace of their own: sway, and its clients, refuse root.
inline const std::string kUnprivileged = "unshare --user --map-user=1000 --map-group=1000 ";
inline std::vector<std::string> unprivileged(std::vector<std::string> argv) {
  argv.insert(argv.begin(), {"unshare", "--user", "--map-user=1000", "--map-group=1000"});
  return argv;
}

// A server's process group, its output FOLDER/NAME.out and log FOLDER/NAME.err, its runtime
// folder FOLDER/NAME-run (mode 0700, as XDG_RUNTIME_DIR must be), its clients' environment.
class DisplayServer {
 public:
  const std::string& why() const { return why_; }
  bool ready() const { return why_.empty(); }
  const Env& clientEnv() const { return env_; }
  std::string log() const { return readFile(files_ + ".err"); }

 protected:
  DisplayServer(const std::string& folder, const std::string& name)
      : runtime_(folder + "/" + name + "-run"), files_(folder + "/" + name) {
    std::filesystem::create_directories(runtime_);
    ::chmod(runtime_.c_str(), 0700);
  }

  // The server and its clients live in its runtime folder, in no display but those `env` names.
  Env isolated(Env env) const {
    env.insert({{"XDG_RUNTIME_DIR", runtime_},
                {"WAYLAND_DISPLAY", ""},
                {"DISPLAY", ""},
                {"GDK_BACKEND", ""}});
    return env;
  }

  void start(const std::vector<std::string>& argv, const Env& env = {}) {
    server_.emplace(argv, isolated(env), files_, true);
  }

  // Whether `condition` comes to hold within `seconds` while the server runs; else why() says.
  bool await(const std::function<bool()>& condition, int seconds, const std::string& failure) {
    const auto ended = [&] { return server_->wait(std::chrono::milliseconds(0)).has_value(); };
    const bool held =
        eventually([&] { return ended() || condition(); }, std::chrono::seconds(seconds)) &&
        !ended();
    why_ = held ? "" : failure + ": " + log();
    return held;
  }

  void serve(const Env& env) { env_ = isolated(env); }

  const std::string runtime_;
  const std::string files_;
  std::optional<ChildProcess> server_;
  std::string why_ = "not started";
  Env env_;
};

// A private X server on a free display; -noreset, as a reset refuses clients meanwhile.
class XvfbServer : public DisplayServer {
 public:
  explicit XvfbServer(const std::string& folder) : DisplayServer(folder, "xvfb") {
    start(
        {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
    const auto answers = [&] {
      const std::string number = server_->out();
      if (!number.ends_with('\n')) return false;
      serve({{"DISPLAY", ":" + number.substr(0, number.size() - 1)}});
      return answersX(env_);
    };
    await(answers, 25, "Xvfb did not start");
  }

  ~XvfbServer() {
    server_->signal(SIGTERM);
    server_->wait(std::chrono::seconds(5));
  }
};

// sway, headless on a 1024 × 768 output, with a magenta wallpaper drawn by swaybg.
class SwayServer : public DisplayServer {
 public:
  static constexpr std::uint32_t kWallpaper = 0xFF00FF;

  explicit SwayServer(const std::string& folder)
      : DisplayServer(folder, "sway"), shotPath_(folder + "/sway-shot.ppm") {
    const std::string config = folder + "/sway.conf";
    std::ofstream(config) << "output * bg #ff00ff solid_color\n"
                          << "output * resolution 1024x768\ndefault_border none\n";
    start(unprivileged({"sway", "-c", config}), {{"WLR_BACKENDS", "headless"},
                                                 {"WLR_RENDERER", "pixman"},
                                                 {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                                 {"SWAYSOCK", ""}});
    const auto sockets = [&] {
      const std::string socket = findEntry(runtime_, "wayland-");
      const std::string ipc = findEntry(runtime_, "sway-ipc.");
      serve({{"WAYLAND_DISPLAY", socket}, {"SWAYSOCK", runtime_ + "/" + ipc}});
      return !socket.empty() && !ipc.empty();
    };
    if (!await(sockets, 15, "sway did not start")) return;
    const auto wallpaperShown = [&] {
      const auto shot = screenshot();
      return shot && shot->at(2, 2) == kWallpaper;
    };
    await(wallpaperShown, 15, "sway showed no wallpaper");
  }

  // The output of a shell command run as a client of this server.
  std::optional<std::string> client(const std::string& command) const {
    return commandOutput(shellEnv(env_) + kUnprivileged + command);
  }

  std::optional<Screenshot> screenshot() const {
    return client("grim -t ppm " + shotPath_) ? readPpm(shotPath_) : std::nullopt;
  }

 private:
  std::string shotPath_;
};

// mutter, headless, with XWayland, in a mount namespace with a /tmp/.X11-unix of its own that
// anyone may write to, as XWayland needs; clients reach X through the abstract socket.
class MutterServer : public DisplayServer {
 public:
  explicit MutterServer(const std::string& folder) : DisplayServer(folder, "mutter") {
    const std::string wayland = "mutter-" + std::to_string(::getpid());
    start({"unshare", "--mount", "--propagation", "private", "sh", "-c",
           "mount -t tmpfs -o mode=1777 none /tmp/.X11-unix && exec dbus-run-session -- mutter "
           "--headless --wayland --virtual-monitor 1280x800 --wayland-display=" +
               wayland},
          {{"DBUS_SESSION_BUS_ADDRESS", ""}});
    constexpr std::string_view kSays = "Using public X11 display ";
    const auto xwayland = [&] {
      const std::string text = log();
      const auto at = text.find(kSays);
      const std::string authority = findEntry(runtime_, ".mutter-Xwaylandauth.");
      if (at == std::string::npos || authority.empty()) return false;
      serve({{"WAYLAND_DISPLAY", wayland},
             {"DISPLAY", text.substr(at + kSays.size(), text.find(',', at) - at - kSays.size())},
             {"XAUTHORITY", runtime_ + "/" + authority}});
      return true;
    };
    if (await(xwayland, 30, "mutter did not start XWayland"))
      await([&] { return answersX(env_); }, 15, "mutter's X server does not answer");
  }
};

// Weston, headless: no input device at all, so no keyboard.
class WestonServer : public DisplayServer {
 public:
  explicit WestonServer(const std::string& folder) : DisplayServer(folder, "weston") {
    start({"weston", "--backend=headless-backend.so", "--socket=weston-test", "--idle-time=0"});
    if (await([&] { return std::filesystem::exists(runtime_ + "/weston-test"); }, 15,
              "weston did not start"))
      serve({{"WAYLAND_DISPLAY", "weston-test"}});
  }
};

// openbox, ready once it keeps a stacking list (it may still drop a map request for a moment).
class OpenboxServer : public DisplayServer {
 public:
  OpenboxServer(const std::string& display, const std::string& folder)
      : DisplayServer(folder, "openbox") {
    start({"openbox", "--sm-disable"}, {{"DISPLAY", display}});
    await(
        [&] {
          const auto list =
              commandOutput("xprop -display " + display + " -root _NET_CLIENT_LIST_STACKING");
          return list && list->find("not found") == std::string::npos;
        },
        15, "openbox did not start");
  }
};

}  // namespace halyard::testing
