#pragma once
// Watches one file path for changes, on the thread-default GLib main context: its creation,
// every change, its removal or replacement, even when the file or the folders above it do not
// exist yet.
//
// Only the missing part of the path can change what the path names, so the watch is kept on
// the first missing component of the path (or on the file itself once everything exists),
// through the folder that holds it, which also sees that folder removed. As folders appear or
// disappear the watch moves along the path. The several events of one save come in a burst:
// they are coalesced, and `changed` is called once the burst has been quiet for `delay`.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace halyard::host {

class FileWatch {
 public:
  // Watches `path` (made absolute against the working folder) from now on; `changed` is
  // called on the main context, never from within the constructor.
  FileWatch(std::string path, std::chrono::milliseconds delay, std::function<void()> changed);
  ~FileWatch();
  FileWatch(const FileWatch&) = delete;
  FileWatch& operator=(const FileWatch&) = delete;

  const std::string& path() const;
  // The path whose entry is watched now: the file, or its nearest missing ancestor.
  const std::string& watchedEntry() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace halyard::host
