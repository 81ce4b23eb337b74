// `run` as a process, around a stub widget that shows the text of the watched file: the image
// it keeps, when it draws again, how it ends and how it fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "child_process.hpp"
#include "test_support.hpp"

namespace halyard::testing {
namespace {

using namespace std::chrono_literals;

std::size_t lineCount(const std::string& path) {
  const std::string text = readFile(path);
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(RunCommand, KeepsTheImageUpToDateAndDrawsOnlyWhatChanged) {
  TempDir dir;
  const std::string watched = dir.file("app/data.txt");
  const std::string image = dir.file("widget.png");
  ChildProcess child({STUB_HOST_BINARY, "run", "-o", image, "--debounce-ms", "50"},
                     {{"STUB_WIDGET_FILE", watched}, {"XDG_CONFIG_HOME", dir.file("config")}},
                     dir.file("out"), dir.file("err"));
  const auto draws = [&] { return lineCount(dir.file("out")); };
  const auto drawsReach = [&](std::size_t count) {
    return eventually([&] { return draws() >= count; }, 10s);
  };
  ASSERT_TRUE(drawsReach(1)) << readFile(dir.file("err"));
  EXPECT_EQ(readFile(dir.file("out")), image + "\n");
  EXPECT_NE(decodedPngFileSize(image).first, 0u);

  // Its folder and the file appear; saved again with the same text, there is nothing to draw.
  std::filesystem::create_directory(dir.file("app"));
  writeFile(watched, "first");
  ASSERT_TRUE(drawsReach(2)) << "created";
  writeFile(watched + ".tmp", "first");
  std::filesystem::rename(watched + ".tmp", watched);
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(draws(), 2u);

  child.signal(SIGTERM);
  EXPECT_EQ(child.wait(10s), 0);
  // Nothing to complain about (a sanitizer's own report may stand there).
  EXPECT_EQ(readFile(dir.file("err")).find("stub-host:"), std::string::npos)
      << readFile(dir.file("err"));
  // Only the picture is left: no temporary file beside it.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"app", "err", "out", "widget.png"}));
}

// Each mistake exits with its status and says what is wrong; nothing is written meanwhile.
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
      // The stub carries no desktop window and names no program that does.
      {{"run", "--window"}, 3, "is not installed"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> argv{STUB_HOST_BINARY};
    argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
    ChildProcess child(argv,
                       {{"STUB_WIDGET_FILE", dir.file("none")},
                        {"XDG_CONFIG_HOME", dir.file("config")},
                        {"DISPLAY", ""},
                        {"WAYLAND_DISPLAY", ""}},
                       dir.file("out"), dir.file("err"));
    EXPECT_EQ(child.wait(20s), c.status) << c.says;
    EXPECT_NE(readFile(dir.file("err")).find(c.says), std::string::npos)
        << readFile(dir.file("err"));
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace halyard::testing
