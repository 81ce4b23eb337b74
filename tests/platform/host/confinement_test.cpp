#include "platform/host/confinement.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>

#include "test_support.hpp"

namespace halyard::host {
namespace {

// Runs `body` in a child process (confinement cannot be undone) and returns its exit status.
int inChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

// errno of opening `path` with `flags`, 0 when it opened.
int openError(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

bool landlockAvailable() {
  return inChild([] {
           return confineToReadOnlyFile(std::nullopt).state == Confinement::enforced ? 0 : 1;
         }) == 0;
}

TEST(Confinement, OnlyTheGrantedFileCanBeRead) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string granted = dir.file("widget-snapshot.json");
  const std::string sibling = dir.file("other.json");
  testing::writeFile(granted, "{}");
  testing::writeFile(sibling, "{}");

  struct Attempt {
    std::string path;
    int flags;
    int expectedErrno;
  };
  const Attempt attempts[] = {
      {granted, O_RDONLY, 0},
      {granted, O_WRONLY, EACCES},
      {granted, O_RDWR, EACCES},
      {sibling, O_RDONLY, EACCES},
      {"/etc/hostname", O_RDONLY, EACCES},
      {dir.file("new.json"), O_WRONLY | O_CREAT, EACCES},
      {dir.path().string(), O_RDONLY | O_DIRECTORY, EACCES},
  };
  for (const Attempt& attempt : attempts) {
    const int result = inChild([&] {
      if (confineToReadOnlyFile(granted).state != Confinement::enforced) return 254;
      return openError(attempt.path, attempt.flags);
    });
    EXPECT_EQ(result, attempt.expectedErrno) << attempt.path << " flags " << attempt.flags;
  }
  // Nor can the confined process remove or rename what is there.
  EXPECT_EQ(inChild([&] {
              confineToReadOnlyFile(granted);
              return ::unlink(sibling.c_str()) == 0 ? 0 : errno;
            }),
            EACCES);
  EXPECT_TRUE(std::filesystem::exists(sibling));
}

TEST(Confinement, WithoutTheFileNothingCanBeOpened) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string missing = dir.file("widget-snapshot.json");
  EXPECT_EQ(inChild([&] {
              const auto result = confineToReadOnlyFile(missing);
              if (result.state != Confinement::enforced) return 254;
              // The file appearing later does not widen the grant.
              return openError("/etc/hostname", O_RDONLY);
            }),
            EACCES);
}

// What a one-shot drawing is left with: folders to read (fonts) and folders to write its
// pictures in, files only; a file-only grant on a folder grants nothing.
TEST(Confinement, FolderGrantsReachFilesBeneathThemAndNoFurther) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  std::filesystem::create_directories(dir.file("fonts/sub"));
  std::filesystem::create_directories(dir.file("out"));
  testing::writeFile(dir.file("fonts/sub/a.otf"), "font");
  testing::writeFile(dir.file("out/old.png"), "old");
  testing::writeFile(dir.file("secret"), "x");
  const std::vector<PathGrant> grants{{dir.file("fonts"), PathAccess::read},
                                      {dir.file("out"), PathAccess::update},
                                      {dir.path().string(), PathAccess::readFile}};
  const auto confined = [&](const std::function<int()>& body) {
    return inChild([&] { return confineTo(grants).state == Confinement::enforced ? body() : 254; });
  };
  struct Attempt {
    std::string path;
    int flags;
    int expectedErrno;
  };
  const Attempt attempts[] = {
      {dir.file("fonts/sub/a.otf"), O_RDONLY, 0},
      {dir.file("fonts/sub"), O_RDONLY | O_DIRECTORY, 0},
      {dir.file("fonts/sub/a.otf"), O_WRONLY, EACCES},
      {dir.file("fonts/new"), O_WRONLY | O_CREAT, EACCES},
      {dir.file("out/new.png"), O_WRONLY | O_CREAT | O_EXCL, 0},
      {dir.file("out/old.png"), O_RDWR | O_TRUNC, 0},
      {dir.file("secret"), O_RDONLY, EACCES},
  };
  for (const Attempt& attempt : attempts) {
    EXPECT_EQ(confined([&] { return openError(attempt.path, attempt.flags); }),
              attempt.expectedErrno)
        << attempt.path << " flags " << attempt.flags;
  }
  // Pictures replace each other by renaming within their folder; no folders are made.
  EXPECT_EQ(confined([&] {
              testing::writeFile(dir.file("out/.tmp"), "new");
              return ::rename(dir.file("out/.tmp").c_str(), dir.file("out/old.png").c_str()) == 0
                         ? 0
                         : errno;
            }),
            0);
  EXPECT_EQ(testing::readFile(dir.file("out/old.png")), "new");
  EXPECT_EQ(confined([&] { return ::mkdir(dir.file("out/d").c_str(), 0755) == 0 ? 0 : errno; }),
            EACCES);
}

}  // namespace
}  // namespace halyard::host
