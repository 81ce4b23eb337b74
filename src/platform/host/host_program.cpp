#include "platform/host/host_program.hpp"

#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <ostream>

#include "platform/host/confinement.hpp"
#include "platform/host/desktop_window.hpp"
#include "platform/host/extension.hpp"
#include "platform/host/run_command.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/render/pango_text_measurer.hpp"

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

// RFC 3339 in UTC with milliseconds, as every JSON the program prints.
std::string formatDate(Date date) {
  return formatRfc3339(date, DatePrecision::milliseconds);
}

bool isExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The folder an output path names (with -o FILE) or is (with -o DIR, or nothing: ".").
std::string outputFolder(const std::string& output) {
  std::string folder = output.empty() ? "." : output;
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// Confines a one-shot drawing, before it starts a thread (Landlock confines the calling
// thread and what it starts afterwards): fonts and time-zone data to read, the pictures'
// folders to write in, the widget's file for the extensions it forks afterwards (each of them
// narrows that to itself) and /dev/null, its own /proc entries (to count its threads); no TCP, no
// signals or abstract sockets beyond itself and its extensions. Without Landlock nothing changes
// (the host has said so already).
ConfinementResult confineDrawing(const std::vector<std::string>& outputs,
                                 const std::optional<std::string>& widgetFile) {
  ::tzset();  // the local time zone, read now
  std::vector<PathGrant> grants;
  for (auto& folder : render::fontFolders())  // loads fontconfig's configuration now
    grants.push_back({std::move(folder), PathAccess::read});
  for (const char* zone : {"/etc/localtime", "/usr/share/zoneinfo", "/usr/share/locale"})
    grants.push_back({zone, PathAccess::read});
  grants.push_back({"/proc/self", PathAccess::read});
  grants.push_back({"/dev/null", PathAccess::update});  // an extension's standard error
  if (widgetFile) grants.push_back({*widgetFile, PathAccess::readFile});
#if defined(__SANITIZE_ADDRESS__)
  // A leak-checking build checks once now, which reads its suppressions.
  __lsan_do_recoverable_leak_check();
#endif
  for (const auto& output : outputs) {
    const std::string folder = std::filesystem::path(output).parent_path().string();
    grants.push_back({folder.empty() ? "." : folder, PathAccess::update});
  }
  return confineTo(grants);
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

bool isDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() &&
         (path.back() == '/' || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)));
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

  // Extension mode (hidden): answer one request for the first widget, confined.
  struct ExtensionOptions {
    std::string request = "timeline";
    std::string family = "systemMedium";
    bool preview = false;
  };
  auto extension = std::make_shared<ExtensionOptions>();
  CLI::App* extensionCommand =
      addCommand(kExtensionCommand, "", [this, extension](std::ostream& out, std::ostream& err) {
        const auto family = familyFromName(extension->family);
        if (local_.empty() || !family) {
          err << info_.program << ": " << kExtensionCommand << ": bad request\n";
          return static_cast<int>(kExitUsage);
        }
        // Answers on standard output and ends at once: a confined process can open no file,
        // so nothing that runs at exit may need one (a leak checker reading /proc, say).
        out.flush();
        serveExtension(local_.front(),
                       extension->request == "snapshot" ? ExtensionRequest::snapshot
                                                        : ExtensionRequest::timeline,
                       TimelineProviderContext{*family, extension->preview, familySize(*family)},
                       STDOUT_FILENO, filterFromHost());
      });
  extensionCommand->group("");
  extensionCommand->add_option("REQUEST", extension->request)
      ->check(CLI::IsMember({"timeline", "snapshot"}));
  extensionCommand->add_option("--family", extension->family);
  extensionCommand->add_flag("--preview", extension->preview);

  // describe
  auto describeJson = std::make_shared<bool>(false);
  addCommand("describe", "List the widgets: kind, display name, description, families",
             [this, describeJson](std::ostream& out, std::ostream&) {
               if (*describeJson) {
                 nlohmann::ordered_json list = nlohmann::ordered_json::array();
                 for (const auto& widget : widgets_) {
                   nlohmann::ordered_json families = nlohmann::ordered_json::array();
                   for (auto family : widget.families)
                     families.push_back(familyName(family));
                   list.push_back({{"kind", widget.kind},
                                   {"displayName", widget.displayName},
                                   {"description", widget.description},
                                   {"families", families}});
                 }
                 out << nlohmann::ordered_json{{"widgets", list}}.dump() << "\n";
               } else {
                 for (const auto& widget : widgets_) {
                   out << widget.displayName << " (" << widget.kind << ")\n  " << widget.description
                       << "\n  families: " << familyList(widget.families) << "\n";
                 }
               }
               return static_cast<int>(kExitOk);
             })
      ->add_flag("--json", *describeJson, "Print JSON");

  // timeline, snapshot, placeholder: ask the provider as the host does.
  struct Request {
    std::string family = "medium";
    bool preview = false;
  };
  auto request = std::make_shared<Request>();
  auto context = [this, request](std::ostream& err) -> std::optional<TimelineProviderContext> {
    if (widgets_.empty()) return std::nullopt;
    const auto family = familyOption(request->family, widgets_.front().families);
    if (const auto* why = std::get_if<std::string>(&family)) {
      err << info_.program << ": " << *why << "\n";
      return std::nullopt;
    }
    const WidgetFamily chosen = std::get<WidgetFamily>(family);
    return TimelineProviderContext{chosen, request->preview, familySize(chosen)};
  };
  auto addRequestOptions = [request](CLI::App* command) {
    command->add_option("--family", request->family, "Widget family to ask for")
        ->default_str("medium");
    command->add_flag("--preview", request->preview, "Ask as for a preview (the widget gallery)");
  };
  auto entryJson = [](const HostEntry& entry) {
    nlohmann::ordered_json json{{"date", formatDate(entry.date)}};
    const nlohmann::ordered_json fields = entry.json();
    if (fields.is_object()) {
      for (const auto& [key, value] : fields.items())
        json[key] = value;
    }
    return json;
  };
  addRequestOptions(addCommand(
      "timeline", "Ask the widget for a timeline and print it as JSON",
      [this, context, entryJson](std::ostream& out, std::ostream& err) {
        const auto ctx = context(err);
        if (!ctx) return static_cast<int>(kExitUsage);
        const auto timeline = widgets_.front().timeline(*ctx);
        if (!timeline) {
          err << info_.program << ": the widget gave no timeline\n";
          return static_cast<int>(kExitFailure);
        }
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const auto& entry : timeline->entries)
          entries.push_back(entryJson(entry));
        out << nlohmann::ordered_json{{"entries", entries},
                                      {"policy", reloadPolicyJson(timeline->policy, formatDate)}}
                   .dump()
            << "\n";
        return static_cast<int>(kExitOk);
      }));
  addRequestOptions(
      addCommand("snapshot", "Ask the widget for a snapshot entry and print it as JSON",
                 [this, context, entryJson](std::ostream& out, std::ostream& err) {
                   const auto ctx = context(err);
                   if (!ctx) return static_cast<int>(kExitUsage);
                   const auto entry = widgets_.front().snapshot(*ctx);
                   if (!entry) {
                     err << info_.program << ": the widget gave no entry\n";
                     return static_cast<int>(kExitFailure);
                   }
                   out << nlohmann::ordered_json{{"entry", entryJson(*entry)}}.dump() << "\n";
                   return static_cast<int>(kExitOk);
                 }));
  addRequestOptions(addCommand(
      "placeholder", "Ask the widget for a placeholder entry and print it as JSON",
      [this, context, entryJson](std::ostream& out, std::ostream& err) {
        const auto ctx = context(err);
        if (!ctx) return static_cast<int>(kExitUsage);
        out << nlohmann::ordered_json{{"entry", entryJson(widgets_.front().placeholder(*ctx))}}
                   .dump()
            << "\n";
        return static_cast<int>(kExitOk);
      }));

  // render
  struct RenderOptions {
    std::string family;
    std::string appearance = "light";
    double scale = 2;
    std::string output;
  };
  auto render = std::make_shared<RenderOptions>();
  CLI::App* renderCommand = addCommand(
      "render",
      "Ask the widget for a timeline and draw its entry (every supported family unless "
      "--family says one) to PNG, SVG or PDF; exit 2 if an output cannot be written, 3 if "
      "the widget gives no timeline or no font can be found (\"no usable font\")",
      [this, render](std::ostream& out, std::ostream& err) {
        if (widgets_.empty()) return static_cast<int>(kExitFailure);
        const WidgetDescriptor& widget = widgets_.front();
        std::vector<WidgetFamily> families = widget.families;
        if (!render->family.empty()) {
          const auto family = familyOption(render->family, widget.families);
          if (const auto* why = std::get_if<std::string>(&family)) {
            err << info_.program << ": " << *why << "\n";
            return static_cast<int>(kExitUsage);
          }
          families = {std::get<WidgetFamily>(family)};
        }
        // Where each picture goes: -o names the file (one family) or a directory.
        const bool intoDirectory = render->output.empty() || isDirectory(render->output);
        if (!intoDirectory && families.size() > 1) {
          err << info_.program << ": " << render->output
              << ": with several families, -o must name a directory\n";
          return static_cast<int>(kExitUsage);
        }
        if (!intoDirectory && !render::imageFormatForPath(render->output)) {
          err << info_.program << ": " << render->output
              << ": unknown image format (use .png, .svg or .pdf)\n";
          return static_cast<int>(kExitUsage);
        }
        std::vector<std::string> paths;
        for (auto family : families) {
          paths.push_back(intoDirectory ? outputFolder(render->output) + "/" + info_.fileStem +
                                              "-" + std::string(familyShortName(family)) + ".png"
                                        : render->output);
        }
        // Confined while the program still runs one thread, so that every thread it starts
        // is confined too: from here on it can read fonts, time-zone data and the widget's
        // file (for the extensions, which narrow that further) and write its pictures.
        const ConfinementResult confined =
            confineDrawing(paths, widget.readableFile ? widget.readableFile() : std::nullopt);
        if (confined.state == Confinement::failed)
          sayOnce("the drawing could not confine itself: " + confined.detail);
        // Every request first, while the program runs one thread and its extension processes
        // can be forks (text measuring starts threads). While they answer, the placeholder is
        // laid out, which loads the fonts that the entries will need.
        const auto settingsFor = [&](WidgetFamily family) {
          WidgetRenderSettings settings;
          settings.family = family;
          settings.appearance =
              render->appearance == "dark" ? ui::Appearance::dark : ui::Appearance::light;
          settings.scale = render->scale;
          settings.textDomain = info_.textDomain;
          return settings;
        };
        const auto contextFor = [](WidgetFamily family) {
          return TimelineProviderContext{family, false, familySize(family)};
        };
        std::vector<PendingTimeline> pending;
        for (auto family : families)
          pending.push_back(requestTimeline(widget, contextFor(family)));
        const render::PangoTextMeasurer measurer;
        if (auto why = measurer.textContext().unusableReason()) {
          err << info_.program << ": " << *why << "\n";
          return static_cast<int>(kExitFailure);
        }
        layoutWidget(widget.placeholder(contextFor(families.front())).view(),
                     settingsFor(families.front()), measurer);
        std::vector<Timeline<HostEntry>> timelines;
        for (std::size_t i = 0; i < families.size(); ++i) {
          auto timeline = pending[i].wait();
          if (!timeline || timeline->entries.empty()) {
            err << info_.program << ": the widget gave no timeline\n";
            return static_cast<int>(kExitFailure);
          }
          timelines.push_back(std::move(*timeline));
          // A file the widget refused shows as the placeholder: say why, once.
          const FileReport& file = pending[i].notes->file;
          if (file.state == FileReport::State::refused)
            sayOnce("warning: " + file.path + ": " + file.reason);
        }
        for (std::size_t i = 0; i < families.size(); ++i) {
          const WidgetRenderSettings settings = settingsFor(families[i]);
          const ui::PlacedNode tree =
              layoutWidget(timelines[i].entries.front().view(), settings, measurer);
          if (auto error = drawWidget(tree, settings, paths[i], measurer.textContext())) {
            err << info_.program << ": " << error->message() << "\n";
            return static_cast<int>(kExitUsage);
          }
          out << paths[i] << "\n";
        }
        return static_cast<int>(kExitOk);
      });
  renderCommand->add_option("--family", render->family,
                            "Widget family (default: every supported one)");
  renderCommand->add_option("--appearance", render->appearance, "Light or dark")
      ->check(CLI::IsMember({"light", "dark"}))
      ->default_str("light");
  addScaleOption(*renderCommand, render->scale, "Pixels per point");
  renderCommand->add_option("-o,--output", render->output,
                            "Output file (.png, .svg, .pdf) or directory (default: .)");

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
