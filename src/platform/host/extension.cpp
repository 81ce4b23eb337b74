#include "platform/host/extension.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <simdjson.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>

#include "platform/host/confinement.hpp"

extern char** environ;

namespace halyard::host {

namespace {

using json = nlohmann::ordered_json;
using std::chrono::microseconds;

constexpr std::chrono::seconds kRetryAfterFailure{900};
constexpr int kFilterFd = 3;

json dateJson(Date date) {
  return date.time_since_epoch().count();
}

std::optional<Date> dateFromJson(const json& value) {
  if (!value.is_number_integer()) return std::nullopt;
  return Date{microseconds(value.get<std::int64_t>())};
}

std::optional<TimelineReloadPolicy> policyFromJson(const json& value) {
  if (!value.is_object()) return std::nullopt;
  if (value.contains("atEnd")) return TimelineReloadPolicy::atEnd();
  if (value.contains("never")) return TimelineReloadPolicy::never();
  if (value.contains("after")) {
    if (const auto date = dateFromJson(value["after"])) return TimelineReloadPolicy::after(*date);
  }
  return std::nullopt;
}

json entryJson(const HostEntry& entry) {
  return {{"date", dateJson(entry.date)}, {"entry", entry.wire()}};
}

constexpr const char* kFileStates[] = {"unknown", "read", "missing", "refused"};

json fileJson(const FileReport& file) {
  json out{{"state", kFileStates[static_cast<int>(file.state)]}};
  if (!file.path.empty()) out["path"] = file.path;
  if (!file.reason.empty()) out["reason"] = file.reason;
  return out;
}

FileReport fileFromJson(const json& value) {
  FileReport file;
  if (!value.is_object()) return file;
  const json state = value.value("state", json());
  for (int i = 0; i < 4; ++i) {
    if (state == kFileStates[i]) file.state = static_cast<FileReport::State>(i);
  }
  if (value.contains("path") && value["path"].is_string()) file.path = value["path"];
  if (value.contains("reason") && value["reason"].is_string()) file.reason = value["reason"];
  return file;
}

// The placeholder as a timeline, asked for again after a while: what stands in for an answer
// that did not come.
Timeline<HostEntry> fallbackTimeline(const WidgetDescriptor& widget,
                                     const TimelineProviderContext& context) {
  Timeline<HostEntry> timeline;
  HostEntry entry = widget.placeholder(context);
  const Date reload = entry.date + std::chrono::duration_cast<microseconds>(kRetryAfterFailure);
  timeline.entries.push_back(std::move(entry));
  timeline.policy = TimelineReloadPolicy::after(reload);
  return timeline;
}

// An extension process at work: the child (leading a process group of its own) and the read
// end of the pipe it answers on. The answer is taken without blocking, as it arrives, up to a
// bound; it is whole when the pipe closes or the child has ended (a grandchild may hold the
// pipe open). Then, or at the time limit, the whole group is killed and the child reaped.
class RunningExtension {
 public:
  RunningExtension(pid_t pid, int pipeFd, std::size_t limit, std::chrono::milliseconds timeout)
      : pid_(pid),
        pipe_(pipeFd),
        limit_(limit),
        deadline_(std::chrono::steady_clock::now() + timeout) {
    ::fcntl(pipe_, F_SETFL, ::fcntl(pipe_, F_GETFL) | O_NONBLOCK);
    // The child's end is seen through a pidfd (Linux 5.3); one descriptor, an epoll set,
    // tells a main loop about both.
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    ready_ = pipe_;
    if (pidFd_ >= 0) {
      ready_ = ::epoll_create1(EPOLL_CLOEXEC);
      for (const int fd : {pipe_, pidFd_}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        ::epoll_ctl(ready_, EPOLL_CTL_ADD, fd, &event);
      }
    }
  }
  RunningExtension(const RunningExtension&) = delete;
  RunningExtension& operator=(const RunningExtension&) = delete;
  ~RunningExtension() { finish(false); }

  int readyFd() const { return ready_; }

  // Takes what has arrived, without blocking: true once the answer is whole or has failed.
  bool progress() {
    if (done_) return true;
    if (std::chrono::steady_clock::now() >= deadline_) return finish(false);
    if (!drain()) return true;
    if (pipe_ < 0) return finish(true);  // end of file
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_) {
      // The child has ended: what it wrote is in the pipe already.
      if (!drain()) return true;
      return finish(true);
    }
    return false;
  }

  // Waits for the answer until the time limit: what the child wrote when it ended well,
  // nothing when it failed, answered too much, or took too long.
  std::optional<std::string> collect() {
    while (!progress()) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(
          deadline_ - std::chrono::steady_clock::now());
      pollfd ready{ready_, POLLIN, 0};
      ::poll(&ready, 1, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
    }
    if (!ok_) return std::nullopt;
    return std::move(output_);
  }

 private:
  // Reads the pipe until it has nothing more for now; false when the answer grew past its
  // bound (it has then failed). Closes the pipe at its end.
  bool drain() {
    char buffer[65536];
    while (pipe_ >= 0) {
      const ssize_t n = ::read(pipe_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        if (errno == EAGAIN) return true;
        break;
      }
      if (n == 0) break;
      if (output_.size() + static_cast<std::size_t>(n) > limit_) {
        finish(false);
        return false;
      }
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    closePipe();
    return true;
  }

  void closePipe() {
    if (pipe_ >= 0) ::close(pipe_);
    pipe_ = -1;
  }

  // Ends the group (while the child, perhaps a zombie, still holds its number) and reaps the
  // child; `answered`: whether the answer is whole. Returns true.
  bool finish(bool answered) {
    if (done_) return true;
    done_ = true;
    closePipe();
    // Before the child has made its group (its first step), it has started nothing either.
    if (::kill(-pid_, SIGKILL) != 0) ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    ok_ = answered && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!ok_) output_.clear();
    if (ready_ != pipe_ && ready_ >= 0) ::close(ready_);
    if (pidFd_ >= 0) ::close(pidFd_);
    ready_ = pidFd_ = -1;
    return true;
  }

  pid_t pid_;
  int pipe_;
  int pidFd_ = -1;
  int ready_ = -1;
  std::size_t limit_;
  std::chrono::steady_clock::time_point deadline_;  // counted from the start
  std::string output_;
  bool done_ = false;
  bool ok_ = false;
};

// Starts `arguments` as a session and process group of its own, with its standard output
// on a pipe.
std::shared_ptr<RunningExtension> spawnExtension(const std::vector<std::string>& arguments,
                                                 std::size_t limit,
                                                 std::chrono::milliseconds timeout) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  // The compiled system-call filter on descriptor 3 (a few hundred bytes: the pipe holds it).
  int filterFds[2] = {-1, -1};
  const std::string& filter = systemCallFilter();
  if (!filter.empty() && ::pipe2(filterFds, O_CLOEXEC) == 0) {
    if (::write(filterFds[1], filter.data(), filter.size()) ==
        static_cast<ssize_t>(filter.size())) {
      posix_spawn_file_actions_adddup2(&actions, filterFds[0], kFilterFd);
    }
    ::close(filterFds[1]);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::vector<char*> argv;
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (filterFds[0] >= 0) ::close(filterFds[0]);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return nullptr;
  }
  return std::make_shared<RunningExtension>(pid, pipeFds[0], limit, timeout);
}

// Runs `serve` in a forked copy of this process. Only for a process with one thread: a child
// of a threaded process may find locks held by threads it lacks.
std::shared_ptr<RunningExtension> forkExtension(const std::function<void(int)>& serve,
                                                std::size_t limit,
                                                std::chrono::milliseconds timeout) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  systemCallFilter();  // compiled once, here: every fork has it
  const pid_t pid = ::fork();
  if (pid == 0) {
    serve(pipeFds[1]);  // never returns
    ::_exit(1);
  }
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return nullptr;
  }
  return std::make_shared<RunningExtension>(pid, pipeFds[0], limit, timeout);
}

std::vector<std::string> extensionArguments(const std::string& executable, ExtensionRequest request,
                                            const TimelineProviderContext& context) {
  std::vector<std::string> arguments{
      executable, kExtensionCommand,
      request == ExtensionRequest::timeline ? "timeline" : "snapshot", "--family",
      std::string(familyName(context.family))};
  if (context.isPreview) arguments.emplace_back("--preview");
  return arguments;
}

std::uint64_t fileLimit(const WidgetDescriptor& widget) {
  return widget.readableFileLimit > 0 ? widget.readableFileLimit : kDefaultFileLimit;
}

// Writes all of `text` to `fd`; false when it could not.
bool writeAll(int fd, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ExtensionSetup becomeExtension(const WidgetDescriptor& widget, int answerFd,
                               std::string_view filter) {
  ExtensionSetup setup;
  const auto failed = [&](const std::string& what) {
    setup.failed = true;
    setup.notices.push_back("the widget's extension could not confine itself (" + what +
                            "): it answered with the placeholder");
    return setup;
  };
  // A session of its own: no controlling terminal, and a process group the host ends whole.
  // A started extension leads its session already.
  if (::setsid() < 0 && ::getsid(0) != ::getpid()) {
    return failed(std::string("setsid: ") + std::strerror(errno));
  }
  // Nothing inherited but the answer's pipe, which goes first: a failure must not write the
  // answer anywhere else. Where /dev/null cannot be opened, standard input and error are
  // closed.
  if (answerFd != STDOUT_FILENO && ::dup2(answerFd, STDOUT_FILENO) < 0) ::_exit(1);
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  for (const int fd : {STDIN_FILENO, STDERR_FILENO}) {
    if (null >= 0 ? ::dup2(null, fd) < 0 : ::close(fd) != 0 && errno != EBADF) {
      return failed(std::string("descriptors: ") + std::strerror(errno));
    }
  }
  if (::close_range(3, ~0U, 0) != 0) {
    return failed(std::string("descriptors: ") + std::strerror(errno));
  }

  // The widget's file, opened once; what is granted and read is this descriptor.
  const std::optional<std::string> path =
      widget.readableFile ? widget.readableFile() : std::nullopt;
  const auto refuse = [&](std::string reason) {
    setup.refusal = {FileReport::State::refused, *path, std::move(reason)};
    if (setup.file >= 0) ::close(setup.file);
    setup.file = -1;
  };
  if (path) {
    setup.file = ::open(path->c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat info {};
    if (setup.file < 0) {
      // A folder may not be opened at all where the host is confined itself: say what it is.
      const int error = errno;
      if (error != ENOENT && error != ENOTDIR) {
        refuse(::stat(path->c_str(), &info) == 0 && !S_ISREG(info.st_mode) ? "not a regular file"
                                                                           : std::strerror(error));
      }
    } else if (::fstat(setup.file, &info) != 0) {
      refuse(std::strerror(errno));
    } else if (!S_ISREG(info.st_mode)) {
      refuse("not a regular file");
    } else if (static_cast<std::uint64_t>(info.st_size) > fileLimit(widget)) {
      refuse("larger than " + std::to_string(fileLimit(widget) >> 20) + " MiB");
    }
  }

  const ConfinementResult landlock = confineToOpenFile(setup.file);
  if (landlock.state == Confinement::failed) return failed(landlock.detail);
  // Last, as nothing after it may need more than reading, decoding and answering.
  const ConfinementResult filtered =
      installSystemCallFilter(filter.empty() ? systemCallFilter() : filter);
  if (filtered.state != Confinement::enforced) {
    setup.notices.push_back("no system-call filter for the widget's extension (" + filtered.detail +
                            ")" +
                            (landlock.state == Confinement::enforced ? ": Landlock only" : ""));
  }
  return setup;
}

void serveExtension(const WidgetDescriptor& widget, ExtensionRequest request,
                    const TimelineProviderContext& context, int answerFd, std::string_view filter) {
  const ExtensionSetup setup = becomeExtension(widget, answerFd, filter);
  std::optional<Timeline<HostEntry>> timeline;
  if (setup.failed) {
    timeline = fallbackTimeline(widget, context);
  } else {
    if (widget.readFileFrom) widget.readFileFrom(setup.file);
    if (request == ExtensionRequest::timeline) {
      timeline = widget.timeline(context);
    } else if (auto entry = widget.snapshot(context)) {
      timeline.emplace();
      timeline->entries.push_back(std::move(*entry));
      timeline->policy = TimelineReloadPolicy::never();
    }
  }
  if (!timeline) ::_exit(1);
  AnswerNotes notes{setup.refusal, setup.notices};
  if (notes.file.state == FileReport::State::unknown && !setup.failed && widget.fileReport) {
    notes.file = widget.fileReport();
  }
  const bool written = writeAll(STDOUT_FILENO, answerText(*timeline, notes));
  // Straight out: nothing of the host's may run (or flush) in the extension.
  ::_exit(written ? 0 : 1);
}

std::string answerText(const Timeline<HostEntry>& timeline, const AnswerNotes& notes) {
  json entries = json::array();
  for (const auto& entry : timeline.entries)
    entries.push_back(entryJson(entry));
  const json answer{{"entries", std::move(entries)},
                    {"policy", reloadPolicyJson(timeline.policy, dateJson)},
                    {"file", fileJson(notes.file)},
                    {"notices", notes.notices}};
  return answer.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string filterFromHost() {
  struct stat info {};
  if (::fstat(kFilterFd, &info) != 0 || !S_ISFIFO(info.st_mode)) return {};
  std::string program;
  char buffer[4096];
  for (ssize_t n; (n = ::read(kFilterFd, buffer, sizeof buffer)) > 0;)
    program.append(buffer, static_cast<std::size_t>(n));
  return program;
}

std::optional<Timeline<HostEntry>> timelineFromAnswer(const WidgetDescriptor& widget,
                                                      std::string_view text, AnswerNotes* notes) {
  // Well-formed and shallow before any value is built: a deep document would otherwise cost
  // the host a deep recursion in the JSON library.
  {
    simdjson::dom::parser checker;
    if (checker.allocate(text.size(), kAnswerDepth) != simdjson::SUCCESS) return std::nullopt;
    if (checker.parse(simdjson::padded_string(text)).error() != simdjson::SUCCESS) {
      return std::nullopt;
    }
  }
  const json answer = json::parse(text, nullptr, false);
  if (!answer.is_object() || !answer.contains("entries") || !answer["entries"].is_array()) {
    return std::nullopt;
  }
  Timeline<HostEntry> timeline;
  for (const json& item : answer["entries"]) {
    if (!item.is_object() || !item.contains("date") || !item.contains("entry")) {
      return std::nullopt;
    }
    const auto date = dateFromJson(item["date"]);
    if (!date) return std::nullopt;
    auto entry = widget.entryFromWire(*date, item["entry"]);
    if (!entry) return std::nullopt;
    timeline.entries.push_back(std::move(*entry));
  }
  const auto policy = policyFromJson(answer.value("policy", json()));
  if (!policy) return std::nullopt;
  timeline.policy = *policy;
  if (notes != nullptr) {
    notes->file = fileFromJson(answer.value("file", json()));
    notes->notices.clear();
    const json notices = answer.value("notices", json::array());
    if (notices.is_array()) {
      for (const json& notice : notices)
        if (notice.is_string()) notes->notices.push_back(notice);
    }
  }
  return timeline;
}

WidgetDescriptor isolatedDescriptor(WidgetDescriptor widget, std::string executable,
                                    std::function<void(const std::string&)> notice,
                                    std::chrono::milliseconds timeout) {
  auto local = std::make_shared<const WidgetDescriptor>(widget);
  // A process that runs one thread forks its extension: the same program, already loaded.
  // Otherwise the extension is started afresh from the executable.
  // The answer always comes: the placeholder stands in for a failed extension.
  auto start = [local, executable, notice, timeout](
                   ExtensionRequest request,
                   const TimelineProviderContext& context) -> PendingTimeline {
    const std::size_t limit = fileLimit(*local) + kAnswerEnvelope;
    std::shared_ptr<RunningExtension> running =
        threadCount() == 1
            ? forkExtension(
                  [&](int answerFd) { serveExtension(*local, request, context, answerFd); }, limit,
                  timeout)
            : spawnExtension(extensionArguments(executable, request, context), limit, timeout);
    PendingTimeline pending;
    auto notes = pending.notes;
    pending.wait = [local, running, context, notes, notice] {
      std::optional<std::string> output;
      if (running) output = running->collect();
      std::optional<Timeline<HostEntry>> timeline;
      if (output) timeline = timelineFromAnswer(*local, *output, notes.get());
      if (!timeline || timeline->entries.empty()) timeline = fallbackTimeline(*local, context);
      if (notice) {
        for (const auto& text : notes->notices)
          notice(text);
      }
      return timeline;
    };
    if (running) {
      pending.readyFd = running->readyFd();
      pending.progress = [running] { return running->progress(); };
    }
    return pending;
  };
  widget.startTimeline = [start](const TimelineProviderContext& context) {
    return start(ExtensionRequest::timeline, context);
  };
  widget.timeline = [start](const TimelineProviderContext& context) {
    return start(ExtensionRequest::timeline, context).wait();
  };
  widget.snapshot = [start](const TimelineProviderContext& context) {
    return std::optional<HostEntry>(
        start(ExtensionRequest::snapshot, context).wait()->entries.front());
  };
  return widget;
}

std::size_t threadCount() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::strtoul(line.c_str() + 8, nullptr, 10);
  }
  return 0;  // unknown: as if threaded
}

std::optional<std::string> confinementUnavailable() {
  if (landlockAbi() > 0) return std::nullopt;
  return std::string("this kernel has no Landlock");
}

}  // namespace halyard::host
