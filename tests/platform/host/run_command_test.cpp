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

struct Finished {
  int status = -1;
  std::string err;
};

// Runs the stub host to its end (it must end within 20 s).
Finished runStub(const std::vector<std::string>& arguments,
                 const std::map<std::string, std::string>& env = {}) {
  TempDir dir;
  std::vector<std::string> argv{STUB_HOST_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildProcess child(argv, env, dir.file("out"), dir.file("err"));
  const auto status = child.wait(20s);
  return {status.value_or(-100), readFile(dir.file("err"))};
}

TEST(RunCommand, KeepsTheImageUpToDateAndDrawsOnlyWhatChanged) {
  TempDir dir;
  const std::string watched = dir.file("app/data.txt");
  const std::string image = dir.file("widget.png");
  ChildProcess child({STUB_HOST_BINARY, "run", "-o", image, "--debounce-ms", "50"},
                     {{"STUB_WIDGET_FILE", watched}, {"XDG_CONFIG_HOME", dir.file("config")}},
                     dir.file("out"), dir.file("err"));
  ASSERT_TRUE(child.started());
  const auto draws = [&] { return lineCount(dir.file("out")); };
  const auto drawsReach = [&](std::size_t count) {
    return eventually([&] { return draws() >= count; }, 10s);
  };
  ASSERT_TRUE(drawsReach(1)) << readFile(dir.file("err"));
  EXPECT_EQ(readFile(dir.file("out")), image + "\n");
  EXPECT_NE(decodedPngFileSize(image).first, 0u);

  // Its folder and the file appear.
  std::filesystem::create_directory(dir.file("app"));
  writeFile(watched, "first");
  ASSERT_TRUE(drawsReach(2)) << "created";
  writeFile(watched, "second");
  ASSERT_TRUE(drawsReach(3)) << "changed";
  // Saved again with the same text: nothing to draw; the next real change is the 4th draw.
  writeFile(watched + ".tmp", "second");
  std::filesystem::rename(watched + ".tmp", watched);
  std::this_thread::sleep_for(500ms);
  writeFile(watched, "third");
  ASSERT_TRUE(drawsReach(4)) << "changed again";
  std::filesystem::remove(watched);
  ASSERT_TRUE(drawsReach(5)) << "removed";
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(draws(), 5u);

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

TEST(RunCommand, EndsCleanlyOnSigint) {
  TempDir dir;
  ChildProcess child({STUB_HOST_BINARY, "run", "-o", dir.file("w.svg")},
                     {{"STUB_WIDGET_FILE", dir.file("none")}}, dir.file("out"), dir.file("err"));
  ASSERT_TRUE(eventually([&] { return lineCount(dir.file("out")) == 1; }, 10s));
  child.signal(SIGINT);
  EXPECT_EQ(child.wait(10s), 0);
  EXPECT_EQ(readFile(dir.file("w.svg")).substr(0, 5), "<?xml");
}

TEST(RunCommand, SaysWhatIsWrongAndHowItEnds) {
  TempDir dir;
  const std::map<std::string, std::string> env{{"STUB_WIDGET_FILE", dir.file("none")},
                                               {"XDG_CONFIG_HOME", dir.file("config")}};
  const Finished nothing = runStub({"run"}, env);
  EXPECT_EQ(nothing.status, 2);
  EXPECT_NE(nothing.err.find("give -o FILE, --window or both"), std::string::npos) << nothing.err;

  const std::string unwritable = dir.file("missing/widget.png");
  const Finished cannotWrite = runStub({"run", "-o", unwritable}, env);
  EXPECT_EQ(cannotWrite.status, 2);
  EXPECT_NE(cannotWrite.err.find(unwritable), std::string::npos) << cannotWrite.err;
  EXPECT_NE(cannotWrite.err.find("No such file or directory"), std::string::npos)
      << cannotWrite.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));

  const Finished format = runStub({"run", "-o", dir.file("widget.gif")}, env);
  EXPECT_EQ(format.status, 2);
  EXPECT_NE(format.err.find("unknown image format"), std::string::npos) << format.err;

  auto noDisplay = env;
  noDisplay["DISPLAY"] = "";
  noDisplay["WAYLAND_DISPLAY"] = "";
  // The stub carries no desktop window and names no program that does.
  const Finished window = runStub({"run", "--window"}, noDisplay);
  EXPECT_EQ(window.status, 3);
  EXPECT_NE(window.err.find("is not installed"), std::string::npos) << window.err;
  EXPECT_FALSE(std::filesystem::exists(dir.file("w.png")));
}

}  // namespace
}  // namespace halyard::testing
