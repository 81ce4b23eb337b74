// Extensions, forked or started, and answers the host must not trust.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/host/child_process.hpp"
#include "platform/host/extension.hpp"
#include "platform/host/glib_support.hpp"
#include "platform/host/run_loop.hpp"
#include "stub_widget.hpp"
#include "test_support.hpp"

namespace halyard::testing {
namespace {

using namespace std::chrono_literals;

const host::TimelineProviderContext kContext{host::WidgetFamily::systemMedium, false,
                                             host::familySize(host::WidgetFamily::systemMedium)};

// A second thread, so that extensions are started rather than forked.
struct SecondThread {
  std::promise<void> stop;
  std::jthread thread{[done = stop.get_future()] { done.wait(); }};
  ~SecondThread() { stop.set_value(); }
};

std::string shownText(const std::optional<host::Timeline<host::HostEntry>>& timeline) {
  return timeline ? timeline->entries.front().json().value("text", "") : "";
}

TEST(Extensions, AnswerAsTheProviderWhetherForkedOrStarted) {
  TempDir dir;
  const std::string file = dir.file("shown.txt");
  writeFile(file, "hola");
  ::setenv("STUB_WIDGET_FILE", file.c_str(), 1);
  const host::WidgetDescriptor widget =
      host::isolatedDescriptor(stubWidget({.file = file}), STUB_HOST_BINARY);
  const bool forks = host::threadCount() == 1;
  EXPECT_EQ(shownText(widget.timeline(kContext)), "hola");
  {
    SecondThread other;
    writeFile(file, "adiós");
    EXPECT_EQ(shownText(widget.timeline(kContext)), "adiós");
  }
  ::unsetenv("STUB_WIDGET_FILE");
  if (!forks) GTEST_SKIP() << "threads were running already: the forked path went untested";
}

// A valid answer, with a policy the stub itself never gives.
constexpr const char* kValidAnswer =
    R"({"entries":[{"date":0,"entry":{"text":"hola"}}],"policy":{"after":0}})";

TEST(Extensions, HostileAnswersGiveThePlaceholderPromptly) {
  TempDir dir;
  const std::string script = dir.file("extension.sh");
  const std::string slow = "while :; do printf ' '; sleep 0.2; done";
  struct Case {
    const char* what;
    std::string script;
    std::string shown;
  };
  const std::string answer = std::string("printf '%s' '") + kValidAnswer + "'";
  const Case cases[] = {
      {"valid", answer, "hola"},
      {"nested 100 000 deep", "printf '{\"entries\":'; head -c 100000 /dev/zero | tr '\\0' '['",
       "placeholder"},
      {"larger than the bound",
       "printf '{\"entries\":[{\"date\":0,\"entry\":{\"text\":\"'; head -c 40000000 /dev/zero | "
       "tr '\\0' a; printf '\"}}],\"policy\":{\"never\":true}}'",
       "placeholder"},
      {"endless", "exec yes", "placeholder"},
      {"slow", slow, "placeholder"},
      {"not JSON", "printf '{\"entries\":[}'", "placeholder"},
      {"a failing extension", answer + "; exit 3", "placeholder"},
      {"held open by a grandchild",
       answer + "; sleep 30 & echo $! > '" + dir.file("grandchild") + "'", "hola"},
  };
  SecondThread other;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(script, "#!/bin/sh\n" + c.script + "\n");
    ::chmod(script.c_str(), 0755);
    const host::WidgetDescriptor widget =
        host::isolatedDescriptor(stubWidget({}), script, nullptr, 1500ms);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(shownText(widget.timeline(kContext)), c.shown);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  }
  // While a slow answer trickles in, the run loop goes on and hears SIGTERM at once.
  writeFile(script, "#!/bin/sh\n" + slow + "\n");
  host::RunLoop loop(host::isolatedDescriptor(stubWidget({}), script), host::RunLoopOptions{});
  host::addTimeout(300ms, [] { std::raise(SIGTERM); });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(loop.start());
  EXPECT_TRUE(loop.quitRequested());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1300ms);

  // The grandchild went with its extension's process group (or waits, a zombie, for a reaper).
  const int grandchild = std::atoi(readFile(dir.file("grandchild")).c_str());
  ASSERT_GT(grandchild, 0);
  const std::string stat = "/proc/" + std::to_string(grandchild) + "/stat";
  EXPECT_TRUE(eventually(
      [&] {
        const std::string text = readFile(stat);
        return text.empty() || text.substr(text.rfind(')') + 2, 1) == "Z";
      },
      5s));
}

}  // namespace
}  // namespace halyard::testing
