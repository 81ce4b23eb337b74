#pragma once
// Test child processes: output in files, every wait bounded, killed when the test ends.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "test_support.hpp"

extern char** environ;

namespace halyard::testing {

// Waits until `condition` holds, checking every 20 ms, for at most `timeout`.
inline bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

class ChildProcess {
 public:
  // Starts `argv` with the environment plus `env` (an empty value removes a variable), input
  // from /dev/null, output in FILES.out and FILES.err. With `ownGroup` it leads a process
  // group, killed whole at the end (servers leave helpers behind).
  ChildProcess(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
               const std::string& files, bool ownGroup = false)
      : files_(files), ownGroup_(ownGroup) {
    std::vector<std::string> envText;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      if (!env.contains(text.substr(0, text.find('=')))) envText.push_back(text);
    }
    for (const auto& [name, value] : env)
      if (!value.empty()) envText.push_back(name + "=" + value);
    std::vector<char*> envp, argp;
    for (auto& text : envText)
      envp.push_back(text.data());
    for (const auto& arg : argv)
      argp.push_back(const_cast<char*>(arg.c_str()));
    envp.push_back(nullptr);
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    for (const int fd : {1, 2})
      posix_spawn_file_actions_addopen(&actions, fd, (files + (fd == 1 ? ".out" : ".err")).c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (ownGroup) {
      posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
      posix_spawnattr_setpgroup(&attributes, 0);
    }
    if (::posix_spawnp(&pid_, argp[0], &actions, &attributes, argp.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  ~ChildProcess() {
    if (ownGroup_ && pid_ > 0) ::kill(-pid_, SIGKILL);
    if (running()) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    // A server's display number or socket is free only once the whole group is gone.
    if (ownGroup_ && pid_ > 0)
      eventually([this] { return ::kill(-pid_, 0) != 0; }, std::chrono::seconds(5));
  }

  pid_t pid() const { return pid_; }
  std::string out() const { return readFile(files_ + ".out"); }
  std::string err() const { return readFile(files_ + ".err"); }

  void signal(int number) {
    if (running()) ::kill(pid_, number);
  }

  // The exit status, or -(signal); nothing if it still runs after `timeout`.
  std::optional<int> wait(std::chrono::milliseconds timeout) {
    int status = 0;
    if (running() &&
        eventually([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, timeout)) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    return exited_ ? std::optional(status_) : std::nullopt;
  }

  // Ends it as a user would (not killed, so that a coverage build counts what it ran).
  void end() {
    signal(SIGTERM);
    EXPECT_EQ(wait(std::chrono::seconds(10)), 0) << err();
  }

 private:
  bool running() const { return pid_ > 0 && !exited_; }

  std::string files_;
  bool ownGroup_ = false;
  pid_t pid_ = -1;
  bool exited_ = false;
  int status_ = 0;
};

// The output of a shell command that succeeded within `timeout` seconds.
inline std::optional<std::string> commandOutput(const std::string& command, int timeout = 20) {
  const std::string line = "timeout " + std::to_string(timeout) + " " + command;
  FILE* pipe = ::popen(line.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string out;
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.append(buffer, got);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
  return out;
}

}  // namespace halyard::testing
