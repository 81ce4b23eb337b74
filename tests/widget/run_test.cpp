// halyard-widget run as a process: the picture it keeps, how it ends, and how rarely it
// wakes up (the window: desktop_test.cpp; what it draws again and when: the run loop's
// tests). The widget reads its own snapshot file (never written here).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/host/child_process.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using testing::readFile;

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
// touches. It keeps one picture, and SIGTERM ends it cleanly.
TEST(RunCommand, KeepsThePictureAndIdlesWithoutWakingUp) {
  testing::TempDir dir;
  const std::string image = dir.file("widget.png");
  testing::ChildProcess child(
      {"/usr/bin/unshare", "--mount", "--map-root-user", "sh", "-c",
       "mount -t tmpfs none /mnt && exec \"$0\" run --family large --appearance dark -o \"$1\" "
       "--watch /mnt/absent/widget.json",
       HALYARD_WIDGET_BINARY, image},
      {{"XDG_CONFIG_HOME", dir.file("config")}}, dir.file("out"), dir.file("err"));
  if (!testing::eventually([&] { return readFile(dir.file("out")) == image + "\n"; }, 20s))
    GTEST_SKIP() << "no private mount namespace with its own /mnt here: "
                 << readFile(dir.file("err"));
  EXPECT_EQ(testing::decodedPngFileSize(image),
            (std::pair<unsigned, unsigned>{728, 764}));  // large at scale 2
  std::this_thread::sleep_for(1s);
  const long before = wakeUps(child.pid());
  std::this_thread::sleep_for(12s);
  EXPECT_LE(wakeUps(child.pid()) - before, 1);
  child.signal(SIGTERM);
  EXPECT_EQ(child.wait(10s), 0);
  // Nothing to complain about (a sanitizer's own report may stand there).
  EXPECT_EQ(readFile(dir.file("err")).find("halyard-widget:"), std::string::npos)
      << readFile(dir.file("err"));
  EXPECT_EQ(readFile(dir.file("out")), image + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("config"))) << "only the window keeps a state";
}

}  // namespace
}  // namespace halyard
