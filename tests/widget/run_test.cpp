// halyard-widget run as a process: the picture it keeps, how it ends, and how rarely it
// wakes up (the window: desktop_test.cpp). The widget reads its own snapshot file
// (never written here); the tests watch a file of their own.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace halyard
