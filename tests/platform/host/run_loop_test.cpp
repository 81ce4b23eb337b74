// The run loop and what it stands on; every wait is bounded.
#include <glib.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <limits>

#include "platform/host/file_watch.hpp"
#include "platform/host/glib_support.hpp"
#include "platform/host/run_loop.hpp"
#include "platform/host/timeline.hpp"
#include "platform/host/window_state.hpp"
#include "stub_widget.hpp"
#include "test_support.hpp"

namespace halyard::host {
namespace {

using namespace std::chrono_literals;
using testing::TempDir;

// Runs the default main context until `done` holds or `timeout` has passed.
bool iterateUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  bool expired = false;
  const guint timer = addTimeout(timeout, [&expired] { expired = true; });
  while (!done() && !expired)
    g_main_context_iteration(nullptr, TRUE);
  if (!expired) g_source_remove(timer);
  return done();
}

void iterateFor(std::chrono::milliseconds duration) {
  iterateUntil([] { return false; }, duration);
}

struct Provider {
  using Entry = HostEntry;
  int calls = 1;
  Entry placeholder(const TimelineProviderContext&) const { return {}; }
  void getSnapshot(const TimelineProviderContext&, const std::function<void(Entry)>& done) const {
    for (int i = 0; i < calls; ++i)
      done(Entry{});
  }
  void getTimeline(const TimelineProviderContext&,
                   const std::function<void(Timeline<Entry>)>& done) const {
    for (int i = 0; i < calls; ++i)
      done(Timeline<Entry>{{Entry{}}, TimelineReloadPolicy::never()});
  }
};

TEST(HostRequests, OnlyOneCompletionCountsAsAnAnswer) {
  for (int calls : {0, 1, 2}) {
    const Provider provider{calls};
    EXPECT_EQ(askSnapshot(provider, {}).has_value(), calls == 1);
    EXPECT_EQ(askTimeline(provider, {}).has_value(), calls == 1);
  }
}

// The watch follows the path as folders come and go: one call per save, none for other files.
TEST(FileWatch, MovesAlongThePathAndCallsOncePerSave) {
  TempDir dir;
  const std::string top = dir.file("a");
  const std::string folder = top + "/b";
  const std::string path = folder + "/snapshot.json";
  int calls = 0;
  FileWatch watch(path, 300ms, [&calls] { ++calls; });
  EXPECT_EQ(watch.watchedEntry(), top);

  std::filesystem::create_directory(top);
  EXPECT_TRUE(iterateUntil([&] { return watch.watchedEntry() == folder; }, 5s));
  std::filesystem::create_directory(folder);
  EXPECT_TRUE(iterateUntil([&] { return watch.watchedEntry() == path; }, 5s));
  const int before = calls;
  testing::writeFile(path, "one");
  EXPECT_TRUE(iterateUntil([&] { return calls > before; }, 5s));
  iterateFor(400ms);
  const int saved = calls;
  for (int i = 0; i < 5; ++i) {
    testing::writeFile(path + ".tmp", "save " + std::to_string(i));
    std::filesystem::rename(path + ".tmp", path);
  }
  ASSERT_TRUE(iterateUntil([&] { return calls > saved; }, 5s));
  testing::writeFile(folder + "/other.json", "x");
  iterateFor(700ms);
  EXPECT_EQ(calls, saved + 1);

  // A file where a folder should be is watched until it makes way.
  std::filesystem::remove_all(top);
  testing::writeFile(top, "not a folder");
  EXPECT_TRUE(iterateUntil([&] { return watch.watchedEntry() == top; }, 5s));
}

// What a loop hands out: the text of each entry, and its errors.
struct LoopProbe {
  explicit LoopProbe(RunLoop& loop) {
    loop.onEntry([this](const HostEntry& entry) { shown.push_back(entry.json()["text"]); });
    loop.onError([this](const std::string& message) { errors.push_back(message); });
  }
  std::vector<std::string> shown, errors;
};

RunLoopOptions fast(std::string watchedPath = "") {
  return {.watchedPath = std::move(watchedPath), .debounce = 30ms, .minimumReloadInterval = 100ms};
}

TEST(RunLoop, AsksAtOnceAndAgainWhenTheWatchedFileChanges) {
  TempDir dir;
  const std::string path = dir.file("snapshot.txt");
  RunLoop loop(testing::stubWidget({.file = path}), fast(path));
  LoopProbe probe(loop);
  ASSERT_TRUE(loop.start());
  EXPECT_EQ(loop.timelineRequests(), 1u);
  EXPECT_EQ(probe.shown, std::vector<std::string>{"no file"});
  testing::writeFile(path, "first");
  ASSERT_TRUE(iterateUntil([&] { return probe.shown.back() == "first"; }, 5s));
  std::filesystem::remove(path);
  ASSERT_TRUE(iterateUntil([&] { return probe.shown.back() == "no file"; }, 5s));
  const auto requests = loop.timelineRequests();
  loop.setFamily(WidgetFamily::systemLarge);
  EXPECT_EQ(loop.timelineRequests(), requests + 1);
  EXPECT_TRUE(probe.errors.empty());
}

// The loop goes on while a later answer is under way (until a byte is in the pipe).
TEST(RunLoop, KeepsRunningWhileAnAnswerIsUnderWay) {
  int answer[2];
  ASSERT_EQ(::pipe(answer), 0);
  WidgetDescriptor widget = testing::stubWidget({});
  int asked = 0;
  widget.startTimeline = [&](const TimelineProviderContext&) {
    const bool late = ++asked > 1;
    const auto wait = [late, fd = answer[0]] {
      char byte = 0;
      EXPECT_TRUE(!late || ::read(fd, &byte, 1) == 1) << "asked before the answer was there";
      return std::optional(
          Timeline<HostEntry>{{testing::stubEntry(systemNow(), late ? "late" : "early")},
                              TimelineReloadPolicy::never()});
    };
    return PendingTimeline(wait, late ? answer[0] : -1);
  };
  RunLoop loop(widget, fast());
  LoopProbe probe(loop);
  ASSERT_TRUE(loop.start());
  loop.reload();
  EXPECT_EQ(loop.timelineRequests(), 2u);
  iterateFor(100ms);
  EXPECT_EQ(probe.shown, std::vector<std::string>{"early"});
  ASSERT_EQ(::write(answer[1], "x", 1), 1);
  EXPECT_TRUE(iterateUntil([&] { return probe.shown.back() == "late"; }, 5s));
  ::close(answer[0]);
  ::close(answer[1]);
}

// Each entry from its date; with a policy of atEnd, a new timeline after the last one's.
TEST(RunLoop, ShowsEachEntryFromItsDateAndAtEndAsksAgain) {
  auto requests = std::make_shared<std::vector<Date>>();
  const auto atEnd = [requests](Date now) {
    requests->push_back(now);
    return TimelineReloadPolicy::atEnd();
  };
  RunLoop loop(testing::stubWidget({.policy = atEnd, .laterEntries = {300ms, 600ms}}), fast());
  LoopProbe probe(loop);
  ASSERT_TRUE(loop.start());
  EXPECT_EQ(probe.shown, std::vector<std::string>{"no file"});
  ASSERT_TRUE(iterateUntil([&] { return requests->size() >= 2; }, 10s));
  // (The last entry and the next timeline are due together: either may come first.)
  EXPECT_EQ(std::vector(probe.shown.begin(), probe.shown.begin() + 2),
            (std::vector<std::string>{"no file", "no file #1"}));
  EXPECT_GE((*requests)[1] - (*requests)[0], 600ms);
}

// By its own clock: a timer that runs out early waits again; a date already passed waits the
// shortest interval rather than asking without pause.
TEST(RunLoop, AsksAgainByItsClockAndNeverWithoutPause) {
  auto clock = std::make_shared<Date>(Date{} + std::chrono::hours(24 * 365 * 30));
  RunLoopOptions options = fast();
  options.clock = [clock] { return *clock; };
  const auto passed = [](Date now) { return TimelineReloadPolicy::after(now - 1h); };
  RunLoop loop(testing::stubWidget({.policy = passed, .clock = options.clock}), options);
  ASSERT_TRUE(loop.start());
  iterateFor(1000ms);
  EXPECT_EQ(loop.timelineRequests(), 1u);
  *clock += 100ms;
  EXPECT_TRUE(iterateUntil([&] { return loop.timelineRequests() == 2; }, 5s));
  iterateFor(500ms);
  EXPECT_EQ(loop.timelineRequests(), 2u);
}

TEST(RunLoop, AWidgetWithoutATimelineIsReported) {
  WidgetDescriptor widget = testing::stubWidget({});
  widget.timeline = [](const TimelineProviderContext&) {
    return std::optional<Timeline<HostEntry>>();
  };
  RunLoop loop(widget, fast());
  LoopProbe probe(loop);
  EXPECT_FALSE(loop.start());
  EXPECT_EQ(probe.errors, std::vector<std::string>{"the widget gave no timeline"});
  EXPECT_EQ(loop.currentEntry(), nullptr);
}

TEST(RunLoop, SigtermSigintAndSighupEndRun) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    RunLoop loop(testing::stubWidget({}), fast());
    ASSERT_TRUE(loop.start());
    bool rescued = false;
    addTimeout(100ms, [signal] { std::raise(signal); });
    const guint rescue = addTimeout(10s, [&] {
      rescued = true;
      loop.quit();
    });
    loop.run();
    EXPECT_FALSE(rescued) << signal;
    EXPECT_TRUE(loop.quitRequested());
    if (!rescued) g_source_remove(rescue);
  }
}

TEST(WindowState, RemembersWhatItWasGivenAndGivesTheDefaultsForAnythingElse) {
  TempDir dir;
  const WindowState state{"large", 10, -20, Corner::bottomLeft, 8, 0};
  EXPECT_EQ(saveWindowState(dir.file("config/stub-host/window.ini"), state), std::nullopt);
  EXPECT_EQ(loadWindowState(dir.file("config/stub-host/window.ini")), state);

  testing::writeFile(dir.file("file"), "");
  const auto error = saveWindowState(dir.file("file/window.ini"), state);
  ASSERT_TRUE(error.has_value());
  EXPECT_NE(error->find(dir.file("file/window.ini")), std::string::npos) << *error;

  // Whatever stands there gives the defaults (a FIFO without a writer must not block); the
  // family is kept as written, for the caller to check.
  ASSERT_EQ(::mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
  std::filesystem::create_directories(dir.file("folder.ini"));
  testing::writeFile(dir.file("big.ini"), "[window]\nx=1\n" + std::string(1 << 20, '#'));
  testing::writeFile(dir.file("junk.ini"), std::string("\x00\xff[window\n=\n", 13));
  testing::writeFile(dir.file("odd.ini"),
                     "[window]\nx=99999999999999999999\ny=left\nmargin-x=-5000\n"
                     "margin-y=2147483648\ncorner=middle\nfamily=huge\n");
  for (const char* name : {"absent.ini", "fifo.ini", "folder.ini", "big.ini", "junk.ini"})
    EXPECT_EQ(loadWindowState(dir.file(name)), WindowState{}) << name;
  EXPECT_EQ(loadWindowState(dir.file("odd.ini")),
            (WindowState{"huge", std::nullopt, std::nullopt}));
}

TEST(WindowState, PositionsAndMarginsAreKeptOnTheScreen) {
  constexpr int kMax = std::numeric_limits<int>::max();
  constexpr int kMin = std::numeric_limits<int>::min();
  const ScreenArea area{0, 30, 1024, 738};  // below a 30-pixel panel
  struct Case {
    long long x, y;
    WindowPosition expected;
  } cases[] = {
      {100, 200, {100, 200}},
      {kMax, kMax, {660, 598}},
      {kMin, kMin, {0, 30}},
      {1000, 10, {660, 30}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(clampToArea(c.x, c.y, 364, 170, area), c.expected) << c.x << "," << c.y;
  EXPECT_EQ(clampToArea(50, 50, 2000, 2000, area), (WindowPosition{0, 30}));
  EXPECT_EQ(clampToArea(kMax, kMin, 364, 170, ScreenArea{kMax - 100, kMax - 100, 100, 100}),
            (WindowPosition{kMax - 100, kMax - 100}));

  EXPECT_EQ(clampMargin(-5000, 364, 1024), 0);
  EXPECT_EQ(clampMargin(kMax, 364, 1024), 660);
  EXPECT_EQ(clampMargin(kMax, 2000, 1024), 0);
}

}  // namespace
}  // namespace halyard::host
