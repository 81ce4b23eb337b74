// What a confined process can still do: an extension its one file, a drawing its folders.
#include "platform/host/confinement.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>

#include "platform/host/extension.hpp"
#include "stub_widget.hpp"
#include "test_support.hpp"

namespace halyard::host {
namespace {

using namespace std::chrono_literals;

// Confines the calling process; returns the descriptor to report on, or -1 when it failed.
using Confine = std::function<int(int pipeFd)>;

// What `body` returns in a child that first confines itself: empty when confining failed,
// "signal N" when a signal killed the child.
std::string inConfinedChild(const Confine& confine, const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const int out = confine(fds[1]);
    const std::string text = out < 0 ? "" : body();
    if (out >= 0) (void)!::write(out, text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  const std::string text = testing::readFile("/dev/fd/" + std::to_string(fds[0]));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status)) : text;
}

// The errno `body` reports in a confined child (0: success), minus the signal that killed it,
// or -1 when it reported nothing.
int confinedErrno(const Confine& confine, const std::function<int()>& body) {
  const std::string text = inConfinedChild(confine, [&] { return std::to_string(body()); });
  if (text.starts_with("signal ")) return -std::atoi(text.c_str() + 7);
  return text.empty() ? -1 : std::atoi(text.c_str());
}

int errnoOf(int result) {
  return result < 0 ? errno : 0;
}

std::function<int()> opening(const std::string& path, int flags) {
  return [=] {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
  };
}

Confine enforcing(std::function<ConfinementResult()> confine) {
  return [confine](int pipeFd) { return confine().state == Confinement::enforced ? pipeFd : -1; };
}

Confine byLandlockAlone(const std::string& file = "") {
  return enforcing([file] {
    return confineToOpenFile(file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  });
}

bool landlockAvailable() {
  return confinedErrno(byLandlockAlone(), [] { return 0; }) == 0;
}

// A drawing reads its fonts, writes its pictures; a file-only grant on a folder grants nothing.
TEST(Confinement, FolderGrantsReachFilesBeneathThemAndNoFurther) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const auto at = [&](const std::string& name) { return dir.file(name); };
  std::filesystem::create_directories(at("fonts/sub"));
  std::filesystem::create_directories(at("out"));
  for (const char* name : {"fonts/sub/a.otf", "out/old.png", "secret"})
    testing::writeFile(at(name), "old");
  const std::vector<PathGrant> grants{{at("fonts"), PathAccess::read},
                                      {at("out"), PathAccess::update},
                                      {dir.path().string(), PathAccess::readFile}};
  const Confine drawing = enforcing([&] { return confineTo(grants); });
  const std::tuple<const char*, std::function<int()>, int> attempts[] = {
      {"read a font", opening(at("fonts/sub/a.otf"), O_RDONLY), 0},
      {"list a font folder", opening(at("fonts/sub"), O_RDONLY | O_DIRECTORY), 0},
      {"write a font", opening(at("fonts/sub/a.otf"), O_WRONLY), EACCES},
      {"create a font", opening(at("fonts/new"), O_WRONLY | O_CREAT), EACCES},
      {"create a picture", opening(at("out/new.png"), O_WRONLY | O_CREAT | O_EXCL), 0},
      {"truncate a picture", opening(at("out/old.png"), O_RDWR | O_TRUNC), 0},
      {"read beside the folders", opening(at("secret"), O_RDONLY), EACCES},
      {"replace a picture",
       [&] {
         testing::writeFile(at("out/.tmp"), "new");
         return errnoOf(::rename(at("out/.tmp").c_str(), at("out/old.png").c_str()));
       },
       0},
      {"make a folder", [&] { return errnoOf(::mkdir(at("out/d").c_str(), 0755)); }, EACCES}};
  for (const auto& [what, body, expected] : attempts)
    EXPECT_EQ(confinedErrno(drawing, body), expected) << what;
  EXPECT_EQ(testing::readFile(at("out/old.png")), "new");
}

// Connects to `address` (a datagram: sends one byte) through a new socket: 0, or the errno.
template <typename Address>
int reachError(int type, const Address& address, socklen_t length) {
  const auto* generic = reinterpret_cast<const sockaddr*>(&address);
  const int fd = ::socket(generic->sa_family, type, 0);
  if (fd < 0) return errno;
  if (type == SOCK_DGRAM) return ::sendto(fd, "x", 1, 0, generic, length) < 0 ? errno : 0;
  return errnoOf(::connect(fd, generic, length));
}

// Each attempt, in a fresh process confined as an extension is, is refused (EPERM, EACCES;
// EBADF for a descriptor it was not left) or killed; where Landlock alone stops it too (on a
// kernel whose ABI has the rule), that is checked as well.
TEST(Confinement, ASubvertedExtensionCanDoNothingButAnswer) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string file = dir.file("widget-snapshot.json");
  testing::writeFile(file, "granted");
  const WidgetDescriptor widget = testing::stubWidget({.file = file});
  const std::string userFile = dir.file("user-file");
  testing::writeFile(userFile, "mine");

  // Nobody listens on TCP port 9 or at the path, so only a refusal gives EPERM/EACCES; abstract
  // sockets are scoped only once there is a listener.
  sockaddr_in loopback{};
  loopback.sin_family = AF_INET;
  loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in port9 = loopback;
  port9.sin_port = htons(9);
  sockaddr_un abstractAddress{AF_UNIX, {}}, pathAddress{AF_UNIX, {}};
  const std::string abstractName = "halyard-test-" + std::to_string(::getpid());
  std::memcpy(abstractAddress.sun_path + 1, abstractName.data(), abstractName.size());
  const socklen_t abstractLength = offsetof(sockaddr_un, sun_path) + 1 + abstractName.size();
  dir.file("socket").copy(pathAddress.sun_path, sizeof pathAddress.sun_path - 1);
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ::bind(listener, reinterpret_cast<const sockaddr*>(&abstractAddress), abstractLength);
  ::listen(listener, 4);
  const int inherited = ::open(dir.file("inherited").c_str(), O_WRONLY | O_CREAT, 0600);

  struct Trespass {
    const char* what;
    std::function<int()> body;
    int landlockAbi;  // the ABI from which Landlock alone refuses it; 0: Landlock does not
    int landlockErrno;
  };
  const Trespass attempts[] = {
      {"TCP connect to 127.0.0.1", [&] { return reachError(SOCK_STREAM, port9, sizeof port9); }, 4,
       EACCES},
      {"TCP bind on 127.0.0.1",
       [&] {
         const auto* address = reinterpret_cast<const sockaddr*>(&loopback);
         return errnoOf(::bind(::socket(AF_INET, SOCK_STREAM, 0), address, sizeof loopback));
       },
       4, EACCES},
      {"UDP send to 127.0.0.1", [&] { return reachError(SOCK_DGRAM, port9, sizeof port9); }, 0, 0},
      {"abstract Unix socket connect",
       [&] { return reachError(SOCK_STREAM, abstractAddress, abstractLength); }, 6, EPERM},
      {"pathname Unix socket connect",
       [&] { return reachError(SOCK_STREAM, pathAddress, sizeof pathAddress); }, 0, 0},
      {"signal the parent", [] { return errnoOf(::kill(::getppid(), SIGCONT)); }, 6, EPERM},
      {"read a file beside the granted one", opening(userFile, O_RDONLY), 1, EACCES},
      {"read /etc/hostname", opening("/etc/hostname", O_RDONLY), 1, EACCES},
      {"write the granted file", opening(file, O_WRONLY), 1, EACCES},
      {"create a file", opening(dir.file("new"), O_WRONLY | O_CREAT), 1, EACCES},
      {"list the folder", opening(dir.path().string(), O_RDONLY | O_DIRECTORY), 1, EACCES},
      {"remove a user's file", [&] { return errnoOf(::unlink(userFile.c_str())); }, 1, EACCES},
      {"chmod a user's file", [&] { return errnoOf(::chmod(userFile.c_str(), 0666)); }, 0, 0},
      {"set an xattr on it",
       [&] { return errnoOf(::setxattr(userFile.c_str(), "user.x", "1", 1, 0)); }, 0, 0},
      {"touch it", [&] { return errnoOf(::utimensat(AT_FDCWD, userFile.c_str(), nullptr, 0)); }, 0,
       0},
      {"TIOCSTI", [] { return errnoOf(::ioctl(STDIN_FILENO, TIOCSTI, "x")); }, 0, 0},
      {"execve", [] { return errnoOf(::execl("/bin/true", "true", nullptr)); }, 1, EACCES},
      {"memfd_create", [] { return errnoOf(::memfd_create("code", 0)); }, 0, 0},
      {"write to an inherited descriptor",
       [&] { return ::write(inherited, "x", 1) < 0 ? errno : 0; }, 0, 0},
  };
  const Confine asExtension = [&widget](int pipeFd) {
    return becomeExtension(widget, pipeFd).failed ? -1 : 1;
  };
  const int abi = landlockAbi();
  std::string beyondThisKernel;
  for (const Trespass& attempt : attempts) {
    SCOPED_TRACE(attempt.what);
    const int error = confinedErrno(asExtension, attempt.body);
    EXPECT_TRUE(error == -SIGSYS || error == EPERM || error == EACCES || error == EBADF) << error;
    if (attempt.landlockAbi == 0) continue;
    if (abi < attempt.landlockAbi) {
      beyondThisKernel += std::string(" ") + attempt.what + ";";
      continue;
    }
    EXPECT_EQ(confinedErrno(byLandlockAlone(file), attempt.body), attempt.landlockErrno);
  }
  // Landlock alone still lets the granted file be read; with no file, nothing at all.
  EXPECT_EQ(confinedErrno(byLandlockAlone(file), opening(file, O_RDONLY)), 0);
  EXPECT_EQ(confinedErrno(byLandlockAlone(), opening(file, O_RDONLY)), EACCES);
  // The long-running host gives up TCP only.
  const Confine tcpOnly = enforcing(confineNetwork);
  for (const Trespass* attempt : {&attempts[0], &attempts[1]}) {
    if (abi < 4) break;
    EXPECT_EQ(confinedErrno(tcpOnly, attempt->body), EACCES) << attempt->what;
  }
  ::close(listener);
  ::close(inherited);
  if (!beyondThisKernel.empty())
    GTEST_SKIP() << "Landlock ABI " << abi << " cannot refuse by itself:" << beyondThisKernel;
}

// Whatever the path names meanwhile, an extension reads the file it opened and granted, or
// nothing; anything but a readable regular file within the limit is refused unread.
TEST(Confinement, TheGrantIsTheDescriptorThatIsRead) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string path = dir.file("widget-snapshot.json");
  WidgetDescriptor widget = testing::stubWidget({.file = path});
  widget.readableFileLimit = 1 << 20;
  // The granted file's inode and what the widget read, or the refusal; `asUser`: not as root.
  const auto granted = [&](bool asUser = false) {
    ExtensionSetup setup;
    const Confine asExtension = [&](int pipeFd) {
      if (asUser && ::getuid() == 0 && ::setuid(54321) != 0) return -1;
      setup = becomeExtension(widget, pipeFd);
      return setup.failed ? -1 : 1;
    };
    const auto report = [&] {
      if (setup.refusal.state == FileReport::State::refused)
        return "refused: " + setup.refusal.reason;
      struct stat info {};
      ::fstat(setup.file, &info);
      widget.readFileFrom(setup.file);
      return std::to_string(info.st_ino) + " " + testing::fileText(path);
    };
    return inConfinedChild(asExtension, report);
  };
  const auto inode = [](const std::string& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return std::to_string(info.st_ino);
  };

  int fifoWriter = -1;
  const std::pair<std::function<void()>, std::string> refusals[] = {
      // The kernel cannot grant it: nothing read.
      {[&] { std::filesystem::create_symlink("/proc/self/ns/net", path); }, ""},
      {[&] {
         { std::ofstream sparse(path); }
         std::filesystem::resize_file(path, std::uint64_t{8} << 30);
       },
       "refused: larger than 1 MiB"},
      {[&] { std::filesystem::create_symlink("/dev/zero", path); }, "refused: not a regular file"},
      {[&] {
         ::mkfifo(path.c_str(), 0600);
         fifoWriter = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
         (void)!::write(fifoWriter, "[[[[", 4);
       },
       "refused: not a regular file"},
      {[&] { std::filesystem::create_symlink(path, path); },
       "refused: Too many levels of symbolic links"},
  };
  for (const auto& [make, expected] : refusals) {
    std::filesystem::remove(path);
    make();
    EXPECT_EQ(granted(), expected);
  }
  ::close(fifoWriter);
  testing::writeFile(path, "{}");
  ::chmod(path.c_str(), 0);
  EXPECT_EQ(granted(true), "refused: Permission denied");

  std::filesystem::remove(path);
  testing::writeFile(dir.file("a"), "document a");
  testing::writeFile(dir.file("b"), "document b");
  const std::map<std::string, std::string> documents{{inode(dir.file("a")), "document a"},
                                                     {inode(dir.file("b")), "document b"}};
  std::filesystem::create_symlink("a", path);
  // The link swaps (ungrantable, a, b) in another process: this one forks, so keeps one thread.
  const pid_t swapper = ::fork();
  if (swapper == 0) {
    const char* targets[] = {"/proc/self/ns/net", "a", "b"};
    for (unsigned i = 0;; ++i) {
      const std::string link = dir.file("link" + std::to_string(i % 2));
      ::unlink(link.c_str());
      if (::symlink(targets[i % 3], link.c_str()) != 0 || ::rename(link.c_str(), path.c_str()) != 0)
        ::_exit(1);
    }
  }
  int runs = 0, read = 0;
  for (const auto end = std::chrono::steady_clock::now() + 2s;
       std::chrono::steady_clock::now() < end; ++runs) {
    const std::string text = granted();
    if (text.empty()) continue;  // the link the kernel cannot grant: nothing read
    const auto space = text.find(' ');
    const auto document = documents.find(text.substr(0, space));
    if (space == std::string::npos || document == documents.end()) {
      ADD_FAILURE() << "read what was not granted: " << text;
      break;
    }
    EXPECT_EQ(text.substr(space + 1), document->second);
    ++read;
  }
  ::kill(swapper, SIGKILL);
  ::waitpid(swapper, nullptr, 0);
  EXPECT_GT(read, 0) << "of " << runs << " runs";
}

}  // namespace
}  // namespace halyard::host
