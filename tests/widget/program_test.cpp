// The halyard-widget program end to end: run as a process, as scripts run it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>
#include <cstdio>

#include "snapshot/date.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

ProgramRun run(const std::string& arguments) {
  testing::TempDir dir;
  const std::string command = std::string(HALYARD_WIDGET_BINARY) + " " + arguments + " >" +
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

TEST(CommandLine, HelpVersionAndUsageErrors) {
  struct Case {
    const char* arguments;
    int status;
    bool usageOnStderr;
  };
  const Case cases[] = {
      {"--help", 0, false},
      {"timeline --help", 0, false},
      {"check --help", 0, false},
      {"--version", 0, false},
      {"", 2, true},
      {"frobnicate", 2, true},
      {"timeline --bogus", 2, true},
      {"check", 2, true},
  };
  for (const auto& c : cases) {
    const ProgramRun r = run(c.arguments);
    EXPECT_EQ(r.status, c.status) << c.arguments;
    if (c.usageOnStderr) {
      EXPECT_NE(r.err.find("Usage:"), std::string::npos) << c.arguments << ": " << r.err;
      EXPECT_TRUE(r.out.empty()) << c.arguments;
    } else {
      EXPECT_FALSE(r.out.empty()) << c.arguments;
    }
  }
}

TEST(CommandLine, UnsupportedFamiliesAreNamed) {
  for (const char* arguments : {"timeline --family small", "render --family extraLarge -o /tmp",
                                "snapshot --family nonsense"}) {
    const ProgramRun r = run(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_NE(r.err.find("supported: medium, large"), std::string::npos) << r.err;
  }
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

}  // namespace
}  // namespace halyard
