// A reader racing a writer: replacing the file atomically never shows a reader half a
// document; rewriting it in place can make a read fail, but never yields a partial snapshot.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

constexpr int kRounds = 10000;

// Two documents of different lengths, so that a torn read cannot pass for either.
std::pair<WidgetSnapshot, WidgetSnapshot> twoSnapshots() {
  WidgetSnapshot small = *loadSnapshot(testing::sourcePath("examples/full.json"));
  WidgetSnapshot large = *loadSnapshot(testing::sourcePath("examples/many.json"));
  return {small, large};
}

// A directory on tmpfs when there is one: the writer flushes every file it writes.
std::filesystem::path scratchParent() {
  return std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                   : std::filesystem::temp_directory_path();
}

struct Tally {
  int decoded = 0;
  int absent = 0;
  int foreign = 0;  // decoded to something that was never written
};

template <typename Write>
Tally race(const std::string& path, const WidgetSnapshot& a, const WidgetSnapshot& b, Write write) {
  write(a);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < kRounds; ++i)
      write(i % 2 ? b : a);
    done = true;
  });
  Tally tally;
  for (int i = 0; i < kRounds || !done; ++i) {
    const auto read = loadSnapshot(path);
    if (!read) {
      ++tally.absent;
    } else if (*read == a || *read == b) {
      ++tally.decoded;
    } else {
      ++tally.foreign;
    }
  }
  writer.join();
  return tally;
}

TEST(SnapshotRace, AtomicReplacementIsAlwaysReadWhole) {
  const auto [a, b] = twoSnapshots();
  const std::string dir =
      (scratchParent() / ("halyard-race-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/widget-snapshot.json";
  const Tally tally = race(path, a, b, [&](const WidgetSnapshot& s) { writeSnapshot(s, path); });
  std::filesystem::remove_all(dir);
  EXPECT_EQ(tally.absent, 0);
  EXPECT_EQ(tally.foreign, 0);
  EXPECT_GE(tally.decoded, kRounds);
}

TEST(SnapshotRace, RewritingInPlaceFailsReadsButNeverYieldsPartialData) {
  const auto [a, b] = twoSnapshots();
  const std::string dir =
      (scratchParent() / ("halyard-race-" + std::to_string(::getpid()))).string();
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/widget-snapshot.json";
  const std::string textA = encodeSnapshotText(a);
  const std::string textB = encodeSnapshotText(b);
  const Tally tally = race(path, a, b, [&](const WidgetSnapshot& s) {
    const std::string& text = (&s == &a) ? textA : textB;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    for (std::size_t at = 0; at < text.size();) {
      // Small writes widen the window in which a reader sees a cut document.
      const ssize_t n = ::write(fd, text.data() + at, std::min<std::size_t>(512, text.size() - at));
      if (n <= 0) break;
      at += static_cast<std::size_t>(n);
    }
    ::close(fd);
  });
  std::filesystem::remove_all(dir);
  EXPECT_EQ(tally.foreign, 0);
  RecordProperty("absent_reads", tally.absent);
  RecordProperty("reads", tally.absent + tally.decoded);
  std::printf("in-place rewriting: %d of %d reads failed (%.1f %%)\n", tally.absent,
              tally.absent + tally.decoded,
              100.0 * tally.absent / std::max(1, tally.absent + tally.decoded));
}

}  // namespace
}  // namespace halyard
