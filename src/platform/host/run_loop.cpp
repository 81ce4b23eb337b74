#include "platform/host/run_loop.hpp"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>

#include "platform/host/extension.hpp"
#include "platform/host/file_watch.hpp"
#include "platform/host/glib_support.hpp"

namespace halyard::host {

using std::chrono::milliseconds;

Date systemNow() {
  return std::chrono::time_point_cast<std::chrono::microseconds>(std::chrono::system_clock::now());
}

namespace {

milliseconds until(Date date, Date now) {
  return std::max(milliseconds(0), std::chrono::ceil<milliseconds>(date - now));
}

// Timers never run longer than a day: a date further ahead is checked again then.
constexpr milliseconds kLongestTimer = std::chrono::hours(24);

void removeSource(guint& source) {
  if (source != 0) g_source_remove(source);
  source = 0;
}

}  // namespace

struct RunLoop::State {
  WidgetDescriptor widget;
  RunLoopOptions options;
  std::function<void(const HostEntry&)> entryHandler;
  std::function<void(const std::string&)> errorHandler;
  std::function<void(const std::string&)> noticeHandler;

  std::optional<Timeline<HostEntry>> timeline;
  std::size_t shown = 0;
  std::size_t requests = 0;
  Date lastRequest{};
  guint reloadTimer = 0;
  guint entryTimer = 0;
  std::unique_ptr<FileWatch> watch;

  GMainLoop* loop = nullptr;
  bool quitting = false;
  guint signalSources[3] = {0, 0, 0};

  // The request under way: its answer is taken when its descriptor says it is there (or at
  // the extension's time limit), while the main loop goes on drawing and watching.
  PendingTimeline pending;
  bool pendingForFileChange = false;
  guint readySource = 0;
  guint pendingTimeout = 0;
  bool lastAnswered = false;
  // The refusal of the widget's file last told, while it stands.
  std::optional<std::string> refusal;

  // Asks for a timeline, dropping one still under way. From a widget that answers at once,
  // the answer is taken before returning; otherwise it is taken as it arrives, in pieces,
  // by the main loop. `fileChanged`: asked because the widget's file changed (or at the start):
  // a refusal is told again.
  void request(bool fileChanged = false) {
    ++requests;
    lastRequest = options.clock();
    cancelPending();
    const DisplaySize size = familySize(options.family);
    pending = requestTimeline(widget, TimelineProviderContext{options.family, false, size});
    pendingForFileChange = fileChanged;
    if (pending.readyFd < 0) {
      answered();
      return;
    }
    readySource = g_unix_fd_add(pending.readyFd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                &State::onReady, this);
    pendingTimeout = addTimeout(kExtensionTimeout + milliseconds(100), [this] {
      pendingTimeout = 0;
      answered();
    });
  }

  static gboolean onReady(gint, GIOCondition, gpointer data) {
    auto* self = static_cast<State*>(data);
    if (self->pending.progress && !self->pending.progress()) return G_SOURCE_CONTINUE;
    self->readySource = 0;
    self->answered();
    return G_SOURCE_REMOVE;
  }

  // Tells a refusal of the widget's file once per change of the file (and when it changes),
  // not on every reload; and once when the file is read again.
  void tell(const AnswerNotes& notes, bool fileChanged) {
    if (!noticeHandler) return;
    const FileReport& file = notes.file;
    if (file.state == FileReport::State::refused) {
      if (fileChanged || refusal != file.reason)
        noticeHandler("warning: " + file.path + ": " + file.reason);
      refusal = file.reason;
    } else if (file.state == FileReport::State::read && refusal) {
      noticeHandler(file.path + ": read again");
      refusal.reset();
    }
  }

  void cancelPending() {
    removeSource(readySource);
    removeSource(pendingTimeout);
    pending = {};  // an extension still at work is ended
  }

  bool answered() {
    auto wait = std::move(pending.wait);
    auto notes = pending.notes;
    cancelPending();
    auto answer = wait ? wait() : std::nullopt;
    lastAnswered = answer && !answer->entries.empty();
    if (notes) tell(*notes, pendingForFileChange);
    if (!lastAnswered) {
      if (errorHandler) errorHandler("the widget gave no timeline");
      // Asked again after the shortest reload interval, or when the file changes.
      scheduleAt(lastRequest);
      return false;
    }
    timeline = std::move(*answer);
    removeSource(entryTimer);
    showDueEntry(true);
    scheduleReload();
    return true;
  }

  // Shows the last entry whose date has come (the first one while none has), and wakes up at
  // the next entry's date.
  void showDueEntry(bool fresh) {
    const Date now = options.clock();
    const auto& entries = timeline->entries;
    std::size_t due = 0;
    for (std::size_t i = 1; i < entries.size(); ++i)
      if (entries[i].date <= now) due = i;
    if (fresh || due != shown) {
      shown = due;
      if (entryHandler) entryHandler(entries[due]);
    }
    removeSource(entryTimer);
    if (due + 1 < entries.size()) {
      entryTimer = addTimeout(std::min(until(entries[due + 1].date, now), kLongestTimer), [this] {
        entryTimer = 0;
        showDueEntry(false);
      });
    }
  }

  void scheduleReload() {
    removeSource(reloadTimer);
    const auto& policy = timeline->policy;
    switch (policy.kind()) {
      case TimelineReloadPolicy::Kind::never:
        return;
      case TimelineReloadPolicy::Kind::after:
        scheduleAt(*policy.date());
        return;
      case TimelineReloadPolicy::Kind::atEnd:
        scheduleAt(timeline->entries.back().date);
        return;
    }
  }

  // Asks again at `date` by the loop's clock, and no sooner than the shortest interval after
  // the last request. A timer that ends before the clock reaches the date waits again.
  void scheduleAt(Date date) {
    removeSource(reloadTimer);
    const Date target =
        std::max(date, lastRequest + std::chrono::duration_cast<std::chrono::microseconds>(
                                         options.minimumReloadInterval));
    reloadTimer =
        addTimeout(std::min(until(target, options.clock()), kLongestTimer), [this, target] {
          reloadTimer = 0;
          if (options.clock() < target) {
            scheduleAt(target);
          } else {
            request();
          }
        });
  }

  static gboolean onSignal(gpointer data) {
    static_cast<State*>(data)->stop();
    return G_SOURCE_CONTINUE;
  }

  void stop() {
    quitting = true;
    if (loop != nullptr) g_main_loop_quit(loop);
  }

  ~State() {
    cancelPending();
    removeSource(reloadTimer);
    removeSource(entryTimer);
    for (auto& source : signalSources)
      removeSource(source);
  }
};

RunLoop::RunLoop(WidgetDescriptor widget, RunLoopOptions options)
    : state_(std::make_unique<State>()) {
  state_->widget = std::move(widget);
  state_->options = std::move(options);
  if (!state_->options.clock) state_->options.clock = systemNow;
  // From now on these signals end the loop instead of the process (SIGHUP: the terminal or
  // the session that started it went away).
  state_->signalSources[0] = g_unix_signal_add(SIGINT, &State::onSignal, state_.get());
  state_->signalSources[1] = g_unix_signal_add(SIGTERM, &State::onSignal, state_.get());
  state_->signalSources[2] = g_unix_signal_add(SIGHUP, &State::onSignal, state_.get());
}

RunLoop::~RunLoop() = default;

void RunLoop::onEntry(std::function<void(const HostEntry&)> handler) {
  state_->entryHandler = std::move(handler);
}

void RunLoop::onError(std::function<void(const std::string&)> handler) {
  state_->errorHandler = std::move(handler);
}

void RunLoop::onNotice(std::function<void(const std::string&)> handler) {
  state_->noticeHandler = std::move(handler);
}

bool RunLoop::start() {
  State& state = *state_;
  if (!state.options.watchedPath.empty() && !state.watch) {
    state.watch = std::make_unique<FileWatch>(state.options.watchedPath, state.options.debounce,
                                              [&state] { state.request(true); });
  }
  // The first answer is waited for, while signals and the file's changes are still heard.
  state.request(true);
  while (state.pending.wait && !state.quitting)
    g_main_context_iteration(nullptr, TRUE);
  return state.lastAnswered;
}

void RunLoop::reload() {
  state_->request();
}

void RunLoop::setFamily(WidgetFamily family) {
  state_->options.family = family;
  state_->request();
}

WidgetFamily RunLoop::family() const {
  return state_->options.family;
}

const HostEntry* RunLoop::currentEntry() const {
  if (!state_->timeline) return nullptr;
  return &state_->timeline->entries[state_->shown];
}

std::size_t RunLoop::timelineRequests() const {
  return state_->requests;
}

void RunLoop::run() {
  State& state = *state_;
  if (state.quitting) return;
  state.loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(state.loop);
  g_main_loop_unref(state.loop);
  state.loop = nullptr;
}

void RunLoop::quit() {
  state_->stop();
}

bool RunLoop::quitRequested() const {
  return state_->quitting;
}

}  // namespace halyard::host
