// What a confined process can still do: the extension's one file, and nothing else it might
// try once subverted; the one-shot drawing's folders.
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
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <map>

#include "platform/host/extension.hpp"
#include "stub_widget.hpp"
#include "test_support.hpp"

namespace halyard::host {
namespace {

using namespace std::chrono_literals;

// How a confined child ended: what it reported (an errno, 0 for success; -1 when it reported
// nothing), or the signal that killed it.
struct ChildEnd {
  int reported = -1;
  std::string text;
  int signal = 0;
};

// Runs `body` in a child that first confines itself with `confine` (given the pipe it reports
// on, it returns the descriptor to write to, or -1 when confining failed); the child writes
// what `body` returns.
ChildEnd inConfinedChild(const std::function<int(int)>& confine,
                         const std::function<std::string()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    const int out = confine(fds[1]);
    const std::string text = out < 0 ? std::string("not confined") : body();
    if (out >= 0) (void)!::write(out, text.data(), text.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildEnd end;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    end.text.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
  if (!end.text.empty() && end.text != "not confined") end.reported = std::atoi(end.text.c_str());
  return end;
}

int errnoOf(int result) {
  return result < 0 ? errno : 0;
}

// Confined as an extension process is, for `widget`; reports on its standard output.
std::function<int(int)> asExtension(const WidgetDescriptor& widget) {
  return [&widget](int pipeFd) { return becomeExtension(widget, pipeFd).failed ? -1 : 1; };
}

// Confined by Landlock alone, with one file (or none) granted.
std::function<int(int)> byLandlockAlone(const std::string& file = "") {
  return [file](int pipeFd) {
    const int fd = file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    return confineToOpenFile(fd).state == Confinement::enforced ? pipeFd : -1;
  };
}

bool landlockAvailable() {
  return inConfinedChild(byLandlockAlone(), [] { return std::string("1"); }).reported == 1;
}

int openError(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
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
    const ChildEnd end = inConfinedChild(byLandlockAlone(granted), [&] {
      return std::to_string(openError(attempt.path, attempt.flags));
    });
    EXPECT_EQ(end.reported, attempt.expectedErrno) << attempt.path << " flags " << attempt.flags;
  }
  // Nor can the confined process remove what is there; and with no file, it can open nothing.
  EXPECT_EQ(inConfinedChild(byLandlockAlone(granted),
                            [&] { return std::to_string(errnoOf(::unlink(sibling.c_str()))); })
                .reported,
            EACCES);
  EXPECT_TRUE(std::filesystem::exists(sibling));
  EXPECT_EQ(inConfinedChild(byLandlockAlone(),
                            [&] { return std::to_string(openError(granted, O_RDONLY)); })
                .reported,
            EACCES);
}

// A subverted extension tries everything it should not, each attempt in a fresh process
// confined exactly as an extension is (so that one refusal does not hide the next). Each
// fails or kills the process; where Landlock alone already stops it (on a kernel whose ABI
// has the rule), that is checked too.
TEST(Confinement, ASubvertedExtensionCanDoNothingButAnswer) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string file = dir.file("widget-snapshot.json");
  testing::writeFile(file, "granted");
  const WidgetDescriptor widget = testing::stubWidget(testing::stubOptions(file));
  const std::string userFile = dir.file("user-file");
  testing::writeFile(userFile, "mine");
  ::chmod(userFile.c_str(), 0600);

  // Listeners that must hear nothing.
  const auto loopback = [](int type) {
    const int fd = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (type == SOCK_STREAM) ::listen(fd, 4);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return std::pair{fd, address};
  };
  const auto [tcp, tcpAddress] = loopback(SOCK_STREAM);
  const auto [udp, udpAddress] = loopback(SOCK_DGRAM);
  const auto unixAddress = [](const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), std::min(name.size(), sizeof address.sun_path - 1));
    return address;
  };
  const sockaddr_un abstractAddress =
      unixAddress(std::string(1, '\0') + "halyard-test-" + std::to_string(::getpid()));
  const sockaddr_un pathAddress = unixAddress(dir.file("socket"));
  const auto unixListener = [](const sockaddr_un& address, socklen_t length) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), length);
    ::listen(fd, 4);
    return fd;
  };
  const socklen_t abstractLength =
      offsetof(sockaddr_un, sun_path) + 1 + std::strlen(abstractAddress.sun_path + 1);
  const int abstractListener = unixListener(abstractAddress, abstractLength);
  const int pathListener = unixListener(pathAddress, sizeof pathAddress);
  const auto connectUnix = [](const sockaddr_un& address, socklen_t length) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0) return errno;
    return errnoOf(::connect(fd, reinterpret_cast<const sockaddr*>(&address), length));
  };
  // A process of the user's that must live on, and a descriptor the test leaves open.
  const pid_t bystander = ::fork();
  if (bystander == 0) {
    ::pause();
    ::_exit(0);
  }
  const int inherited = ::open(dir.file("inherited").c_str(), O_WRONLY | O_CREAT, 0600);

  struct Attempt {
    const char* what;
    std::function<int()> body;
    int landlockAbi;  // the ABI from which Landlock alone refuses it; 0: Landlock does not
    int landlockErrno;
  };
  const Attempt attempts[] = {
      {"TCP connect to 127.0.0.1",
       [&] {
         const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
         if (fd < 0) return errno;
         return errnoOf(
             ::connect(fd, reinterpret_cast<const sockaddr*>(&tcpAddress), sizeof tcpAddress));
       },
       4, EACCES},
      {"TCP bind on 127.0.0.1",
       [&] {
         const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
         if (fd < 0) return errno;
         sockaddr_in address = tcpAddress;
         address.sin_port = 0;
         return errnoOf(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address));
       },
       4, EACCES},
      {"UDP send to 127.0.0.1",
       [&] {
         const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
         if (fd < 0) return errno;
         const ssize_t sent = ::sendto(
             fd, "x", 1, 0, reinterpret_cast<const sockaddr*>(&udpAddress), sizeof udpAddress);
         return sent < 0 ? errno : 0;
       },
       0, 0},
      {"abstract Unix socket connect", [&] { return connectUnix(abstractAddress, abstractLength); },
       6, EPERM},
      {"pathname Unix socket connect", [&] { return connectUnix(pathAddress, sizeof pathAddress); },
       0, 0},
      {"kill the parent", [] { return errnoOf(::kill(::getppid(), SIGCONT)); }, 6, EPERM},
      {"kill another process of the user", [&] { return errnoOf(::kill(bystander, SIGKILL)); }, 6,
       EPERM},
      {"chmod a user's file", [&] { return errnoOf(::chmod(userFile.c_str(), 0666)); }, 0, 0},
      {"TIOCSTI",
       [] {
         const char c = 'x';
         return errnoOf(::ioctl(STDIN_FILENO, TIOCSTI, &c));
       },
       0, 0},
      {"execve",
       [] {
         const char* argv[] = {"true", nullptr};
         return errnoOf(::execve("/bin/true", const_cast<char**>(argv), nullptr));
       },
       1, EACCES},
      {"memfd_create", [] { return errnoOf(::memfd_create("code", 0)); }, 0, 0},
      {"read /etc/hostname", [] { return openError("/etc/hostname", O_RDONLY); }, 1, EACCES},
      {"write to an inherited descriptor",
       [&] { return ::write(inherited, "x", 1) < 0 ? errno : 0; }, 0, 0},
  };
  const int abi = landlockAbi();
  std::string beyondThisKernel;
  for (const Attempt& attempt : attempts) {
    SCOPED_TRACE(attempt.what);
    const auto body = [&] { return std::to_string(attempt.body()); };
    const ChildEnd extension = inConfinedChild(asExtension(widget), body);
    EXPECT_TRUE(extension.signal == SIGSYS || extension.reported > 0)
        << "reported " << extension.text << ", signal " << extension.signal;
    if (attempt.landlockAbi == 0) continue;
    if (abi < attempt.landlockAbi) {
      beyondThisKernel += std::string(" ") + attempt.what + ";";
      continue;
    }
    EXPECT_EQ(inConfinedChild(byLandlockAlone(file), body).reported, attempt.landlockErrno);
  }
  // The long-running host gives up TCP alone.
  for (const Attempt* attempt : {&attempts[0], &attempts[1]}) {
    if (abi < 4) break;
    const auto tcpOnly = [](int pipeFd) {
      return confineNetwork().state == Confinement::enforced ? pipeFd : -1;
    };
    EXPECT_EQ(inConfinedChild(tcpOnly, [&] { return std::to_string(attempt->body()); }).reported,
              EACCES)
        << attempt->what;
  }
  // Nothing got through.
  EXPECT_LT(::accept(tcp, nullptr, nullptr), 0);
  char byte = 0;
  EXPECT_LT(::recv(udp, &byte, 1, MSG_DONTWAIT), 0);
  EXPECT_LT(::accept(abstractListener, nullptr, nullptr), 0);
  EXPECT_LT(::accept(pathListener, nullptr, nullptr), 0);
  struct stat info {};
  ::stat(userFile.c_str(), &info);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(::kill(bystander, 0), 0) << "the other process was killed";
  EXPECT_EQ(std::filesystem::file_size(dir.file("inherited")), 0u);
  ::kill(bystander, SIGKILL);
  ::waitpid(bystander, nullptr, 0);
  for (const int fd : {tcp, udp, abstractListener, pathListener, inherited})
    ::close(fd);
  if (!beyondThisKernel.empty())
    GTEST_SKIP() << "Landlock ABI " << abi << " cannot refuse by itself:" << beyondThisKernel;
}

// The grant is the descriptor that is read: whatever the path names meanwhile (a swap loop
// between a link the kernel cannot grant and two documents), an extension reads the file it
// opened and granted, or nothing at all; a file over the limit is refused unread.
TEST(Confinement, TheGrantIsTheDescriptorThatIsRead) {
  if (!landlockAvailable()) GTEST_SKIP() << "the kernel has no Landlock";
  testing::TempDir dir;
  const std::string path = dir.file("widget-snapshot.json");
  testing::StubWidgetOptions options = testing::stubOptions(path);
  WidgetDescriptor widget = testing::stubWidget(options);
  widget.readableFileLimit = 1 << 20;
  // The child reports the granted file's inode and what the widget read.
  const auto granted = [&] {
    return inConfinedChild(
        [&](int pipeFd) {
          const ExtensionSetup setup = becomeExtension(widget, pipeFd);
          if (setup.failed) return -1;
          if (setup.refusal.state == FileReport::State::refused) {
            (void)!::write(1, "refused: ", 9);
            (void)!::write(1, setup.refusal.reason.data(), setup.refusal.reason.size());
            return -1;
          }
          struct stat info {};
          ::fstat(setup.file, &info);
          widget.readFileFrom(setup.file);
          const std::string text = std::to_string(info.st_ino) + " ";
          (void)!::write(1, text.data(), text.size());
          return 1;
        },
        [&] { return testing::fileText(path); });
  };
  const auto inode = [](const std::string& file) {
    struct stat info {};
    ::stat(file.c_str(), &info);
    return std::to_string(info.st_ino);
  };

  std::filesystem::create_symlink("/proc/self/ns/net", path);
  EXPECT_EQ(granted().text, "");  // the kernel cannot grant it: the placeholder, nothing read

  std::filesystem::remove(path);
  { std::ofstream sparse(path); }
  std::filesystem::resize_file(path, std::uint64_t{8} << 30);
  EXPECT_EQ(granted().text, "refused: larger than 1 MiB");

  std::filesystem::remove(path);
  testing::writeFile(dir.file("a"), "document a");
  testing::writeFile(dir.file("b"), "document b");
  const std::map<std::string, std::string> documents{{inode(dir.file("a")), "document a"},
                                                     {inode(dir.file("b")), "document b"}};
  std::filesystem::create_symlink("a", path);
  // The swapping runs in a process of its own: this one forks and must keep one thread.
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
    const std::string text = granted().text;
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
    return inConfinedChild(
               [&](int pipeFd) {
                 return confineTo(grants).state == Confinement::enforced ? pipeFd : -1;
               },
               [&] { return std::to_string(body()); })
        .reported;
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
  EXPECT_EQ(
      confined([&] {
        testing::writeFile(dir.file("out/.tmp"), "new");
        return errnoOf(::rename(dir.file("out/.tmp").c_str(), dir.file("out/old.png").c_str()));
      }),
      0);
  EXPECT_EQ(testing::readFile(dir.file("out/old.png")), "new");
  EXPECT_EQ(confined([&] { return errnoOf(::mkdir(dir.file("out/d").c_str(), 0755)); }), EACCES);
}

}  // namespace
}  // namespace halyard::host
