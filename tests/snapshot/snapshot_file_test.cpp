#include "snapshot/snapshot_file.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "test_support.hpp"

namespace halyard {
namespace {

const std::string kExample = testing::sourcePath("examples/full.json");
constexpr const char* kTail = "Library/Application Support/Halyard/widget-snapshot.json";

// The user database's home wins over HOME, which is the fallback; with neither, the root.
TEST(SnapshotLocation, DatabaseHomeThenEnvironmentHome) {
  const std::pair<std::optional<std::string>, const char*> cases[] = {
      {"/db/home", "/db/home/"}, {"/db/home/", "/db/home/"}, {"/", "/"}, {{}, "/env/home/"}};
  ::setenv("HOME", "/env/home", 1);
  // The binding is captured by name: Clang 14 cannot capture a structured binding.
  for (const auto& [database, expected] : cases)
    EXPECT_EQ(snapshotFilePath([&database = database] { return database; }),
              std::string(expected) + kTail);
  ::unsetenv("HOME");
  EXPECT_EQ(snapshotFilePath([] { return std::nullopt; }), std::string("/") + kTail);

  const auto home = userDatabaseHome();
  ASSERT_TRUE(home.has_value());
  ::setenv("HOME", "/somewhere/else", 1);
  EXPECT_EQ(WidgetSnapshot::fileURL(), *home + (home->back() == '/' ? "" : "/") + kTail);
}

// A missing file is no refusal; a FIFO does not block.
TEST(SnapshotLoading, AnythingButAGoodRegularFileIsAbsent) {
  testing::TempDir dir;
  testing::writeFile(dir.file("truncated.json"), testing::readFile(kExample).substr(0, 100));
  testing::writeFile(dir.file("huge.json"), "");
  std::filesystem::resize_file(dir.file("huge.json"), kSnapshotSizeLimit + 1);
  std::filesystem::create_symlink(dir.file("loop"), dir.file("loop"));
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  using Outcome = LoadReport::Outcome;
  const std::tuple<std::string, Outcome, std::string> cases[] = {
      {dir.file("missing.json"), Outcome::missing, ""},
      {dir.file("truncated.json/x"), Outcome::missing, ""},
      {dir.file("truncated.json"), Outcome::refused, "document: expected well-formed JSON"},
      {dir.file("huge.json"), Outcome::refused, "larger than 256 MiB"},
      {dir.file("loop"), Outcome::refused, "Too many levels of symbolic links"},
      {dir.file("fifo"), Outcome::refused, "not a regular file"},
      {"/dev/zero", Outcome::refused, "not a regular file"},
  };
  for (const auto& [path, outcome, reason] : cases) {
    EXPECT_FALSE(loadSnapshot(path).has_value()) << path;
    EXPECT_EQ(lastLoadReport().outcome, outcome) << path;
    EXPECT_EQ(lastLoadReport().reason.rfind(reason, 0), 0u) << lastLoadReport().reason;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.json"))) << "created by looking";
}

// Atomic replacement never shows a reader half a document; each read is afresh.
TEST(SnapshotWriting, ReplacesTheFileWholeWhileItIsRead) {
  constexpr int kRounds = 10000;
  // Two documents of different lengths, so that a torn read cannot pass for either.
  const WidgetSnapshot a = *loadSnapshot(kExample);
  const WidgetSnapshot b = *loadSnapshot(testing::sourcePath("examples/many.json"));
  // On tmpfs when there is one: the writer flushes every file it writes.
  const std::filesystem::path dir =
      (std::filesystem::is_directory("/dev/shm") ? "/dev/shm"
                                                 : std::filesystem::temp_directory_path()) /
      ("halyard-race-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = dir / "widget-snapshot.json";
  ASSERT_FALSE(writeSnapshot(a, path));
  ::chmod(path.c_str(), 0600);

  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 1; i <= kRounds; ++i)
      writeSnapshot(i % 2 ? b : a, path);
    done = true;
  });
  int reads = 0;
  int whole = 0;
  for (; reads < kRounds || !done; ++reads) {
    const auto read = loadSnapshot(path);
    whole += (read == a || read == b) ? 1 : 0;
  }
  writer.join();
  EXPECT_EQ(whole, reads);
  EXPECT_EQ(loadSnapshot(path), a);
  EXPECT_EQ(lastLoadReport().outcome, LoadReport::Outcome::decoded);
  EXPECT_EQ(std::filesystem::status(path).permissions(),
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  EXPECT_TRUE(writeSnapshot(a, dir / "no/such/dir/file.json"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace halyard
