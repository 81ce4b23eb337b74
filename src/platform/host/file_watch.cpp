#include "platform/host/file_watch.hpp"

#include <gio/gio.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "platform/host/glib_support.hpp"

namespace halyard::host {

namespace {

bool isDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// The first component of `path` that is not there as it should be (a folder above the file,
// or the file itself), or the path itself once everything is there.
std::string firstMissing(const std::filesystem::path& path) {
  std::filesystem::path partial = path.root_path();
  std::vector<std::filesystem::path> parts(std::next(path.begin()), path.end());
  for (std::size_t i = 0; i < parts.size(); ++i) {
    partial /= parts[i];
    const bool last = i + 1 == parts.size();
    if (last ? !exists(partial.string()) : !isDirectory(partial.string())) return partial.string();
  }
  return path.string();
}

}  // namespace

struct FileWatch::State {
  std::string path;
  std::chrono::milliseconds delay;
  std::function<void()> changed;
  std::string watchedEntry;
  // One monitor on the watched entry, one on the folder that holds it (to see that folder go).
  std::vector<GObjectHandle<GFileMonitor>> monitors;
  guint timer = 0;
  gint64 burstStart = 0;

  void arm() {
    const std::string entry = firstMissing(std::filesystem::path(path));
    if (entry == watchedEntry && !monitors.empty()) return;
    monitors.clear();
    watchedEntry = entry;
    const std::filesystem::path entryPath(entry);
    std::vector<std::string> targets{entry};
    if (entryPath.has_parent_path() && entryPath.parent_path() != entryPath.root_path())
      targets.push_back(entryPath.parent_path().string());
    for (const auto& target : targets) {
      GObjectHandle<GFile> file(g_file_new_for_path(target.c_str()));
      GObjectHandle<GFileMonitor> monitor(
          g_file_monitor_file(file.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr));
      if (!monitor) continue;
      connectSignal(monitor.get(), "changed", &State::onEvent, this);
      monitors.push_back(std::move(monitor));
    }
  }

  // Every event starts or extends the quiet period; a burst that never settles is still
  // reported after four delays.
  static void onEvent(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent, gpointer data) {
    auto* self = static_cast<State*>(data);
    const gint64 now = g_get_monotonic_time();
    if (self->timer != 0) {
      if (now - self->burstStart >= 4 * self->delay.count() * 1000) return;
      g_source_remove(self->timer);
    } else {
      self->burstStart = now;
    }
    self->timer = addTimeout(self->delay, [self] {
      self->timer = 0;
      // The watch moves before the file is read again, so that nothing after the read is
      // missed.
      self->arm();
      self->changed();
    });
  }

  ~State() {
    if (timer != 0) g_source_remove(timer);
  }
};

FileWatch::FileWatch(std::string path, std::chrono::milliseconds delay,
                     std::function<void()> changed)
    : state_(std::make_unique<State>()) {
  std::error_code ignored;
  state_->path = std::filesystem::absolute(path, ignored).lexically_normal().string();
  state_->delay = delay;
  state_->changed = std::move(changed);
  state_->arm();
}

FileWatch::~FileWatch() = default;

const std::string& FileWatch::path() const {
  return state_->path;
}

const std::string& FileWatch::watchedEntry() const {
  return state_->watchedEntry;
}

}  // namespace halyard::host
