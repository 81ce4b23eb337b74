// The halyard-widget program end to end: run as a process, as scripts run it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <cstdio>
#include <filesystem>

#include "platform/date/date.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs the program with `arguments`, its command line led by `prefix` (variables, a wrapper).
ProgramRun run(const std::string& arguments, const std::string& prefix = "") {
  testing::TempDir dir;
  const std::string command = prefix + HALYARD_WIDGET_BINARY + " " + arguments + " >" +
                              dir.file("out") + " 2>" + dir.file("err") + " </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readFile(dir.file("out")),
          testing::readFile(dir.file("err"))};
}

std::string quote(const std::string& path) {
  return "'" + path + "'";
}

TEST(CommandLine, CheckSaysWhetherAFileDecodes) {
  testing::TempDir dir;
  testing::writeFile(dir.file("bad.json"),
                     R"({"generatedAt":"2026-03-14T09:30:00Z","repoCount":"3"})");
  const ProgramRun good = run("check " + quote(testing::sourcePath("examples/full.json")));
  EXPECT_EQ(good.status, 0);
  EXPECT_EQ(good.out.rfind("ok: ", 0), 0u) << good.out;
  EXPECT_EQ(std::count(good.out.begin(), good.out.end(), '\n'), 1);

  const ProgramRun bad = run("check " + quote(dir.file("bad.json")));
  EXPECT_EQ(bad.status, 1);
  EXPECT_TRUE(bad.out.empty());
  EXPECT_NE(bad.err.find("repoCount: expected a signed 64-bit integer, found the string \"3\""),
            std::string::npos)
      << bad.err;

  for (const std::string& unreadable : {dir.file("missing.json"), dir.path().string()}) {
    const ProgramRun missing = run("check " + quote(unreadable));
    EXPECT_EQ(missing.status, 2) << unreadable;
    EXPECT_NE(missing.err.find(unreadable), std::string::npos);
  }
}

TEST(CommandLine, TimelinePrintsOneEntryAndTheReloadDate) {
  for (const char* arguments : {"timeline", "timeline --family large --preview"}) {
    const ProgramRun r = run(arguments);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc.at("entries").size(), 1u);
    const auto date = parseRfc3339(doc["entries"][0]["date"].get<std::string>());
    const auto reload = parseRfc3339(doc["policy"]["after"].get<std::string>());
    ASSERT_TRUE(date && reload);
    EXPECT_GE(*reload - *date, std::chrono::seconds(900));
    EXPECT_EQ(doc["entries"][0]["date"].get<std::string>().size(), 24u);  // milliseconds, Z
    EXPECT_TRUE(doc["entries"][0]["snapshot"].contains("health"));
  }
}

TEST(CommandLine, SnapshotAndPlaceholderPrintOneEntry) {
  for (const char* command : {"snapshot", "placeholder"}) {
    const ProgramRun r = run(command);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_TRUE(doc.at("entry").contains("date"));
    EXPECT_TRUE(doc.at("entry").contains("snapshot"));
  }
  const auto placeholder = nlohmann::json::parse(run("placeholder").out)["entry"]["snapshot"];
  EXPECT_EQ(placeholder["repoCount"], 0);
  EXPECT_FALSE(placeholder.contains("nextBackup"));
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
  for (const char* arguments : {"--help", "timeline --help", "check --help", "--version"}) {
    const ProgramRun r = run(arguments);
    EXPECT_EQ(r.status, 0) << arguments;
    EXPECT_FALSE(r.out.empty()) << arguments;
  }
}

// Every mistake on the command line gets one line on stderr that names it (and, where there
// is a choice, what is accepted), and the usage exit status.
TEST(CommandLine, MistakesGetOneLineThatNamesThem) {
  struct Case {
    std::string arguments;
    std::string says;
  };
  const Case cases[] = {
      {"", "a command is required; the commands are describe, timeline, snapshot"},
      {"rnu",
       "rnu: not a command; the commands are describe, timeline, snapshot, placeholder, "
       "render, run, check, preview"},
      {"timeline --bogus", "--bogus"},
      {"check", "FILE"},
      {"timeline --family small",
       "--family small: not a supported family; use one of: medium, "
       "large"},
      {"snapshot --family systemLarge",
       "--family systemLarge: not a supported family; use one "
       "of: medium, large"},
      {"render --family extraLarge -o /tmp", "--family extraLarge: not a supported family"},
      {"preview --placeholder --family nonsense",
       "--family nonsense: not a supported family; "
       "use one of: medium, large"},
      {"run -o x.png --family huge", "--family huge: not a supported family"},
      {"render --scale abc", "abc is not a number from 0.25 to 8"},
      {"preview --placeholder --scale 9", "9 is not a number from 0.25 to 8"},
      {"run -o x.png --scale 0.1x", "0.1x is not a number from 0.25 to 8"},
      {"preview --placeholder --appearance purple", "purple"},
      {"run --focus --window", "--window excludes --focus"},
  };
  for (const auto& c : cases) {
    const ProgramRun r = run(c.arguments);
    EXPECT_EQ(r.status, 2) << c.arguments;
    EXPECT_TRUE(r.out.empty()) << c.arguments;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.arguments << ": " << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << c.arguments << ": " << r.err;
  }
}

TEST(CommandLine, CheckCountsInTheRightNumber) {
  testing::TempDir dir;
  testing::writeFile(dir.file("one.json"),
                     R"({"generatedAt":"2026-03-14T09:30:00Z","repoCount":1,"archiveCount":1,)"
                     R"("totalUsageBytes":1,"byProvider":[],"topRepos":[],"health":"ok"})");
  const ProgramRun r = run("check " + quote(dir.file("one.json")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(", 1 repository, 1 archive, 1 byte; 0 providers, 0 repositories listed;"),
            std::string::npos)
      << r.out;
}

TEST(CommandLine, DescribeListsTheOneWidget) {
  const ProgramRun r = run("describe --json");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(nlohmann::json::parse(r.out),
            nlohmann::json::parse(R"({"widgets":[{"kind":"HalyardOverviewWidget",
              "displayName":"Halyard",
              "description":"Resumen de uso y próximo backup programado.",
              "families":["systemMedium","systemLarge"]}]})"));
}

TEST(CommandLine, RenderDrawsEverySupportedFamilyAtItsSize) {
  for (int scale : {1, 2}) {
    testing::TempDir dir;
    const ProgramRun r =
        run("render --scale " + std::to_string(scale) + " -o " + quote(dir.path().string()));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testing::decodedPngFileSize(dir.file("halyard-medium.png")),
              std::make_pair(364u * scale, 170u * scale));
    EXPECT_EQ(testing::decodedPngFileSize(dir.file("halyard-large.png")),
              std::make_pair(364u * scale, 382u * scale));
  }
  testing::TempDir dir;
  EXPECT_EQ(run("render --family large -o " + quote(dir.file("w.pdf"))).status, 0);
  EXPECT_EQ(testing::readFile(dir.file("w.pdf")).rfind("%PDF", 0), 0u);
  const ProgramRun unwritable = run("render --family medium -o /proc/nope/w.png");
  EXPECT_EQ(unwritable.status, 2);
  EXPECT_NE(unwritable.err.find("/proc/nope/w.png"), std::string::npos) << unwritable.err;
  EXPECT_EQ(run("render -o " + quote(dir.file("w.png"))).status, 2);  // two families, one file
}

// Without a single font no text can be set: the one-shot drawings fail and say why, and the
// long-running host says it once and keeps going.
TEST(CommandLine, NoUsableFontIsAFailureThatSaysSo) {
  testing::TempDir dir;
  testing::writeFile(dir.file("fonts.conf"), "<?xml version=\"1.0\"?><fontconfig><cachedir>" +
                                                 dir.file("cache") + "</cachedir></fontconfig>");
  const std::string noFonts = "FONTCONFIG_FILE=" + quote(dir.file("fonts.conf")) + " ";
  const std::string output = " -o " + quote(dir.file("w.png"));
  for (const std::string& command :
       {"render --family medium" + output, "preview --placeholder" + output}) {
    const ProgramRun r = run(command, noFonts);
    EXPECT_EQ(r.status, 3) << command << ": " << r.err;
    EXPECT_NE(r.err.find("no usable font"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("w.png"))) << command;
  }
  const ProgramRun kept = run("run" + output + " --watch " + quote(dir.file("watched.json")),
                              noFonts + "timeout --preserve-status -s TERM 6 ");
  EXPECT_EQ(kept.status, 0) << kept.err;
  const auto first = kept.err.find("no usable font");
  EXPECT_NE(first, std::string::npos) << kept.err;
  EXPECT_EQ(kept.err.find("no usable font", first + 1), std::string::npos) << kept.err;
}

}  // namespace
}  // namespace halyard
