// GCC 12 sees a null dereference in CLI11's own string splitting, inlined here, that cannot
// happen; the warning stays on everywhere else.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wnull-dereference"
#endif

#include "platform/host/host_program.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "platform/host/confinement.hpp"
#include "platform/host/desktop_window.hpp"
#include "platform/host/extension.hpp"
#include "platform/host/host_commands.hpp"

namespace halyard::host {

namespace {

// This program's own file, to start extension processes from; empty when unknown.
std::string selfExecutable() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The program `name` beside this one, else in `folder` (relative to this program's folder
// unless absolute); empty when in neither.
std::string programNear(const std::string& name, const std::string& folder) {
  if (name.empty()) return {};
  std::vector<std::string> folders;
  const std::string own = std::filesystem::path(selfExecutable()).parent_path().string();
  if (!own.empty()) folders.push_back(own);
  if (!folder.empty()) {
    if (folder.front() == '/')
      folders.push_back(folder);
    else if (!own.empty())
      folders.push_back(own + "/" + folder);
  }
  for (const auto& candidate : folders) {
    const std::string path = candidate + "/" + name;
    if (isExecutableFile(path)) return path;
  }
  return {};
}

}  // namespace

std::string familyList(const std::vector<WidgetFamily>& families) {
  std::string out;
  for (auto family : families) {
    if (!out.empty()) out += ", ";
    out += familyShortName(family);
  }
  return out;
}

std::variant<WidgetFamily, std::string> familyOption(std::string_view name,
                                                     const std::vector<WidgetFamily>& supported) {
  for (auto family : supported) {
    if (familyShortName(family) == name) return family;
  }
  return "--family " + std::string(name) +
         ": not a supported family; use one of: " + familyList(supported);
}

CLI::Option* addScaleOption(CLI::App& command, double& scale, const std::string& description) {
  constexpr double kLeast = 0.25, kMost = 8;
  const auto check = [](std::string& text) -> std::string {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc{} && end == text.data() + text.size() && value >= kLeast &&
        value <= kMost)
      return {};
    return text + " is not a number from 0.25 to 8";
  };
  return command.add_option("--scale", scale, description + ", 0.25 to 8")
      ->check(CLI::Validator(check, "0.25 to 8", "scale"))
      ->default_str("2");
}

struct HostProgram::Commands {
  CLI::App app;
  std::vector<std::pair<CLI::App*, Command>> commands;

  explicit Commands(const HostInfo& info) : app(info.summary, info.program) {}
};

HostProgram::HostProgram(HostInfo info, std::vector<WidgetDescriptor> widgets)
    : info_(std::move(info)),
      local_(std::move(widgets)),
      commands_(std::make_unique<Commands>(info_)) {
  CLI::App& app = commands_->app;
  app.set_version_flag("--version", info_.program + " " + info_.version);
  app.require_subcommand(1);

  // The host asks every widget through extension processes of this same program, or, in the
  // program that carries the desktop window, of the program it serves, which loads far less.
  // An executable it cannot name leaves the widgets in the host's process.
  std::string starter = selfExecutable();
  if (desktopWindows() != nullptr) {
    if (std::string lean = programNear(info_.program, info_.programDirectory); !lean.empty())
      starter = std::move(lean);
  }
  for (const auto& widget : local_) {
    widgets_.push_back(
        starter.empty() ? widget : isolatedDescriptor(widget, starter, [this](const auto& text) {
          sayOnce(text);
        }));
  }

  addExtensionCommand(*this);
  addDescribeCommand(*this);
  addTimelineCommand(*this);
  addSnapshotCommand(*this);
  addPlaceholderCommand(*this);
  addRenderCommand(*this);
  addRunCommand(*this);
}

HostProgram::~HostProgram() = default;

CLI::App* HostProgram::addCommand(const std::string& name, const std::string& description,
                                  Command run) {
  CLI::App* command = commands_->app.add_subcommand(name, description);
  commands_->commands.emplace_back(command, std::move(run));
  return command;
}

std::string HostProgram::helperProgram(const std::string& name) const {
  return programNear(name, info_.helperDirectory);
}

int HostProgram::handOver(const std::string& name, std::ostream& err) const {
  const std::string path = helperProgram(name);
  if (path.empty()) {
    err << info_.program << ": " << (name.empty() ? "the helper program" : name)
        << " is not installed (looked beside this program"
        << (info_.helperDirectory.empty() ? "" : " and in " + info_.helperDirectory) << ")\n";
    return kExitFailure;
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (std::size_t i = 1; i < arguments_.size(); ++i)
    argv.push_back(const_cast<char*>(arguments_[i].c_str()));
  argv.push_back(nullptr);
  err.flush();
  std::fflush(nullptr);
  ::execv(path.c_str(), argv.data());
  err << info_.program << ": cannot start " << path << ": " << std::strerror(errno) << "\n";
  return kExitFailure;
}

void HostProgram::sayOnce(const std::string& text) {
  if (err_ == nullptr || !said_.insert(text).second) return;
  *err_ << info_.program << ": " << text << "\n";
}

int HostProgram::run(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App& app = commands_->app;
  err_ = &err;
  arguments_.assign(argv, argv + argc);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    // One line that names what is wrong; --help has the rest.
    const bool noCommand = app.get_subcommands().empty();
    if (noCommand && (argc < 2 || argv[1][0] != '-')) {
      std::string names;
      for (const CLI::App* command : app.get_subcommands(
               [](const CLI::App* command) { return !command->get_group().empty(); }))
        names += (names.empty() ? "" : ", ") + command->get_name();
      err << info_.program << ": "
          << (argc < 2 ? std::string("a command is required")
                       : std::string(argv[1]) + ": not a command")
          << "; the commands are " << names << " (see --help)\n";
    } else {
      err << info_.program << ": " << e.what() << " (see --help)\n";
    }
    return kExitUsage;
  }
  for (auto& [command, handler] : commands_->commands) {
    if (!command->parsed()) continue;
    const std::string name = command->get_name();
    // A `run --window` that another program takes over leaves the notice to that one.
    const bool handedOver = name == "run" && command->count("--window") > 0 && !desktopWindows();
    if ((name == "timeline" || name == "snapshot" || name == "render" || name == "run") &&
        !handedOver) {
      if (const auto why = confinementUnavailable()) {
        err << info_.program << ": " << *why << ": the widget reads its file unconfined\n";
      }
    }
    return handler(out, err);
  }
  return kExitUsage;
}

}  // namespace halyard::host
