#pragma once
// One long-running instance per user: a lock on a file in the user's runtime folder, held
// until the process ends. The system keeps the holder's process id with the lock, so that
// another instance can name the one running (and end it to take over).

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace halyard::host {

class InstanceLock {
 public:
  // <user runtime folder>/<name>.lock (XDG_RUNTIME_DIR; GLib's fallback without it).
  static std::string pathFor(const std::string& name);

  // Opens (creating) the lock file; nothing is locked yet.
  explicit InstanceLock(std::string path);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Takes the lock if no other process holds it; true once held.
  bool tryAcquire();
  // Asks the holder to end (SIGTERM) and takes the lock once it has, waiting at most
  // `patience`; then ends it with SIGKILL and waits as long again. True once held.
  bool takeOver(std::chrono::milliseconds patience);

  // The process holding the lock, if another does.
  std::optional<pid_t> holder() const;
  bool held() const { return held_; }
  // Why the lock file could not be used; empty when it could.
  const std::string& error() const { return error_; }

 private:
  bool waitForLock(std::chrono::milliseconds patience);

  std::string path_;
  int fd_ = -1;
  bool held_ = false;
  std::string error_;
};

}  // namespace halyard::host
