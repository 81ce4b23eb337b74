// `halyard-widget run --window` on desktops started for the test; what a screen reader finds.
#include <gtest/gtest.h>

#include <list>
#include <nlohmann/json.hpp>

#include "platform/host/display_servers.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using namespace testing;

constexpr int kMediumHeight = 170;
constexpr auto npos = std::string::npos;

bool installed(std::initializer_list<const char*> tools) {
  for (const char* tool : tools)
    if (!commandOutput(std::string("sh -c 'command -v ") + tool + "'")) {
      [&] { GTEST_SKIP() << tool << " is not installed"; }();
      return false;
    }
  return true;
}

std::string where(const std::optional<WindowGeometry>& window) {
  return window ? std::to_string(window->x) + "," + std::to_string(window->y) : "nowhere";
}

class DesktopWindow : public ::testing::Test {
 protected:
  ChildProcess& start(const std::string& name, const std::vector<std::string>& argv,
                      const Env& env) {
    return started_.emplace_back(argv, env, dir.file(name), true);
  }

  std::vector<std::string> runWindow(std::vector<std::string> extra = {}) const {
    extra.insert(extra.begin(),
                 {HALYARD_WIDGET_BINARY, "run", "--window", "--watch", dir.file("watched.json")});
    return extra;
  }

  Env widgetEnv(Env env) const {
    env["XDG_CONFIG_HOME"] = dir.file("config");
    env["NO_AT_BRIDGE"] = "1";
    return env;
  }

  bool startX() {
    xvfb_.emplace(dir.path().string());
    EXPECT_TRUE(xvfb_->ready()) << xvfb_->why();
    if (xvfb_->ready()) display = xvfb_->clientEnv().at("DISPLAY");
    return xvfb_->ready();
  }
  Env xEnv() const { return widgetEnv(xvfb_->clientEnv()); }

  // Whether a screenshot (the last one kept in `shot`) comes to satisfy `holds`.
  bool shows(const std::function<bool(const Screenshot&)>& holds,
             std::chrono::milliseconds timeout = 10s) {
    return eventually(
        [&] {
          shot = shoot();
          return shot && holds(*shot);
        },
        timeout);
  }
  std::function<std::optional<Screenshot>()> shoot = [this]() -> std::optional<Screenshot> {
    const std::string path = dir.file("shot.ppm");
    if (!commandOutput("import -display " + display + " -window root -depth 8 " + path))
      return std::nullopt;
    return readPpm(path);
  };

  // Whether the widget's window shows and satisfies `until`; `window` is the last one found.
  bool windowUntil(const std::function<bool(const WindowGeometry&)>& until = {},
                   std::chrono::milliseconds timeout = 20s) {
    return eventually(
        [&] {
          window = findWindow(display, "Halyard");
          return window && (!until || until(*window));
        },
        timeout);
  }

  TempDir dir;
  std::string display;
  std::optional<WindowGeometry> window;
  std::optional<Screenshot> shot;

 private:
  std::optional<XvfbServer> xvfb_;
  std::list<ChildProcess> started_;  // ended before the X server goes
};

// Layer surfaces on the background layer stack in creation order, so a wallpaper client
// drew over the widget; on the bottom layer it stands above the wallpaper and below windows.
TEST_F(DesktopWindow, OnSwayItStandsAboveTheWallpaperAndBelowWindows) {
  if (!installed({"sway", "swaybg", "grim", "foot", "swaymsg"})) return;
  if (!commandOutput(kUnprivileged + "true"))
    GTEST_SKIP() << "this kernel makes no user namespaces, and sway refuses to run as root";
  SwayServer sway(dir.path().string());
  ASSERT_TRUE(sway.ready()) << sway.why();
  shoot = [&] { return sway.screenshot(); };

  ChildProcess& widget = start("widget", unprivileged(runWindow()), widgetEnv(sway.clientEnv()));
  // The medium widget's centre, 24 points in from the top-right corner of the 1024 × 768 output.
  const int x = 1024 - 24 - 364 / 2;
  const int y = 24 + kMediumHeight / 2;
  ASSERT_TRUE(shows(
      [&](const Screenshot& s) {
        return s.at(x, y) != SwayServer::kWallpaper &&
               s.at(x, 24 + kMediumHeight + 4) == SwayServer::kWallpaper;
      },
      20s))
      << "the widget is not drawn over the wallpaper: " << widget.err();

  // A terminal opened later is tiled over the widget and keeps the focus.
  ChildProcess& terminal =
      start("foot", unprivileged({"foot", "-o", "colors.background=00ff00"}), sway.clientEnv());
  EXPECT_TRUE(shows([&](const Screenshot& s) { return s.at(x, y) == 0x00FF00; }, 20s))
      << terminal.err();
  EXPECT_TRUE(sway.client("swaymsg '[app_id=foot con_id=__focused__] nop'"))
      << sway.client("swaymsg -t get_tree").value_or("");
  widget.end();
}

// Under a reparenting window manager: clicks go through, one window per session, position kept.
TEST_F(DesktopWindow, UnderOpenbox) {
  if (!installed({"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"}) || !startX())
    return;
  OpenboxServer openbox(display, dir.path().string());
  ASSERT_TRUE(openbox.ready()) << openbox.why();
  const Env env = xEnv();
  const std::string x = shellEnv(env);
  const auto point = [](int px, int py) { return std::to_string(px) + " " + std::to_string(py); };

  // A green desktop window below everything, which reports the clicks it gets.
  ChildProcess& desktop = start("desktop", {X11_DESKTOP_WINDOW_BINARY}, env);
  ASSERT_TRUE(eventually([&] { return desktop.out().find("mapped") == 0; }, 30s))
      << desktop.out() << desktop.err();

  ChildProcess& first = start("first", runWindow({"--click-through"}), env);
  ASSERT_TRUE(windowUntil()) << first.err();
  const int centreX = window->x + window->width / 2;
  const int centreY = window->y + window->height / 2;
  EXPECT_TRUE(shows([&](const Screenshot& s) { return s.at(centreX, centreY) != 0x00FF00; }))
      << "the widget is hidden behind the desktop window";
  ASSERT_TRUE(commandOutput(x + "xdotool mousemove " + point(centreX, centreY) + " click 1"));
  EXPECT_TRUE(eventually(
      [&] { return desktop.out().find("press " + point(centreX, centreY) + "\n") != npos; }, 10s))
      << "the click did not reach the window below";

  // A second window says that one runs, and which; --replace takes its place.
  ChildProcess& second = start("second", runWindow(), env);
  EXPECT_EQ(second.wait(20s), 0);
  EXPECT_NE(second.err().find("already running (process " + std::to_string(first.pid()) + ")"),
            npos)
      << second.err();
  ChildProcess& third = start("third", runWindow({"--replace"}), env);
  EXPECT_EQ(first.wait(20s), 0);
  ASSERT_TRUE(windowUntil([&](const WindowGeometry&) { return !third.wait(0ms); })) << third.err();

  // Dragged, then killed outright: the next start puts it where it was dropped. Drag only once
  // openbox frames the window (it ignores moves before), again if the pointer outran its grab.
  EXPECT_TRUE(eventually(
      [&] {
        const auto extents =
            commandOutput(x + "xprop -id " + window->id + " _NET_FRAME_EXTENTS", 5);
        return extents && extents->find(" = ") != npos;
      },
      10s))
      << "openbox did not frame the window";
  ASSERT_TRUE(windowUntil());
  const WindowGeometry before = *window;
  const auto dragged = [&] {
    return windowUntil([&](const WindowGeometry& now) { return now.x < before.x - 200; }, 5s);
  };
  for (int attempt = 0; attempt < 3 && (attempt == 0 || !dragged()); ++attempt) {
    ASSERT_TRUE(window);
    ASSERT_TRUE(commandOutput(x + "xdotool mousemove " + point(window->x + 40, window->y + 40) +
                              " mousedown 1 sleep 0.5 mousemove_relative -- -150 60 sleep 0.5 "
                              "mousemove_relative -- -150 60 sleep 0.5 mouseup 1"));
  }
  ASSERT_TRUE(dragged()) << "from " << where(before) << " to " << where(window) << "\n"
                         << third.err() << openbox.log();
  // Saved shortly after the drag ends, while the program runs on.
  const std::string statePath = dir.file("config/halyard-widget/window.ini");
  EXPECT_TRUE(windowUntil(
      [&](const WindowGeometry& now) {
        const std::string state = readFile(statePath);
        return state.find("x=" + std::to_string(now.x) + "\n") != npos &&
               state.find("y=" + std::to_string(now.y) + "\n") != npos;
      },
      10s))
      << readFile(statePath);
  ASSERT_TRUE(window);
  const WindowGeometry dropped = *window;
  third.signal(SIGKILL);
  third.wait(10s);
  ChildProcess& fourth = start("fourth", runWindow(), env);
  EXPECT_TRUE(windowUntil([&](const WindowGeometry& now) { return where(now) == where(dropped); }))
      << "dropped at " << where(dropped) << "; came back at " << where(window);
  fourth.end();
}

// No layer-shell under GNOME: an X11 window, kept below, on every workspace, off the taskbar.
TEST_F(DesktopWindow, OnGnomeItIsAnX11WindowKeptBelow) {
  if (!installed({"mutter", "Xwayland", "dbus-run-session", "xprop"})) return;
  MutterServer mutter(dir.path().string());
  if (!mutter.ready() && mutter.log().find("unshare failed") != npos)
    GTEST_SKIP() << "no mount namespace here for XWayland's socket folder: " << mutter.log();
  ASSERT_TRUE(mutter.ready()) << mutter.why();
  const Env env = widgetEnv(mutter.clientEnv());
  ChildProcess& widget = start("widget", runWindow(), env);
  std::optional<std::string> state;
  EXPECT_TRUE(eventually(
      [&] {
        state = commandOutput(shellEnv(env) + "xprop -name Halyard _NET_WM_STATE", 5);
        return state && state->find("_NET_WM_STATE_BELOW") != npos &&
               state->find("_NET_WM_STATE_STICKY") != npos &&
               state->find("_NET_WM_STATE_SKIP_TASKBAR") != npos;
      },
      30s))
      << state.value_or("no X11 window") << "; " << widget.err();
  widget.end();
}

// Weston without input devices has no seat: the window starts and ends without a warning.
TEST_F(DesktopWindow, OnWestonWithoutAKeyboardItSaysNothing) {
  if (!installed({"weston"})) return;
  WestonServer weston(dir.path().string());
  ASSERT_TRUE(weston.ready()) << weston.why();
  ChildProcess& widget =
      start("widget", runWindow({"-o", dir.file("widget.png")}), widgetEnv(weston.clientEnv()));
  ASSERT_TRUE(eventually([&] { return !widget.out().empty(); }, 20s)) << widget.err();
  std::this_thread::sleep_for(1s);
  widget.end();
  // Nothing to complain about (a sanitizer's own summary may stand there).
  for (const char* complaint : {"CRITICAL", "WARNING", "halyard-widget:"})
    EXPECT_EQ(widget.err().find(complaint), npos) << widget.err();
}

// A bare X server: a dark GTK theme, a compositor that comes and goes, the right button's menu.
TEST_F(DesktopWindow, OnABareXServer) {
  if (!installed({"Xvfb", "xcompmgr", "xwininfo", "import", "xdotool"}) || !startX()) return;
  Env env = xEnv();
  env["GTK_THEME"] = "Adwaita:dark";
  ChildProcess& widget = start("widget", runWindow({"--family", "large"}), env);

  const auto ofDepth = [&](int depth) {
    return windowUntil([&](const WindowGeometry& now) {
      const auto info = commandOutput("xwininfo -display " + display + " -id " + now.id);
      return info && info->find("Depth: " + std::to_string(depth)) != npos;
    });
  };
  ASSERT_TRUE(ofDepth(24)) << widget.err();
  EXPECT_EQ(window->height, 382);
  // Once drawn (black until then; slow on a loaded machine), its corner is the square one.
  ASSERT_TRUE(shows(
      [&](const Screenshot& s) {
        return s.at(window->x + window->width / 2, window->y + window->height / 2) != 0 &&
               s.brightness(window->x, window->y, window->width, window->height) < 90;
      },
      30s))
      << "not the dark widget";
  const std::uint32_t squareCorner = shot->at(window->x, window->y);
  {
    ChildProcess compositor({"xcompmgr"}, {{"DISPLAY", display}}, dir.file("xcompmgr"), true);
    ASSERT_TRUE(ofDepth(32)) << "no window with alpha once composited\n" << widget.err();
    EXPECT_TRUE(shows([&](const Screenshot& s) {
      return s.at(window->x, window->y) != squareCorner &&
             s.at(window->x + window->width / 2, window->y + window->height / 2) != 0;
    })) << "the corner is not transparent";
  }
  // The compositor is gone: square and opaque again.
  EXPECT_TRUE(windowUntil(
      [&](const WindowGeometry& now) {
        return shows([&](const Screenshot& s) { return s.at(now.x, now.y) == squareCorner; }, 0s);
      },
      10s));
  widget.end();

  // Started again without --family it stays large; the menu reads Mediano, Grande, Salir.
  ChildProcess& again = start("again", runWindow(), env);
  ASSERT_TRUE(windowUntil([](const WindowGeometry& now) { return now.height == 382; }))
      << again.err();
  const auto menu = [&](const std::string& keys) {
    return commandOutput(shellEnv(env) + "xdotool mousemove --window " + window->id +
                         " 100 60 click 3 sleep 1.5 key " + keys);
  };
  ASSERT_TRUE(menu("Down Return"));
  EXPECT_TRUE(windowUntil([](const WindowGeometry& now) { return now.height == kMediumHeight; }))
      << "the menu switches to medium";
  ASSERT_TRUE(menu("Down Down Down Return"));
  EXPECT_EQ(again.wait(10s), 0) << "the menu quits";
  EXPECT_NE(readFile(dir.file("config/halyard-widget/window.ini")).find("family=medium"), npos);
}

// Over buses of the test's own: the elements, a label following the file, a failure announced;
// the keyboard, given on request, reaches the menu. The widget sees a home of the test's own.
TEST_F(DesktopWindow, AScreenReaderReadsItAndTheKeyboardReachesIt) {
  if (!installed({"Xvfb", "dbus-run-session", "/usr/libexec/at-spi-bus-launcher", "xdotool",
                  "xwininfo", "unshare"}))
    return;
  if (!commandOutput("/usr/bin/python3 -c 'import pyatspi'"))
    GTEST_SKIP() << "python3-pyatspi is not installed";
  if (!commandOutput("unshare --mount --map-root-user true"))
    GTEST_SKIP() << "no private mount namespaces here (unshare)";
  if (!startX()) return;
  Env env = xEnv();
  env["NO_AT_BRIDGE"] = "";
  // The bus's socket goes to the runtime folder: the widget sees another home folder.
  ChildProcess& buses = start("buses",
                              {"dbus-run-session", "--", "sh", "-c",
                               "echo \"$DBUS_SESSION_BUS_ADDRESS\" && exec "
                               "/usr/libexec/at-spi-bus-launcher --launch-immediately"},
                              {{"DISPLAY", display}, {"XDG_RUNTIME_DIR", env["XDG_RUNTIME_DIR"]}});
  ASSERT_TRUE(eventually([&] { return buses.out().find('\n') != npos; }, 10s)) << buses.err();
  env["DBUS_SESSION_BUS_ADDRESS"] = buses.out().substr(0, buses.out().find('\n'));

  const std::string snapshot =
      dir.file("home/Library/Application Support/Halyard/widget-snapshot.json");
  std::filesystem::create_directories(std::filesystem::path(snapshot).parent_path());
  auto document = nlohmann::json::parse(readFile(sourcePath("examples/full.json")));
  writeFile(snapshot, document.dump());
  const auto run = "exec " + withHome(dir.file("home")) + HALYARD_WIDGET_BINARY +
                   " run --window --family large --watch '" + snapshot + "' --debounce-ms 50";
  ChildProcess& widget = start("widget", {"sh", "-c", run}, env);

  const std::string x = shellEnv(env);
  const std::string reader =
      x + "/usr/bin/python3 " + sourcePath("tests/widget/read_accessible.py") + " ";
  nlohmann::json tree;
  const auto read = [&](const std::function<bool(const nlohmann::json&)>& until) {
    return eventually(
        [&] {
          const auto out = commandOutput(reader + "tree 'Halyard: uso de backups'", 10);
          tree = nlohmann::json::parse(out.value_or("null"), nullptr, false);
          return tree.is_object() && until(tree["children"]);
        },
        20s);
  };
  ASSERT_TRUE(read([](const nlohmann::json& children) { return children.size() == 11; }))
      << tree.dump() << widget.err();
  // Headings marked "#", as in the view's own test.
  std::vector<std::string> names;
  const auto box = tree["extents"].get<std::vector<int>>();
  for (const auto& child : tree["children"]) {
    const std::string name = child["name"], role = child["role"];
    EXPECT_EQ(child["text"], name);
    EXPECT_TRUE(role == "heading" || role == "label") << role;
    names.push_back((role == "heading" ? "#" : "") + name);
    const auto extents = child["extents"].get<std::vector<int>>();
    EXPECT_TRUE(extents[2] > 0 && extents[0] >= box[0] && extents[1] >= box[1] &&
                extents[0] + extents[2] <= box[0] + box[2] &&
                extents[1] + extents[3] <= box[1] + box[3])
        << name << " outside the window";
  }
  names.back().erase(names.back().rfind(", ") + 2);  // the next backup's date
  EXPECT_EQ(names, (std::vector<std::string>{
                       "1,2 TB; 3 repos, 128 archivos; estado: correcto", "#Por proveedor",
                       "Local, 768 GB", "Remoto, 384 GB", "Caja, 76,8 GB", "#Por repositorio",
                       "fotos, 570 GB", "documentos, 384 GB", "proyectos, 198 GB",
                       "correo, 76,8 GB", "Próximo backup: fotos, Diario, "}));

  // The backups fail: the header says so, and the failure is announced.
  ChildProcess& listener = start("listener", {"sh", "-c", reader + "announcements 20"}, {});
  ASSERT_TRUE(eventually([&] { return listener.out() == "ready\n"; }, 20s)) << listener.err();
  document["health"] = "error";
  writeFile(snapshot, document.dump());
  EXPECT_EQ(listener.wait(25s), 0);
  EXPECT_EQ(listener.out(), "ready\nHalyard: error en los backups\n") << listener.err();
  EXPECT_TRUE(read([](const nlohmann::json& children) {
    return !children.empty() &&
           children[0]["name"] == "1,2 TB; 3 repos, 128 archivos; estado: error";
  })) << tree.dump();

  // Shift+F10 opens the menu (Mediano first).
  ASSERT_TRUE(windowUntil());
  const auto hasFocus = [&] {
    const auto id = commandOutput(x + "xdotool getwindowfocus -f 2>/dev/null", 5);
    return id && std::stoul(*id) == std::stoul(window->id, nullptr, 16);
  };
  EXPECT_FALSE(hasFocus());
  ChildProcess& focus = start("focus", {HALYARD_WIDGET_BINARY, "run", "--focus"}, env);
  EXPECT_EQ(focus.wait(10s), 0) << focus.err();
  ASSERT_TRUE(eventually(hasFocus, 10s));
  ASSERT_TRUE(commandOutput(x + "xdotool key shift+F10 sleep 1 key Return"));
  EXPECT_TRUE(
      windowUntil([](const WindowGeometry& now) { return now.height == kMediumHeight; }, 10s))
      << "the menu did not switch to medium";
  ASSERT_TRUE(commandOutput(x + "xdotool key Escape"));
  EXPECT_TRUE(eventually([&] { return !hasFocus(); }, 10s));
  widget.end();
}

// The Debian package unpacked into HALYARD_PACKAGE_ROOT (the package check sets it): it draws,
// and `run --window` finds its window program in its libexec folder.
using InstalledPackage = DesktopWindow;
TEST_F(InstalledPackage, DrawsAndOpensItsWindowFromItsOwnFolders) {
  const char* root = std::getenv("HALYARD_PACKAGE_ROOT");
  if (root == nullptr) GTEST_SKIP() << "HALYARD_PACKAGE_ROOT names no unpacked package";
  if (!installed({"Xvfb", "xwininfo"}) || !startX()) return;
  const std::string program = std::string(root) + "/usr/bin/halyard-widget";
  ChildProcess& render = start(
      "render", {program, "render", "--family", "medium", "-o", dir.file("medium.png")}, xEnv());
  EXPECT_EQ(render.wait(60s), 0) << render.err();
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("medium.png")));

  ChildProcess& widget =
      start("widget", {program, "run", "--window", "--watch", dir.file("watched.json")}, xEnv());
  EXPECT_TRUE(windowUntil()) << widget.err();
  widget.end();
}

}  // namespace
}  // namespace halyard
