#include <sys/stat.h>
#include <CLI/CLI.hpp>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>

#include "platform/host/confinement.hpp"
#include "platform/host/host_commands.hpp"
#include "platform/host/host_program.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/render/pango_text_measurer.hpp"

namespace halyard::host {

namespace {

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

bool isDirectory(const std::string& path) {
  struct stat info {};
  return !path.empty() &&
         (path.back() == '/' || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)));
}

}  // namespace

void addRenderCommand(HostProgram& program) {
  struct RenderOptions {
    std::string family;
    std::string appearance = "light";
    double scale = 2;
    std::string output;
  };
  auto render = std::make_shared<RenderOptions>();
  CLI::App* renderCommand = program.addCommand(
      "render",
      "Ask the widget for a timeline and draw its entry (every supported family unless "
      "--family says one) to PNG, SVG or PDF; exit 2 if an output cannot be written, 3 if "
      "the widget gives no timeline or no font can be found (\"no usable font\")",
      [&program, render](std::ostream& out, std::ostream& err) {
        const HostInfo& info = program.info();
        if (program.widgets().empty()) return static_cast<int>(kExitFailure);
        const WidgetDescriptor& widget = program.widgets().front();
        std::vector<WidgetFamily> families = widget.families;
        if (!render->family.empty()) {
          const auto family = familyOption(render->family, widget.families);
          if (const auto* why = std::get_if<std::string>(&family)) {
            err << info.program << ": " << *why << "\n";
            return static_cast<int>(kExitUsage);
          }
          families = {std::get<WidgetFamily>(family)};
        }
        // Where each picture goes: -o names the file (one family) or a directory.
        const bool intoDirectory = render->output.empty() || isDirectory(render->output);
        if (!intoDirectory && families.size() > 1) {
          err << info.program << ": " << render->output
              << ": with several families, -o must name a directory\n";
          return static_cast<int>(kExitUsage);
        }
        if (!intoDirectory && !render::imageFormatForPath(render->output)) {
          err << info.program << ": " << render->output
              << ": unknown image format (use .png, .svg or .pdf)\n";
          return static_cast<int>(kExitUsage);
        }
        std::vector<std::string> paths;
        for (auto family : families) {
          paths.push_back(intoDirectory ? outputFolder(render->output) + "/" + info.fileStem + "-" +
                                              std::string(familyShortName(family)) + ".png"
                                        : render->output);
        }
        // Confined while the program still runs one thread, so that every thread it starts
        // is confined too: from here on it can read fonts, time-zone data and the widget's
        // file (for the extensions, which narrow that further) and write its pictures.
        const ConfinementResult confined =
            confineDrawing(paths, widget.readableFile ? widget.readableFile() : std::nullopt);
        if (confined.state == Confinement::failed)
          program.sayOnce("the drawing could not confine itself: " + confined.detail);
        // Every request first, while the program runs one thread and its extension processes
        // can be forks (text measuring starts threads). While they answer, the placeholder is
        // laid out, which loads the fonts that the entries will need.
        const auto settingsFor = [&](WidgetFamily family) {
          WidgetRenderSettings settings;
          settings.family = family;
          settings.appearance =
              render->appearance == "dark" ? ui::Appearance::dark : ui::Appearance::light;
          settings.scale = render->scale;
          settings.textDomain = info.textDomain;
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
          err << info.program << ": " << *why << "\n";
          return static_cast<int>(kExitFailure);
        }
        layoutWidget(widget.placeholder(contextFor(families.front())).view(),
                     settingsFor(families.front()), measurer);
        std::vector<Timeline<HostEntry>> timelines;
        for (std::size_t i = 0; i < families.size(); ++i) {
          auto timeline = pending[i].wait();
          if (!timeline || timeline->entries.empty()) {
            err << info.program << ": the widget gave no timeline\n";
            return static_cast<int>(kExitFailure);
          }
          timelines.push_back(std::move(*timeline));
          // A file the widget refused shows as the placeholder: say why, once.
          const FileReport& file = pending[i].notes->file;
          if (file.state == FileReport::State::refused)
            program.sayOnce("warning: " + file.path + ": " + file.reason);
        }
        for (std::size_t i = 0; i < families.size(); ++i) {
          const WidgetRenderSettings settings = settingsFor(families[i]);
          const ui::PlacedNode tree =
              layoutWidget(timelines[i].entries.front().view(), settings, measurer);
          if (auto error = drawWidget(tree, settings, paths[i], measurer.textContext())) {
            err << info.program << ": " << error->message() << "\n";
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
}

}  // namespace halyard::host
