// The halyard-widget program run as a process, as scripts run it (the window: desktop_test.cpp).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

#include "platform/date/date.hpp"
#include "platform/host/child_process.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono_literals;
using namespace testing;

std::string quote(const std::string& path) {
  return "'" + path + "'";
}

// What scripts rely on: the exit status (0 done, 1 undecodable file, 2 usage mistake or unusable
// path, 3 no usable font) and one line on stderr naming the mistake and what is accepted.
TEST(CommandLine, ExitStatusAndMessages) {
  TempDir dir;
  writeFile(dir.file("bad.json"), R"({"generatedAt":"2026-03-14T09:30:00Z","repoCount":"3"})");
  writeFile(dir.file("one.json"),
            R"({"generatedAt":"2026-03-14T09:30:00Z","repoCount":1,"archiveCount":1,)"
            R"("totalUsageBytes":1,"byProvider":[],"topRepos":[],"health":"ok"})");
  writeFile(dir.file("fonts.conf"), "<?xml version=\"1.0\"?><fontconfig><cachedir>" +
                                        dir.file("cache") + "</cachedir></fontconfig>");
  const std::string noFonts = "FONTCONFIG_FILE=" + quote(dir.file("fonts.conf")) + " ";
  struct Case {
    std::string arguments;
    int status;
    std::string out, err;  // found in standard output, in stderr's one line; "": nothing at all
    std::string prefix = "";
  };
  const Case cases[] = {
      {"check " + quote(dir.file("one.json")), 0,
       ", 1 repository, 1 archive, 1 byte; 0 providers, 0 repositories listed;", ""},
      {"check " + quote(dir.file("bad.json")), 1, "",
       "repoCount: expected a signed 64-bit integer, found the string \"3\""},
      {"check " + quote(dir.file("missing.json")), 2, "", dir.file("missing.json")},
      {"--help", 0, "timeline", ""},
      {"describe --json", 0,
       R"({"widgets":[{"kind":"HalyardOverviewWidget","displayName":"Halyard","description":)"
       R"("Resumen de uso y próximo backup programado.","families":["systemMedium","systemLarge"]}]})",
       ""},
      // Every supported family, at its size in points times --scale.
      {"render --scale 1 -o " + quote(dir.path().string()), 0, "halyard-large.png", ""},
      {"--version", 0, ".", ""},
      {"", 2, "", "a command is required; the commands are describe, timeline, snapshot"},
      {"rnu", 2, "",
       "rnu: not a command; the commands are describe, timeline, snapshot, "
       "placeholder, render, run, check, preview"},
      {"timeline --bogus", 2, "", "--bogus"},
      {"timeline --family small", 2, "",
       "--family small: not a supported family; use one of: medium, large"},
      {"render --family extraLarge -o /tmp", 2, "", "--family extraLarge: not a supported family"},
      {"preview --placeholder --family nonsense", 2, "", "--family nonsense: not a supported"},
      {"render --scale abc", 2, "", "abc is not a number from 0.25 to 8"},
      {"preview --placeholder --appearance purple", 2, "", "purple"},
      {"run --window --watch " + quote(dir.file("w.json")), 3, "",
       "halyard-widget: cannot open a display: neither", "env -u DISPLAY -u WAYLAND_DISPLAY "},
      {"render --family medium -o /proc/nope/w.png", 2, "", "/proc/nope/w.png"},
      {"render -o " + quote(dir.file("w.png")), 2, "", "several families"},
      // Without a single font no text can be set, and nothing is written.
      {"render --family medium -o " + quote(dir.file("w.png")), 3, "", "no usable font", noFonts},
      {"preview --placeholder -o " + quote(dir.file("w.png")), 3, "", "no usable font", noFonts},
      // The long-running host says so once and keeps going.
      {"run -o " + quote(dir.file("kept.png")) + " --watch " + quote(dir.file("watched.json")), 0,
       "kept.png", "no usable font", noFonts + "timeout --preserve-status -s TERM 10 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProgramRun r = runWidget(c.arguments, c.prefix);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_TRUE(c.out.empty() ? r.out.empty() : r.out.find(c.out) != std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.err.empty() ? 0 : 1) << r.err;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("w.png")));
  EXPECT_EQ(decodedPngFileSize(dir.file("halyard-medium.png")), std::pair(364u, 170u));
  EXPECT_EQ(decodedPngFileSize(dir.file("halyard-large.png")), std::pair(364u, 382u));
}

// Entries and the date to ask again as JSON, dated in UTC to the millisecond.
TEST(CommandLine, EntriesAsJson) {
  const ProgramRun timeline = runWidget("timeline --family large --preview");
  ASSERT_EQ(timeline.status, 0) << timeline.err;
  const auto doc = nlohmann::json::parse(timeline.out);
  ASSERT_EQ(doc.at("entries").size(), 1u);
  EXPECT_TRUE(parseRfc3339(doc["policy"]["after"].get<std::string>())) << doc;
  for (const auto& entry :
       {doc["entries"][0], nlohmann::json::parse(runWidget("snapshot").out)["entry"],
        nlohmann::json::parse(runWidget("placeholder").out)["entry"]}) {
    EXPECT_EQ(entry.at("date").get<std::string>().size(), 24u) << entry;
    EXPECT_TRUE(entry.at("snapshot").contains("health")) << entry;
  }
}

// How often process `pid` woke up: the voluntary context switches of all its threads.
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

// Between reload dates and file changes nothing runs (the watched file's missing folder lies
// right below a private /mnt: GLib polls every 4 s for an entry of the root folder).
TEST(RunCommand, KeepsThePictureAndIdlesWithoutWakingUp) {
  TempDir dir;
  const std::string image = dir.file("widget.png");
  ChildProcess child(
      {"/usr/bin/unshare", "--mount", "--map-root-user", "sh", "-c",
       "mount -t tmpfs none /mnt && exec \"$0\" run --family large --appearance dark -o \"$1\" "
       "--watch /mnt/absent/widget.json",
       HALYARD_WIDGET_BINARY, image},
      {{"XDG_CONFIG_HOME", dir.file("config")}}, dir.file("run"));
  if (!eventually([&] { return child.out() == image + "\n"; }, 20s))
    GTEST_SKIP() << "no private mount namespace with its own /mnt here: " << child.err();
  EXPECT_EQ(decodedPngFileSize(image), std::pair(728u, 764u));  // large at scale 2
  std::this_thread::sleep_for(1s);
  const long before = wakeUps(child.pid());
  std::this_thread::sleep_for(12s);
  EXPECT_LE(wakeUps(child.pid()) - before, 1);
  child.end();
  // Nothing to complain about (a sanitizer's own report may stand there).
  EXPECT_EQ(child.err().find("halyard-widget:"), std::string::npos) << child.err();
  EXPECT_EQ(child.out(), image + "\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("config"))) << "only the window keeps a state";
}

}  // namespace
}  // namespace halyard
