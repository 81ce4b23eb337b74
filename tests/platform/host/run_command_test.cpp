// `run` as a process around the stub widget: when it draws again, and its own mistakes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "child_process.hpp"
#include "test_support.hpp"

namespace halyard::testing {
namespace {

using namespace std::chrono_literals;

// Each drawing prints a line; the same text saved again draws nothing.
TEST(RunCommand, DrawsAgainOnlyWhatChanged) {
  TempDir dir;
  const std::string watched = dir.file("data.txt");
  ChildProcess child({STUB_HOST_BINARY, "run", "-o", dir.file("widget.png"), "--debounce-ms", "50"},
                     {{"STUB_WIDGET_FILE", watched}, {"XDG_CONFIG_HOME", dir.file("config")}},
                     dir.file("run"));
  const auto draws = [&] {
    const std::string out = child.out();
    return std::count(out.begin(), out.end(), '\n');
  };
  ASSERT_TRUE(eventually([&] { return draws() == 1; }, 10s)) << child.err();
  writeFile(watched, "first");
  ASSERT_TRUE(eventually([&] { return draws() == 2; }, 10s)) << child.err();
  writeFile(watched + ".tmp", "first");
  std::filesystem::rename(watched + ".tmp", watched);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(draws(), 2);
  child.end();
  EXPECT_EQ(child.err().find("stub-host:"), std::string::npos) << child.err();
}

TEST(RunCommand, SaysWhatIsWrongAndHowItEnds) {
  TempDir dir;
  const std::string unwritable = dir.file("missing/widget.png");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string says;
  } cases[] = {
      {{"run"}, 2, "give -o FILE, --window or both"},
      {{"run", "-o", unwritable}, 2, dir.file("missing") + ": No such file or directory"},
      {{"run", "-o", dir.file("widget.gif")}, 2, "unknown image format"},
      {{"run", "-o", dir.file("w.png"), "--family", "huge"}, 2, "huge: not a supported family"},
      {{"run", "--focus", "--window"}, 2, "--window excludes --focus"},
      // The stub names no desktop window program.
      {{"run", "--window"}, 3, "is not installed"},
  };
  const std::map<std::string, std::string> env{{"STUB_WIDGET_FILE", dir.file("none")},
                                               {"XDG_CONFIG_HOME", dir.file("config")},
                                               {"DISPLAY", ""},
                                               {"WAYLAND_DISPLAY", ""}};
  for (const auto& c : cases) {
    std::vector<std::string> argv{STUB_HOST_BINARY};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    ChildProcess child(argv, env, dir.file("run"));
    EXPECT_EQ(child.wait(20s), c.status) << c.says;
    EXPECT_NE(child.err().find(c.says), std::string::npos) << child.err();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace halyard::testing
