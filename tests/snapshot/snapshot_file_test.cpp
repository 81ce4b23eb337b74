#include "snapshot/snapshot_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "test_support.hpp"

namespace halyard {
namespace {

using testing::TempDir;

const std::string kExample = testing::sourcePath("examples/full.json");
constexpr const char* kTail = "Library/Application Support/Halyard/widget-snapshot.json";

// The user database's home wins over HOME, which is the fallback; with neither, the root.
TEST(SnapshotLocation, DatabaseHomeThenEnvironmentHome) {
  const std::pair<std::optional<std::string>, const char*> cases[] = {
      {"/db/home", "/db/home/"}, {"/db/home/", "/db/home/"}, {"/", "/"}, {{}, "/env/home/"}};
  ::setenv("HOME", "/env/home", 1);
  for (const auto& [database, expected] : cases)
    EXPECT_EQ(snapshotFilePath([&] { return database; }), std::string(expected) + kTail);
  ::unsetenv("HOME");
  EXPECT_EQ(snapshotFilePath([] { return std::nullopt; }), std::string("/") + kTail);

  const auto home = userDatabaseHome();
  ASSERT_TRUE(home.has_value());
  ::setenv("HOME", "/somewhere/else", 1);
  EXPECT_EQ(WidgetSnapshot::fileURL(), *home + (home->back() == '/' ? "" : "/") + kTail);
}

TEST(SnapshotLoading, AnythingButAGoodRegularFileIsAbsent) {
  TempDir dir;
  testing::writeFile(dir.file("empty.json"), "");
  testing::writeFile(dir.file("truncated.json"), testing::readFile(kExample).substr(0, 100));
  testing::writeFile(dir.file("partial.json"), R"({"generatedAt":"2026-03-14T09:30:00Z"})");
  std::filesystem::create_directory(dir.file("directory"));
  std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
  std::filesystem::create_symlink(dir.file("loop"), dir.file("loop"));
  for (const char* name : {"missing.json", "empty.json", "truncated.json", "partial.json",
                           "directory", "dangling", "loop"}) {
    EXPECT_FALSE(loadSnapshot(dir.file(name)).has_value()) << name;
  }
  EXPECT_FALSE(loadSnapshot("/dev/zero").has_value());
  EXPECT_FALSE(loadSnapshot("/dev/null").has_value());
  // Nothing is created by looking.
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing.json")));

  auto missing = readRegularFile(dir.file("missing"));
  ASSERT_TRUE(std::holds_alternative<ReadError>(missing));
  EXPECT_EQ(std::get<ReadError>(missing).code, std::errc::no_such_file_or_directory);
  auto directory = readRegularFile(dir.path().string());
  ASSERT_TRUE(std::holds_alternative<ReadError>(directory));
  EXPECT_EQ(std::get<ReadError>(directory).message(), "not a regular file");
}

TEST(SnapshotLoading, AFifoComesBackAbsentAtOnce) {
  TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // With no writer, and with a writer that never stops: neither may block the reader.
  EXPECT_FALSE(loadSnapshot(fifo).has_value());
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    while (fd < 0 && !stop)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string chunk(4096, '[');
    while (fd >= 0 && !stop) {
      if (::write(fd, chunk.data(), chunk.size()) < 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (fd >= 0) ::close(fd);
  });
  EXPECT_FALSE(loadSnapshot(fifo).has_value());
  stop = true;
  // Unblock a writer still waiting for a reader.
  const int unblock = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (unblock >= 0) ::close(unblock);
}

// Written whole, read afresh on every call, the mode of the replaced file kept, no
// temporary left behind. (Readers racing the writer: snapshot_race_test.cpp.)
TEST(SnapshotWriting, ReplacesTheFileWholeAndLeavesNoTemporary) {
  TempDir dir;
  const std::string path = dir.file("widget-snapshot.json");
  WidgetSnapshot snapshot = *loadSnapshot(kExample);
  EXPECT_FALSE(loadSnapshot(path).has_value());
  ASSERT_FALSE(writeSnapshot(snapshot, path));
  EXPECT_EQ(loadSnapshot(path), snapshot);
  ::chmod(path.c_str(), 0600);
  snapshot.repoCount = 99;
  ASSERT_FALSE(writeSnapshot(snapshot, path));
  EXPECT_EQ(loadSnapshot(path), snapshot);
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
  EXPECT_TRUE(writeSnapshot(snapshot, dir.file("no/such/dir/file.json")));
  std::filesystem::remove(path);
  EXPECT_FALSE(loadSnapshot(path).has_value());
}

}  // namespace
}  // namespace halyard
