// `halyard-widget run --window` on the desktops people use, each started for the test: sway
// with a wallpaper, openbox, GNOME's mutter with XWayland, Weston, and a bare X server that
// gains a compositor later.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "platform/host/display_servers.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::eventually;
using testing::findWindow;
using testing::readFile;
using testing::shellEnv;
using testing::TempDir;
using testing::WindowGeometry;

using Env = std::map<std::string, std::string>;

constexpr int kMediumWidth = 364;
constexpr int kMediumHeight = 170;

void skipWithout(std::initializer_list<const char*> tools) {
  for (const char* tool : tools)
    if (!testing::commandOutput(std::string("sh -c 'command -v ") + tool + "'"))
      GTEST_SKIP() << tool << " is not installed";
}

// The window program's command line, watching a file of the test's own.
std::vector<std::string> runWindow(const TempDir& dir, std::vector<std::string> extra = {}) {
  std::vector<std::string> argv{HALYARD_WIDGET_BINARY, "run", "--window", "--watch",
                                dir.file("watched.json")};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

Env widgetEnv(const TempDir& dir, Env server) {
  server["XDG_CONFIG_HOME"] = dir.file("config");
  server["NO_AT_BRIDGE"] = "1";
  if (!server.contains("XDG_RUNTIME_DIR"))
    server["XDG_RUNTIME_DIR"] = testing::privateRuntimeDir(dir.file("run"));
  return server;
}

// Whether a node of sway's tree with this app_id has the focus.
bool focused(const nlohmann::json& node, const std::string& appId) {
  if (node.value("app_id", nlohmann::json()).is_string() && node["app_id"] == appId)
    return node.value("focused", false);
  for (const char* children : {"nodes", "floating_nodes"})
    for (const auto& child : node.value(children, nlohmann::json::array()))
      if (focused(child, appId)) return true;
  return false;
}

// Layer surfaces on the background layer stack in creation order, so a wallpaper client
// drew over the widget; on the bottom layer it stands above the wallpaper and below windows.
TEST(DesktopWindow, OnSwayItStandsAboveTheWallpaperAndBelowWindows) {
  skipWithout({"sway", "swaybg", "grim", "foot", "swaymsg"});
  if (!testing::userNamespacesWork())
    GTEST_SKIP() << "this kernel makes no user namespaces, and sway refuses to run as root";
  TempDir dir;
  testing::SwayServer sway(dir.path().string(), "ff00ff");
  ASSERT_TRUE(sway.ready()) << sway.why();

  ChildProcess widget(testing::unprivileged(runWindow(dir)), widgetEnv(dir, sway.clientEnv()),
                      dir.file("out"), dir.file("err"), std::nullopt, true);
  // The top-right corner, 24 points in from each edge of the 1024 × 768 output.
  const int x = 1024 - 24 - kMediumWidth / 2;
  const int y = 24 + kMediumHeight / 2;
  ASSERT_TRUE(eventually(
      [&] {
        const auto shot = sway.screenshot();
        return shot && shot->at(x, y) != 0xFF00FF &&
               shot->at(x, 24 + kMediumHeight + 4) == 0xFF00FF;
      },
      20s))
      << "the widget is not drawn over the wallpaper\n"
      << readFile(dir.file("err"));

  // A terminal opened later is tiled over the whole output: it covers the widget and keeps
  // the focus.
  ChildProcess terminal(testing::unprivileged({"foot", "-o", "colors.background=00ff00"}),
                        sway.clientEnv(), "/dev/null", dir.file("foot.err"), std::nullopt, true);
  EXPECT_TRUE(eventually(
      [&] {
        const auto shot = sway.screenshot();
        return shot && shot->at(x, y) == 0x00FF00;
      },
      20s))
      << readFile(dir.file("foot.err"));
  const auto tree = sway.message("-t get_tree");
  ASSERT_TRUE(tree);
  EXPECT_TRUE(focused(nlohmann::json::parse(*tree), "foot")) << *tree;

  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0) << readFile(dir.file("err"));
}

// Under a reparenting window manager: clicks through the widget, one window per session,
// and the position kept however the program ends.
TEST(DesktopWindow, UnderOpenbox) {
  skipWithout({"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "import"});
  TempDir dir;
  testing::XvfbServer server(dir.file("xvfb.log"));
  ASSERT_FALSE(server.display().empty()) << readFile(dir.file("xvfb.log"));
  const std::string& display = server.display();
  testing::X11WindowManager openbox({"openbox", "--sm-disable"}, display, dir.file("openbox.log"));
  ASSERT_TRUE(openbox.ready()) << openbox.why();
  const Env env =
      widgetEnv(dir, {{"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}, {"GDK_BACKEND", ""}});

  // A green desktop window below everything, which reports the clicks it gets.
  ChildProcess desktop({X11_DESKTOP_WINDOW_BINARY}, env, dir.file("desktop.out"),
                       dir.file("desktop.err"), std::nullopt, true);
  ASSERT_TRUE(
      eventually([&] { return readFile(dir.file("desktop.out")).find("mapped") == 0; }, 10s))
      << readFile(dir.file("desktop.out")) << readFile(dir.file("desktop.err"));

  ChildProcess first(runWindow(dir, {"--click-through"}), env, dir.file("out1"), dir.file("err1"),
                     std::nullopt, true);
  std::optional<WindowGeometry> window;
  ASSERT_TRUE(
      eventually([&] { return (window = findWindow(display, "Halyard")).has_value(); }, 20s))
      << readFile(dir.file("err1"));
  const int centreX = window->x + window->width / 2;
  const int centreY = window->y + window->height / 2;
  EXPECT_TRUE(eventually(
      [&] {
        const auto shot = testing::xScreenshot(display, dir.file("shot.ppm"));
        return shot && shot->at(centreX, centreY) != 0x00FF00;
      },
      10s))
      << "the widget is hidden behind the desktop window";
  ASSERT_TRUE(testing::commandOutput("env DISPLAY=" + display + " xdotool mousemove " +
                                     std::to_string(centreX) + " " + std::to_string(centreY) +
                                     " click 1"));
  EXPECT_TRUE(eventually(
      [&] {
        return readFile(dir.file("desktop.out")).find("press " + std::to_string(centreX)) !=
               std::string::npos;
      },
      10s))
      << "the click did not reach the window below";

  // A second window says that one runs, and which; --replace takes its place.
  ChildProcess second(runWindow(dir), env, dir.file("out2"), dir.file("err2"));
  EXPECT_EQ(second.wait(20s), 0);
  EXPECT_NE(readFile(dir.file("err2"))
                .find("already running (process " + std::to_string(first.pid()) + ")"),
            std::string::npos)
      << readFile(dir.file("err2"));
  ChildProcess third(runWindow(dir, {"--replace"}), env, dir.file("out3"), dir.file("err3"),
                     std::nullopt, true);
  EXPECT_EQ(first.wait(20s), 0);
  ASSERT_TRUE(eventually(
      [&] {
        window = findWindow(display, "Halyard");
        return window && window->id != "" && third.running();
      },
      20s))
      << readFile(dir.file("err3"));

  // Dragged elsewhere, then killed outright: the next start puts it where it was dropped.
  // The drag starts once the window manager has framed the window (it ignores a move asked for
  // by a window it does not manage yet), and is tried again if a busy machine let the pointer
  // run ahead of the window manager's grab.
  const std::string x = "env DISPLAY=" + display + " ";
  EXPECT_TRUE(eventually(
      [&] {
        const auto extents =
            testing::commandOutput(x + "xprop -id " + window->id + " _NET_FRAME_EXTENTS", 5);
        return extents && extents->find(" = ") != std::string::npos;
      },
      10s))
      << "openbox did not frame the window";
  window = findWindow(display, "Halyard");
  ASSERT_TRUE(window);
  const WindowGeometry before = *window;
  const auto dragged = [&] {
    return eventually(
        [&] {
          window = findWindow(display, "Halyard");
          return window && window->x < before.x - 200;
        },
        5s);
  };
  for (int attempt = 0; attempt < 3 && (attempt == 0 || !dragged()); ++attempt) {
    ASSERT_TRUE(
        testing::commandOutput(x + "xdotool mousemove " + std::to_string(window->x + 40) + " " +
                               std::to_string(window->y + 40) +
                               " mousedown 1 sleep 0.5 mousemove_relative -- -150 60 sleep 0.5 "
                               "mousemove_relative -- -150 60 sleep 0.5 mouseup 1"));
  }
  ASSERT_TRUE(dragged()) << "from " << before.x << "," << before.y << " to "
                         << (window ? std::to_string(window->x) + "," + std::to_string(window->y)
                                    : "nowhere")
                         << "\n"
                         << readFile(dir.file("err3")) << readFile(dir.file("openbox.log"));
  // Saved shortly after the drag ends, while the program runs on.
  const std::string statePath = dir.file("config/halyard-widget/window.ini");
  EXPECT_TRUE(eventually(
      [&] {
        window = findWindow(display, "Halyard");
        const std::string state = readFile(statePath);
        return window && state.find("x=" + std::to_string(window->x) + "\n") != std::string::npos &&
               state.find("y=" + std::to_string(window->y) + "\n") != std::string::npos;
      },
      10s))
      << readFile(statePath);
  third.signal(SIGKILL);
  third.wait(10s);
  ChildProcess fourth(runWindow(dir), env, dir.file("out4"), dir.file("err4"), std::nullopt, true);
  std::optional<WindowGeometry> again;
  EXPECT_TRUE(eventually(
      [&] {
        again = findWindow(display, "Halyard");
        return again && again->x == window->x && again->y == window->y;
      },
      20s))
      << "dropped at " << window->x << "," << window->y << "; came back at "
      << (again ? std::to_string(again->x) + "," + std::to_string(again->y) : "nowhere");
  // The session that started it going away ends it as cleanly as SIGTERM.
  fourth.signal(SIGHUP);
  EXPECT_EQ(fourth.wait(10s), 0) << readFile(dir.file("err4"));
}

// GNOME's compositor has no layer-shell: the window goes through XWayland, where the
// compositor honours the hints that keep it below, on every workspace, out of the taskbar.
TEST(DesktopWindow, OnGnomeItIsAnX11WindowKeptBelow) {
  skipWithout({"mutter", "Xwayland", "dbus-run-session", "xprop", "xdotool"});
  TempDir dir;
  testing::MutterServer mutter(dir.path().string());
  if (!mutter.ready() && mutter.log().find("unshare failed") != std::string::npos)
    GTEST_SKIP() << "no mount namespace here for XWayland's socket folder: " << mutter.log();
  ASSERT_TRUE(mutter.ready()) << mutter.why();
  const Env env = widgetEnv(dir, mutter.clientEnv());
  ChildProcess widget(runWindow(dir), env, dir.file("out"), dir.file("err"), std::nullopt, true);
  const std::string x = testing::shellEnv(env);
  std::optional<std::string> state;
  EXPECT_TRUE(eventually(
      [&] {
        const auto ids = testing::commandOutput(x + "xdotool search --name '^Halyard$'", 5);
        if (!ids || ids->empty()) return false;
        state = testing::commandOutput(
            x + "xprop -id " + ids->substr(0, ids->find('\n')) + " _NET_WM_STATE", 5);
        return state && state->find("_NET_WM_STATE_BELOW") != std::string::npos &&
               state->find("_NET_WM_STATE_STICKY") != std::string::npos &&
               state->find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos;
      },
      30s))
      << state.value_or("no X11 window") << "\n"
      << readFile(dir.file("err"));
  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0) << readFile(dir.file("err"));
}

// Weston without input devices has no seat: the window, which takes no keyboard input,
// starts and ends without a warning.
TEST(DesktopWindow, OnWestonWithoutAKeyboardItSaysNothing) {
  skipWithout({"weston"});
  TempDir dir;
  testing::WestonServer weston(dir.path().string());
  ASSERT_TRUE(weston.ready()) << weston.why();
  ChildProcess widget(runWindow(dir, {"-o", dir.file("widget.png")}),
                      widgetEnv(dir, weston.clientEnv()), dir.file("out"), dir.file("err"),
                      std::nullopt, true);
  ASSERT_TRUE(eventually([&] { return !readFile(dir.file("out")).empty(); }, 20s))
      << readFile(dir.file("err"));
  std::this_thread::sleep_for(1s);
  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0);
  // Nothing to complain about (a sanitizer's own summary may stand there).
  const std::string err = readFile(dir.file("err"));
  for (const char* complaint : {"CRITICAL", "WARNING", "halyard-widget:"})
    EXPECT_EQ(err.find(complaint), std::string::npos) << err;
}

// A bare X server: a FIFO where the state file belongs does not hold up the start, a dark
// GTK theme gives the dark widget, a compositor started later (and stopped again) is
// followed, and the right button's menu switches the family (remembered) and quits.
TEST(DesktopWindow, OnABareXServer) {
  skipWithout({"Xvfb", "xcompmgr", "xwininfo", "import", "xdotool"});
  TempDir dir;
  testing::XvfbServer server(dir.file("xvfb.log"));
  ASSERT_FALSE(server.display().empty()) << readFile(dir.file("xvfb.log"));
  const std::string& display = server.display();
  std::filesystem::create_directories(dir.file("config/halyard-widget"));
  ASSERT_EQ(::mkfifo(dir.file("config/halyard-widget/window.ini").c_str(), 0600), 0);
  Env env = widgetEnv(dir, {{"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}, {"GDK_BACKEND", ""}});
  env["GTK_THEME"] = "Adwaita:dark";
  ChildProcess widget(runWindow(dir, {"--family", "large"}), env, dir.file("out"), dir.file("err"),
                      std::nullopt, true);

  std::optional<WindowGeometry> window;
  std::optional<testing::Screenshot> shot;
  const auto look = [&](int depth) {
    return eventually(
        [&] {
          window = findWindow(display, "Halyard");
          if (!window) return false;
          const auto info =
              testing::commandOutput("xwininfo -display " + display + " -id " + window->id);
          if (!info || info->find("Depth: " + std::to_string(depth)) == std::string::npos)
            return false;
          shot = testing::xScreenshot(display, dir.file("shot.ppm"));
          return shot.has_value();
        },
        20s);
  };
  ASSERT_TRUE(look(24)) << readFile(dir.file("err"));
  EXPECT_EQ(window->height, 382);
  EXPECT_GE(window->x, 0);
  EXPECT_LE(window->x + window->width, 1024);
  EXPECT_GE(window->y, 0);
  EXPECT_LE(window->y + window->height, 768);
  EXPECT_LT(shot->brightness(window->x, window->y, window->width, window->height), 90)
      << "not the dark widget";
  const std::uint32_t squareCorner = shot->at(window->x, window->y);

  {
    ChildProcess compositor({"xcompmgr"}, {{"DISPLAY", display}}, "/dev/null",
                            dir.file("xcompmgr.log"), std::nullopt, true);
    ASSERT_TRUE(look(32)) << "no window with alpha once composited\n" << readFile(dir.file("err"));
    EXPECT_TRUE(eventually(
        [&] {
          shot = testing::xScreenshot(display, dir.file("shot.ppm"));
          return shot && shot->at(window->x, window->y) != squareCorner &&
                 shot->at(window->x + window->width / 2, window->y + window->height / 2) != 0;
        },
        10s))
        << "the corner is not transparent";
  }
  // The compositor is gone: square and opaque again.
  EXPECT_TRUE(eventually(
      [&] {
        shot = testing::xScreenshot(display, dir.file("shot.ppm"));
        window = findWindow(display, "Halyard");
        return shot && window && shot->at(window->x, window->y) == squareCorner;
      },
      10s));
  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0) << readFile(dir.file("err"));

  // Started again without --family, it comes back as it was; the right button's menu reads
  // Mediano, Grande, Salir.
  ChildProcess again(runWindow(dir), env, dir.file("out2"), dir.file("err2"), std::nullopt, true);
  ASSERT_TRUE(eventually(
      [&] { return (window = findWindow(display, "Halyard")) && window->height == 382; }, 20s))
      << readFile(dir.file("err2"));
  const auto menu = [&](const std::string& keys) {
    return testing::commandOutput("env DISPLAY=" + display + " xdotool mousemove --window " +
                                  window->id + " 100 60 click 3 sleep 1.5 key " + keys);
  };
  ASSERT_TRUE(menu("Down Return"));
  EXPECT_TRUE(eventually(
      [&] { return (window = findWindow(display, "Halyard")) && window->height == 170; }, 20s))
      << "the menu switches to medium";
  ASSERT_TRUE(menu("Down Down Down Return"));
  EXPECT_EQ(again.wait(10s), 0) << "the menu quits";
  EXPECT_NE(readFile(dir.file("config/halyard-widget/window.ini")).find("family=medium"),
            std::string::npos);
}

// What a screen reader finds over the accessibility bus (its own session bus and bus, ended
// with the test): the window's elements with their names and places, a label that follows the
// file, a failure announced; then the keyboard, given on request, reaches the menu and goes
// back with Escape. The widget reads a home folder of the test's own, mounted over the
// account's in a private mount namespace.
TEST(DesktopWindow, AScreenReaderReadsItAndTheKeyboardReachesIt) {
  skipWithout({"Xvfb", "dbus-run-session", "/usr/libexec/at-spi-bus-launcher", "xdotool",
               "xwininfo", "unshare"});
  if (!testing::commandOutput("/usr/bin/python3 -c 'import pyatspi'"))
    GTEST_SKIP() << "python3-pyatspi is not installed";
  TempDir dir;
  testing::XvfbServer server(dir.file("xvfb.log"));
  ASSERT_FALSE(server.display().empty()) << readFile(dir.file("xvfb.log"));
  const std::string& display = server.display();
  Env env = widgetEnv(dir, {{"DISPLAY", display}, {"WAYLAND_DISPLAY", ""}, {"GDK_BACKEND", ""}});
  env["NO_AT_BRIDGE"] = "";
  // The accessibility bus's socket goes to the runtime folder (not the home folder, which the
  // widget sees replaced).
  ChildProcess buses({"dbus-run-session", "--", "sh", "-c",
                      "echo \"$DBUS_SESSION_BUS_ADDRESS\" > \"$0\" && exec "
                      "/usr/libexec/at-spi-bus-launcher --launch-immediately",
                      dir.file("bus")},
                     {{"DISPLAY", display}, {"XDG_RUNTIME_DIR", env["XDG_RUNTIME_DIR"]}},
                     "/dev/null", dir.file("bus.log"), std::nullopt, true);
  ASSERT_TRUE(
      eventually([&] { return readFile(dir.file("bus")).find('\n') != std::string::npos; }, 10s))
      << readFile(dir.file("bus.log"));
  env["DBUS_SESSION_BUS_ADDRESS"] = readFile(dir.file("bus"));
  env["DBUS_SESSION_BUS_ADDRESS"].pop_back();

  const std::string snapshot =
      dir.file("home/Library/Application Support/Halyard/widget-snapshot.json");
  std::filesystem::create_directories(std::filesystem::path(snapshot).parent_path());
  auto document = nlohmann::json::parse(readFile(testing::sourcePath("examples/full.json")));
  testing::writeFile(snapshot, document.dump());
  if (!testing::commandOutput("unshare --mount --map-root-user true"))
    GTEST_SKIP() << "no private mount namespaces here (unshare)";
  ChildProcess widget({"unshare", "--mount", "--map-root-user", "sh", "-c",
                       "mount --bind \"$0\" \"$(getent passwd \"$(id -u)\" | cut -d: -f6)\" && "
                       "exec \"$@\"",
                       dir.file("home"), HALYARD_WIDGET_BINARY, "run", "--window", "--family",
                       "large", "--watch", snapshot, "--debounce-ms", "50"},
                      env, dir.file("out"), dir.file("err"), std::nullopt, true);

  const std::string reader = shellEnv(env) + "/usr/bin/python3 " +
                             testing::sourcePath("tests/widget/read_accessible.py") + " ";
  nlohmann::json tree;
  const auto read = [&](const std::function<bool(const nlohmann::json&)>& until) {
    return eventually(
        [&] {
          const auto out = testing::commandOutput(reader + "tree 'Halyard: uso de backups'", 10);
          tree = nlohmann::json::parse(out.value_or("null"), nullptr, false);
          return tree.is_object() && until(tree["children"]);
        },
        20s);
  };
  ASSERT_TRUE(read([](const nlohmann::json& children) { return children.size() == 11; }))
      << tree.dump() << readFile(dir.file("err"));
  const std::vector<std::string> names{"1,2 TB; 3 repos, 128 archivos; estado: correcto",
                                       "Por proveedor",
                                       "Local, 768 GB",
                                       "Remoto, 384 GB",
                                       "Caja, 76,8 GB",
                                       "Por repositorio",
                                       "fotos, 570 GB",
                                       "documentos, 384 GB",
                                       "proyectos, 198 GB",
                                       "correo, 76,8 GB"};
  const auto box = tree["extents"].get<std::vector<int>>();
  for (std::size_t i = 0; i < tree["children"].size(); ++i) {
    const auto& child = tree["children"][i];
    const std::string name = child["name"];
    if (i < names.size()) {
      EXPECT_EQ(name, names[i]);
    }
    EXPECT_EQ(child["text"], name);
    EXPECT_EQ(child["role"], i == 1 || i == 5 ? "heading" : "label") << name;
    const auto extents = child["extents"].get<std::vector<int>>();
    EXPECT_GT(extents[2], 0) << name;
    EXPECT_GE(extents[0], box[0]) << name;
    EXPECT_GE(extents[1], box[1]) << name;
    EXPECT_LE(extents[0] + extents[2], box[0] + box[2]) << name;
    EXPECT_LE(extents[1] + extents[3], box[1] + box[3]) << name;
  }
  EXPECT_EQ(
      tree["children"][10]["name"].get<std::string>().rfind("Próximo backup: fotos, Diario, ", 0),
      0u);

  // The backups fail: the header says so, and the failure is announced.
  ChildProcess listener({"sh", "-c", reader + "announcements 20"}, {}, dir.file("said"),
                        dir.file("listener.err"), std::nullopt, true);
  ASSERT_TRUE(eventually([&] { return readFile(dir.file("said")) == "ready\n"; }, 20s))
      << readFile(dir.file("listener.err"));
  document["health"] = "error";
  testing::writeFile(snapshot, document.dump());
  EXPECT_EQ(listener.wait(25s), 0);
  EXPECT_EQ(readFile(dir.file("said")), "ready\nHalyard: error en los backups\n")
      << readFile(dir.file("listener.err"));
  EXPECT_TRUE(read([](const nlohmann::json& children) {
    return !children.empty() &&
           children[0]["name"] == "1,2 TB; 3 repos, 128 archivos; estado: error";
  })) << tree.dump();

  // Asked for, the window takes the keyboard: Shift+F10 opens its menu (Mediano chosen first),
  // Escape gives the keyboard back.
  const auto window = findWindow(display, "Halyard");
  ASSERT_TRUE(window);
  const auto focused = [&] {
    const auto id =
        testing::commandOutput(shellEnv(env) + "xdotool getwindowfocus -f 2>/dev/null", 5);
    return id && std::stoul(*id) == std::stoul(window->id, nullptr, 16);
  };
  EXPECT_FALSE(focused());
  ChildProcess focus({HALYARD_WIDGET_BINARY, "run", "--focus"}, env, dir.file("focus.out"),
                     dir.file("focus.err"));
  EXPECT_EQ(focus.wait(10s), 0) << readFile(dir.file("focus.err"));
  ASSERT_TRUE(eventually(focused, 10s));
  ASSERT_TRUE(testing::commandOutput(shellEnv(env) + "xdotool key shift+F10 sleep 1 key Return"));
  EXPECT_TRUE(eventually(
      [&] {
        const auto now = findWindow(display, "Halyard");
        return now && now->height == kMediumHeight;
      },
      10s))
      << "the menu did not switch to medium";
  ASSERT_TRUE(testing::commandOutput(shellEnv(env) + "xdotool key Escape"));
  EXPECT_TRUE(eventually([&] { return !focused(); }, 10s));

  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0) << readFile(dir.file("err"));
}

// The program as the Debian package installs it, unpacked into HALYARD_PACKAGE_ROOT (the
// package check sets it): it draws, and `run --window` finds its window program in its
// libexec folder.
TEST(InstalledPackage, DrawsAndOpensItsWindowFromItsOwnFolders) {
  const char* root = std::getenv("HALYARD_PACKAGE_ROOT");
  if (root == nullptr) GTEST_SKIP() << "HALYARD_PACKAGE_ROOT names no unpacked package";
  skipWithout({"Xvfb", "xwininfo"});
  const std::string program = std::string(root) + "/usr/bin/halyard-widget";
  TempDir dir;
  ChildProcess render({program, "render", "--family", "medium", "-o", dir.file("medium.png")},
                      widgetEnv(dir, {}), dir.file("out"), dir.file("err"));
  EXPECT_EQ(render.wait(60s), 0) << readFile(dir.file("err"));
  EXPECT_TRUE(std::filesystem::is_regular_file(dir.file("medium.png")));

  testing::XvfbServer server(dir.file("xvfb.log"));
  ASSERT_FALSE(server.display().empty()) << readFile(dir.file("xvfb.log"));
  ChildProcess widget(
      {program, "run", "--window", "--watch", dir.file("watched.json")},
      widgetEnv(dir, {{"DISPLAY", server.display()}, {"WAYLAND_DISPLAY", ""}, {"GDK_BACKEND", ""}}),
      dir.file("out"), dir.file("err"), std::nullopt, true);
  EXPECT_TRUE(eventually([&] { return findWindow(server.display(), "Halyard").has_value(); }, 20s))
      << readFile(dir.file("err"));
  widget.signal(SIGTERM);
  EXPECT_EQ(widget.wait(10s), 0) << readFile(dir.file("err"));
}

}  // namespace
}  // namespace halyard
