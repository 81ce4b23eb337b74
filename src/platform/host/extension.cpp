#include "platform/host/extension.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>

#include "platform/host/confinement.hpp"

extern char** environ;

namespace halyard::host {

namespace {

using json = nlohmann::ordered_json;
using std::chrono::microseconds;

constexpr std::chrono::seconds kRetryAfterFailure{900};

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

// An extension process at work: the child, and the read end of the pipe it answers on.
// Reaped (and killed first, if its answer was never collected) when the last copy goes.
class RunningExtension {
 public:
  RunningExtension(pid_t pid, int readFd)
      : pid_(pid),
        readFd_(readFd),
        deadline_(std::chrono::steady_clock::now() + kExtensionTimeout) {}
  int fd() const { return readFd_; }
  RunningExtension(const RunningExtension&) = delete;
  RunningExtension& operator=(const RunningExtension&) = delete;
  ~RunningExtension() {
    if (readFd_ >= 0) {
      ::close(readFd_);
      ::kill(pid_, SIGKILL);
      reap();
    }
  }

  // What the child wrote until it ended, once; nothing when it failed or took longer than
  // the timeout since it started (it is then killed).
  std::optional<std::string> collect() {
    if (readFd_ < 0) return std::nullopt;
    std::string output;
    bool timedOut = false;
    char buffer[65536];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline_ - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        timedOut = true;
        break;
      }
      pollfd ready{readFd_, POLLIN, 0};
      const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
      if (polled < 0 && errno == EINTR) continue;
      if (polled <= 0) {
        timedOut = polled == 0;
        if (!timedOut) break;
        continue;
      }
      const ssize_t n = ::read(readFd_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(readFd_);
    readFd_ = -1;
    if (timedOut) ::kill(pid_, SIGKILL);
    const int status = reap();
    if (timedOut || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
  }

 private:
  int reap() const {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
  }

  pid_t pid_;
  int readFd_;
  std::chrono::steady_clock::time_point deadline_;  // counted from the start
};

// Starts `arguments` with its standard output on a pipe.
std::shared_ptr<RunningExtension> spawnExtension(const std::vector<std::string>& arguments) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const auto& argument : arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return nullptr;
  }
  return std::make_shared<RunningExtension>(pid, pipeFds[0]);
}

// Runs `serve` in a forked copy of this process. Only for a process with one thread: a child
// of a threaded process may find locks held by threads it lacks.
std::shared_ptr<RunningExtension> forkExtension(const std::function<int(std::ostream&)>& serve) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    std::ostringstream answer;
    const int status = serve(answer);
    const std::string text = std::move(answer).str();
    for (std::size_t written = 0; written < text.size();) {
      const ssize_t n = ::write(pipeFds[1], text.data() + written, text.size() - written);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ::_exit(1);
      written += static_cast<std::size_t>(n);
    }
    // Straight out: nothing of the host's may run (or flush) in the child.
    ::_exit(status);
  }
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return nullptr;
  }
  return std::make_shared<RunningExtension>(pid, pipeFds[0]);
}

// The extension's answer read back into host entries; nothing when any part is not what the
// widget writes.
std::optional<Timeline<HostEntry>> timelineFromJson(const WidgetDescriptor& widget,
                                                    const std::string& text) {
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
  return timeline;
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

}  // namespace

int serveExtension(const WidgetDescriptor& widget, ExtensionRequest request,
                   const TimelineProviderContext& context, std::ostream& out) {
  // Without Landlock the extension runs unconfined; the host says so once.
  confineToReadOnlyFile(widget.readableFile());

  json answer;
  if (request == ExtensionRequest::timeline) {
    const auto timeline = widget.timeline(context);
    if (!timeline) return 1;
    json entries = json::array();
    for (const auto& entry : timeline->entries)
      entries.push_back(entryJson(entry));
    answer = {{"entries", std::move(entries)},
              {"policy", reloadPolicyJson(timeline->policy, dateJson)}};
  } else {
    const auto entry = widget.snapshot(context);
    if (!entry) return 1;
    answer = {{"entries", json::array({entryJson(*entry)})}, {"policy", {{"never", true}}}};
  }
  out << answer.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  out.flush();
  return out ? 0 : 1;
}

WidgetDescriptor isolatedDescriptor(WidgetDescriptor widget, std::string executable) {
  auto local = std::make_shared<const WidgetDescriptor>(widget);
  auto fallback = [local](const TimelineProviderContext& context) {
    Timeline<HostEntry> timeline;
    HostEntry entry = local->placeholder(context);
    const Date reload = entry.date + std::chrono::duration_cast<microseconds>(kRetryAfterFailure);
    timeline.entries.push_back(std::move(entry));
    timeline.policy = TimelineReloadPolicy::after(reload);
    return timeline;
  };
  // A process that runs one thread forks its extension: the same program, already loaded.
  // Otherwise the extension is started afresh from the executable.
  // The answer always comes: the placeholder stands in for a failed extension.
  auto start = [local, executable, fallback](
                   ExtensionRequest request,
                   const TimelineProviderContext& context) -> PendingTimeline {
    std::shared_ptr<RunningExtension> running =
        threadCount() == 1 ? forkExtension([&](std::ostream& out) {
          return serveExtension(*local, request, context, out);
        })
                           : spawnExtension(extensionArguments(executable, request, context));
    auto answer = [local, fallback, running, context] {
      std::optional<std::string> output;
      if (running) output = running->collect();
      std::optional<Timeline<HostEntry>> timeline;
      if (output) timeline = timelineFromJson(*local, *output);
      if (!timeline || timeline->entries.empty()) timeline = fallback(context);
      return timeline;
    };
    return {answer, running ? running->fd() : -1};
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
