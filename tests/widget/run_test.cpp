// halyard-widget run as a process: the picture it keeps, how it ends, and its desktop window
// under a private X server. The widget reads its own snapshot file (never written here); the
// tests watch a file of their own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "platform/host/child_process.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::eventually;
using testing::readFile;
using testing::TempDir;

std::size_t lineCount(const std::string& path) {
  const std::string text = readFile(path);
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(RunCommand, KeepsThePictureOfTheWidgetAndEndsOnSigterm) {
  TempDir dir;
  const std::string image = dir.file("widget.png");
  const std::string watched = dir.file("watched.json");
  ChildProcess child({HALYARD_WIDGET_BINARY, "run", "--family", "large", "-o", image, "--watch",
                      watched, "--debounce-ms", "50", "--appearance", "dark"},
                     {{"XDG_CONFIG_HOME", dir.file("config")}}, dir.file("out"), dir.file("err"));
  ASSERT_TRUE(eventually([&] { return lineCount(dir.file("out")) == 1; }, 20s))
      << readFile(dir.file("err"));
  EXPECT_EQ(testing::decodedPngFileSize(image),
            (std::pair<unsigned, unsigned>{728, 764}));  // large at scale 2

  // The watched file changes, the widget is asked again, but what it shows is the same.
  testing::writeFile(watched, "{}");
  std::this_thread::sleep_for(600ms);
  child.signal(SIGTERM);
  EXPECT_EQ(child.wait(10s), 0);
  EXPECT_EQ(lineCount(dir.file("out")), 1u);
  // Nothing to complain about (a sanitizer's own report may stand there).
  EXPECT_EQ(readFile(dir.file("err")).find("halyard-widget:"), std::string::npos)
      << readFile(dir.file("err"));
  EXPECT_FALSE(std::filesystem::exists(dir.file("config"))) << "only the window keeps a state";
}

TEST(RunCommand, TheWindowProgramTakesOverAndSaysWhenThereIsNoDisplay) {
  TempDir dir;
  ChildProcess child({HALYARD_WIDGET_BINARY, "run", "--window", "--watch", dir.file("w.json")},
                     {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}}, dir.file("out"), dir.file("err"));
  EXPECT_EQ(child.wait(20s), 3);
  EXPECT_NE(readFile(dir.file("err")).find("halyard-widget: cannot open a display: neither"),
            std::string::npos)
      << readFile(dir.file("err"));
}

// Voluntary context switches of every thread of process `pid`: how often it woke up.
long wakeUps(int pid) {
  long total = 0;
  for (const auto& task :
       std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    std::istringstream status(readFile(task.path().string() + "/status"));
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(24));
  }
  return total;
}

// Between reload dates and file changes nothing runs: no timer, no polling (GLib's file
// monitors poll every four seconds for an entry of the root folder, such as /tmp or the
// folder of the home folders). The watched file's folder is missing, right below /mnt; the
// program runs in a private mount namespace with a /mnt of its own, which nothing else
// touches.
TEST(RunCommand, IdlesWithoutWakingUp) {
  TempDir dir;
  ChildProcess child({"/usr/bin/unshare", "--mount", "--map-root-user", "sh", "-c",
                      "mount -t tmpfs none /mnt && exec \"$0\" run -o /mnt/w.png --watch "
                      "/mnt/absent/widget.json",
                      HALYARD_WIDGET_BINARY},
                     {}, dir.file("out"), dir.file("err"));
  if (!eventually([&] { return lineCount(dir.file("out")) == 1; }, 20s))
    GTEST_SKIP() << "no private mount namespace with its own /mnt here: "
                 << readFile(dir.file("err"));
  std::this_thread::sleep_for(1s);
  const long before = wakeUps(child.pid());
  std::this_thread::sleep_for(12s);
  EXPECT_LE(wakeUps(child.pid()) - before, 1);
  child.signal(SIGTERM);
  EXPECT_EQ(child.wait(10s), 0);
}

struct WindowGeometry {
  std::string id;
  int width = 0;
  int height = 0;
  int x = 0;
  int y = 0;
};

// The top-level window named `title` on `display`, from xwininfo's tree.
std::optional<WindowGeometry> findWindow(const std::string& display, const std::string& title) {
  const auto tree = testing::commandOutput("xwininfo -display " + display + " -root -tree", 10);
  if (!tree) return std::nullopt;
  // A line reads: 0x200003 "Halyard": ("halyard-widget" "Halyard-widget")  364x382+636+24  ...
  std::istringstream lines(*tree);
  for (std::string line; std::getline(lines, line);) {
    const auto name = line.find(" \"" + title + "\": ");
    const auto geometry = line.find(")  ", name);
    if (name == std::string::npos || geometry == std::string::npos) continue;
    WindowGeometry window;
    std::istringstream(line.substr(0, name)) >> window.id;
    if (std::sscanf(line.c_str() + geometry + 3, "%dx%d%d%d", &window.width, &window.height,
                    &window.x, &window.y) == 4)
      return window;
  }
  return std::nullopt;
}

TEST(RunCommand, ShowsTheWidgetInADesktopWindow) {
  for (const char* tool :
       {"/usr/bin/Xvfb", "/usr/bin/xwininfo", "/usr/bin/import", "/usr/bin/identify"}) {
    if (!testing::executableExists(tool)) GTEST_SKIP() << tool << " is not installed";
  }
  TempDir dir;
  testing::XvfbServer server(dir.file("xvfb.log"));
  if (server.display().empty())
    GTEST_SKIP() << "Xvfb did not start: " << readFile(dir.file("xvfb.log"));

  const std::map<std::string, std::string> env{{"DISPLAY", server.display()},
                                               {"WAYLAND_DISPLAY", ""},
                                               {"GDK_BACKEND", "x11"},
                                               {"NO_AT_BRIDGE", "1"},
                                               {"XDG_CONFIG_HOME", dir.file("config")}};
  ChildProcess child({HALYARD_WIDGET_BINARY, "run", "--window", "--family", "large", "--watch",
                      dir.file("watched.json")},
                     env, dir.file("out"), dir.file("err"));
  std::optional<WindowGeometry> window;
  ASSERT_TRUE(eventually(
      [&] {
        window = findWindow(server.display(), "Halyard");
        return window && window->width == 364 && window->height == 382;
      },
      20s))
      << readFile(dir.file("err"));

  // A picture of the window: the widget drawn, not a blank rectangle.
  const std::string shot = dir.file("shot.png");
  ASSERT_TRUE(testing::commandOutput("import -display " + server.display() + " -window " +
                                     window->id + " " + shot));
  const auto colours = testing::commandOutput("identify -format '%w %h %k' " + shot);
  ASSERT_TRUE(colours);
  int width = 0;
  int height = 0;
  int count = 0;
  ASSERT_EQ(std::sscanf(colours->c_str(), "%d %d %d", &width, &height, &count), 3) << *colours;
  EXPECT_EQ(width, 364);
  EXPECT_EQ(height, 382);
  EXPECT_GT(count, 32) << "a blank window";

  child.signal(SIGTERM);
  EXPECT_EQ(child.wait(10s), 0);
  // The family and the position are remembered for the next run.
  const std::string state = readFile(dir.file("config/halyard-widget/window.ini"));
  EXPECT_NE(state.find("family=large"), std::string::npos) << state;
  // Where exactly the window lands can shift by a step while the server settles; that a
  // position is kept is what matters here.
  EXPECT_NE(state.find("x="), std::string::npos) << state;

  // Started again without --family, it comes back as it was.
  ChildProcess again(
      {HALYARD_WIDGET_BINARY, "run", "--window", "--watch", dir.file("watched.json")}, env,
      dir.file("out2"), dir.file("err2"));
  std::optional<WindowGeometry> next;
  EXPECT_TRUE(eventually(
      [&] {
        next = findWindow(server.display(), "Halyard");
        return next && next->height == 382;
      },
      20s))
      << readFile(dir.file("err2"));
  if (!next || !testing::executableExists("/usr/bin/xdotool")) {
    again.signal(SIGTERM);
    EXPECT_EQ(again.wait(10s), 0);
    GTEST_SKIP() << "xdotool is not installed: the menu is not tried";
  }

  // The right button's menu: Mediano, Grande, Salir.
  const auto menu = [&](const std::string& keys) {
    return testing::commandOutput("env DISPLAY=" + server.display() +
                                  " xdotool mousemove --window " + next->id +
                                  " 100 60 click 3 sleep 1.5 key " + keys);
  };
  ASSERT_TRUE(menu("Down Return"));
  EXPECT_TRUE(eventually(
      [&] {
        next = findWindow(server.display(), "Halyard");
        return next && next->height == 170;
      },
      20s))
      << "the menu switches to medium";
  ASSERT_TRUE(menu("Down Down Down Return"));
  EXPECT_EQ(again.wait(10s), 0) << "the menu quits";
  EXPECT_NE(readFile(dir.file("config/halyard-widget/window.ini")).find("family=medium"),
            std::string::npos);
}

}  // namespace
}  // namespace halyard
