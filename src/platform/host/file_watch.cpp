#include "platform/host/file_watch.hpp"

#include <gio/gio.h>
#include <sys/stat.h>

#include <filesystem>

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
  std::string holder;  // the folder that holds the watched entry
  // One monitor on the holding folder: it sees the entry come, change and go, and the folder
  // itself go. (A file monitor would do for the entry, but GLib rescans every four seconds for
  // one whose folder is the root, which would wake an idle host.)
  GObjectHandle<GFileMonitor> monitor;
  guint timer = 0;
  gint64 burstStart = 0;

  void arm() {
    const std::string entry = firstMissing(std::filesystem::path(path));
    if (entry == watchedEntry && (monitor || holder == "/")) return;
    monitor.reset();
    watchedEntry = entry;
    holder = std::filesystem::path(entry).parent_path().string();
    // GLib cannot watch the root folder without rescanning it every four seconds; a path
    // missing right below the root (a home folder that does not exist) is left unwatched, and
    // the reload dates alone ask again.
    if (holder == "/") return;
    GObjectHandle<GFile> folder(g_file_new_for_path(holder.c_str()));
    monitor.reset(
        g_file_monitor_directory(folder.get(), G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr));
    if (monitor) connectSignal(monitor.get(), "changed", &State::onEvent, this);
  }

  // Whether an event is about the watched entry or its folder, not a neighbour of the entry.
  bool concerns(GFile* file) const {
    if (file == nullptr) return false;
    gchar* raw = g_file_get_path(file);
    const bool ours = raw != nullptr && (watchedEntry == raw || holder == raw);
    g_free(raw);
    return ours;
  }

  // Every event starts or extends the quiet period; a burst that never settles is still
  // reported after four delays.
  static void onEvent(GFileMonitor*, GFile* file, GFile* other, GFileMonitorEvent, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (!self->concerns(file) && !self->concerns(other)) return;
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
