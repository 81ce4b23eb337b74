#include "platform/host/instance_lock.hpp"

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace halyard::host {

namespace {

// A POSIX record lock on the whole file: unlike flock, the kernel tells who holds it, and it
// goes neither to forked children nor, the descriptor being close-on-exec, to started ones.
flock wholeFile(short type) {
  flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  return lock;
}

}  // namespace

std::string InstanceLock::pathFor(const std::string& name) {
  return std::string(g_get_user_runtime_dir()) + "/" + name + ".lock";
}

InstanceLock::InstanceLock(std::string path) : path_(std::move(path)) {
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd_ < 0) error_ = path_ + ": " + std::strerror(errno);
}

InstanceLock::~InstanceLock() {
  if (fd_ >= 0) ::close(fd_);
}

bool InstanceLock::tryAcquire() {
  if (held_) return true;
  if (fd_ < 0) return false;
  flock lock = wholeFile(F_WRLCK);
  if (::fcntl(fd_, F_SETLK, &lock) != 0) return false;
  held_ = true;
  // For people looking: the process id, as the lock itself also says.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0 && ::pwrite(fd_, pid.data(), pid.size(), 0) < 0) {
    // The lock is what counts; the text is only a courtesy.
  }
  return true;
}

std::optional<pid_t> InstanceLock::holder() const {
  if (fd_ < 0 || held_) return std::nullopt;
  flock lock = wholeFile(F_WRLCK);
  if (::fcntl(fd_, F_GETLK, &lock) != 0 || lock.l_type == F_UNLCK || lock.l_pid <= 0)
    return std::nullopt;
  return lock.l_pid;
}

bool InstanceLock::waitForLock(std::chrono::milliseconds patience) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!tryAcquire()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool InstanceLock::takeOver(std::chrono::milliseconds patience) {
  for (const int signal : {SIGTERM, SIGKILL}) {
    if (tryAcquire()) return true;
    const auto pid = holder();
    if (pid) ::kill(*pid, signal);
    if (waitForLock(patience)) return true;
  }
  return false;
}

}  // namespace halyard::host
