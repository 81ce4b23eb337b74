#include "platform/host/host_commands.hpp"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

#include "platform/host/confinement.hpp"
#include "platform/host/desktop_appearance.hpp"
#include "platform/host/desktop_window.hpp"
#include "platform/host/extension.hpp"
#include "platform/host/host_program.hpp"
#include "platform/host/instance_lock.hpp"
#include "platform/host/instance_requests.hpp"
#include "platform/host/run_loop.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/host/window_state.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "platform/ui/placed_tree_json.hpp"

namespace halyard::host {

namespace {

// How long the running window is given to end when another takes its place.
constexpr std::chrono::milliseconds kReplacePatience{5000};

struct RunOptions {
  std::string family;
  std::string output;
  bool window = false;
  std::string appearance = "auto";
  double scale = 2;
  bool desktopType = false;
  bool clickThrough = false;
  bool replace = false;
  bool focus = false;
  // For tests: another file to watch, and a shorter quiet period for its events.
  std::string watch;
  int debounceMs = 250;
};

// Keeps an image file up to date with the current entry; rewrites it (atomically) only when
// what it shows changed.
class ImageTarget {
 public:
  ImageTarget(std::string path, double scale, std::string textDomain,
              const render::PangoTextMeasurer& measurer)
      : path_(std::move(path)),
        scale_(scale),
        textDomain_(std::move(textDomain)),
        measurer_(measurer) {}

  // Lays out `view` and writes the file if that changed: true when written, an error when
  // writing failed.
  std::variant<bool, render::RenderError> show(const std::function<ui::View()>& view,
                                               WidgetFamily family, ui::Appearance appearance) {
    view_ = view;
    return redraw(family, appearance);
  }

  std::variant<bool, render::RenderError> redraw(WidgetFamily family, ui::Appearance appearance) {
    if (!view_) return false;
    WidgetRenderSettings settings;
    settings.family = family;
    settings.appearance = appearance;
    settings.scale = scale_;
    settings.textDomain = textDomain_;
    const ui::PlacedNode tree = layoutWidget(view_(), settings, measurer_);
    std::string json = ui::toJson(tree).dump();
    if (written_ && json == json_) return false;
    if (auto error = drawWidget(tree, settings, path_, measurer_.textContext())) return *error;
    json_ = std::move(json);
    written_ = true;
    return true;
  }

  const std::string& path() const { return path_; }
  bool written() const { return written_; }

 private:
  std::string path_;
  double scale_;
  std::string textDomain_;
  const render::PangoTextMeasurer& measurer_;
  std::function<ui::View()> view_;
  std::string json_;
  bool written_ = false;
};

// Whether the display or the session bus this process would use is reached over TCP: an X11
// display with a host name ("host:0", "localhost:10.0" as forwarded by ssh), or a bus address
// with a TCP transport.
bool connectionsNeedTcp() {
  if (const char* display = std::getenv("DISPLAY"); display != nullptr) {
    const std::string text = display;
    const auto colon = text.rfind(':');
    std::string host = colon == std::string::npos ? "" : text.substr(0, colon);
    if (const auto slash = host.find('/'); slash != std::string::npos)
      host = host.substr(slash + 1);
    if (!host.empty() && host != "unix") return true;
  }
  if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS"); bus != nullptr) {
    if (std::string(bus).find("tcp:") != std::string::npos) return true;
  }
  return false;
}

// The long-running host never needs TCP, so it gives it up for good, before it starts a
// thread (Landlock confines the calling thread and the threads and processes it starts
// afterwards): drawing a string from a hostile answer then cannot reach the network. Not
// when its display or session bus is reached over TCP; it says so.
void giveUpTcp(HostProgram& program) {
  if (connectionsNeedTcp()) {
    program.sayOnce("the display or the session bus is reached over TCP: TCP stays open");
    return;
  }
  if (threadCount() != 1) return;
  const ConfinementResult result = confineNetwork();
  if (result.state == Confinement::failed) program.sayOnce("cannot give up TCP: " + result.detail);
}

int runWidget(HostProgram& program, const RunOptions& options, std::ostream& out,
              std::ostream& err) {
  const HostInfo& info = program.info();
  const auto fail = [&](int code, const std::string& message) {
    err << info.program << ": " << message << "\n";
    return code;
  };
  if (program.widgets().empty()) return fail(kExitFailure, "there is no widget to run");
  // The window runs elsewhere: it is only asked.
  if (options.focus) {
    if (auto why = sendInstanceRequest(info.program + "-window", "focus")) {
      return fail(kExitFailure,
                  "cannot reach the widget's window: " + *why + " (start it with `run --window`)");
    }
    return kExitOk;
  }
  const WidgetDescriptor& widget = program.widgets().front();
  if (options.output.empty() && !options.window)
    return fail(kExitUsage, "run: nothing to keep drawn: give -o FILE, --window or both");
  if (!options.output.empty() && !render::imageFormatForPath(options.output))
    return fail(kExitUsage, options.output + ": unknown image format (use .png, .svg or .pdf)");

  // The family: as asked, else (for the window) the one it had last time, else the first
  // supported one.
  const std::string statePath = options.window ? windowStatePath(info.program) : "";
  std::optional<WidgetFamily> family;
  if (!options.family.empty()) {
    const auto named = familyOption(options.family, widget.families);
    if (const auto* why = std::get_if<std::string>(&named)) return fail(kExitUsage, *why);
    family = std::get<WidgetFamily>(named);
  } else if (options.window) {
    const auto remembered = familyFromName(loadWindowState(statePath).family);
    if (remembered && widget.supports(*remembered)) family = remembered;
  }
  if (!family) family = widget.families.front();

  const DesktopWindows* windows = options.window ? desktopWindows() : nullptr;
  if (!options.window || windows != nullptr) giveUpTcp(program);
  // One window per user session: two would stand on the same spot and overwrite each
  // other's state.
  std::optional<InstanceLock> lock;
  if (options.window) {
    // This program carries no window: the one that does takes over, with the same arguments.
    if (windows == nullptr) return program.handOver(info.windowProgram, err);
    if (auto why = windows->open(info.program)) return fail(kExitFailure, *why);
    lock.emplace(InstanceLock::pathFor(info.program + "-window"));
    if (!lock->error().empty()) {
      err << info.program << ": cannot make sure that only one window runs: " << lock->error()
          << "\n";
    } else if (!lock->tryAcquire()) {
      const auto holder = lock->holder();
      const std::string who = holder ? " (process " + std::to_string(*holder) + ")" : "";
      if (!options.replace) {
        err << info.program << ": the widget's window is already running" << who
            << "; --replace takes its place\n";
        return kExitOk;
      }
      if (!lock->takeOver(kReplacePatience))
        return fail(kExitFailure, "the running window" + who + " did not end");
    }
  }

  RunLoopOptions loopOptions;
  loopOptions.family = *family;
  // The file the widget reads: when it changes, the widget is asked again, as a desktop host
  // does when the application that writes it asks for a reload.
  loopOptions.watchedPath = options.watch;
  if (loopOptions.watchedPath.empty() && widget.readableFile) {
    if (auto file = widget.readableFile()) loopOptions.watchedPath = *file;
  }
  loopOptions.debounce = std::chrono::milliseconds(std::max(0, options.debounceMs));
  RunLoop loop(widget, loopOptions);

  const render::PangoTextMeasurer measurer;
  // Said once; the fonts may yet be installed, and the widget is still asked and kept.
  if (auto why = measurer.textContext().unusableReason())
    err << info.program << ": " << *why << "\n";
  std::optional<ImageTarget> image;
  if (!options.output.empty())
    image.emplace(options.output, options.scale, info.textDomain, measurer);
  std::unique_ptr<DesktopWindow> window;
  std::unique_ptr<DesktopAppearance> desktop;
  std::optional<render::RenderError> firstError;

  const std::optional<ui::Appearance> fixed =
      options.appearance == "auto"
          ? std::nullopt
          : std::optional(options.appearance == "dark" ? ui::Appearance::dark
                                                       : ui::Appearance::light);
  const auto appearance = [&] {
    if (fixed) return *fixed;
    return desktop ? desktop->appearance() : ui::Appearance::light;
  };
  const auto report = [&](const std::variant<bool, render::RenderError>& result) {
    if (const auto* error = std::get_if<render::RenderError>(&result)) {
      if (!image->written() && !firstError) firstError = *error;
      err << info.program << ": " << error->message() << "\n";
    } else if (std::get<bool>(result)) {
      out << image->path() << std::endl;
    }
  };

  if (!fixed) {
    desktop = std::make_unique<DesktopAppearance>([&] {
      if (image) report(image->redraw(loop.family(), appearance()));
      if (window) window->appearanceChanged();
    });
    if (windows != nullptr) windows->followToolkitAppearance(*desktop);
  }
  if (options.window) {
    WindowOptions windowOptions;
    windowOptions.title = widget.displayName;
    windowOptions.accessibleName = widget.accessibilityLabel;
    windowOptions.program = info.program;
    windowOptions.textDomain = info.textDomain;
    windowOptions.families = widget.families;
    windowOptions.appearance = fixed;
    windowOptions.desktopType = options.desktopType;
    windowOptions.clickThrough = options.clickThrough;
    windowOptions.statePath = statePath;
    window = windows->create(windowOptions, loop, desktop.get(), measurer);
  }
  // `run --focus` asks the one window for the keyboard. Made after the lock is taken and
  // ended before it is let go, so that the socket it replaces is never another's.
  std::optional<InstanceRequests> requests;
  if (window && lock && lock->held()) {
    requests.emplace(info.program + "-window", [&window](const std::string& request) {
      if (request == "focus") window->takeFocus();
    });
    if (!requests->error().empty())
      err << info.program << ": `run --focus` cannot reach this window: " << requests->error()
          << "\n";
  }

  loop.onEntry([&](const HostEntry& entry) {
    if (image) report(image->show(entry.view, loop.family(), appearance()));
    if (window) window->show(entry);
  });
  loop.onError([&](const std::string& message) { err << info.program << ": " << message << "\n"; });
  loop.onNotice(
      [&](const std::string& message) { err << info.program << ": " << message << std::endl; });

  if (!loop.start()) return loop.quitRequested() ? kExitOk : kExitFailure;
  // Nothing can be kept up to date in a file that cannot be written.
  if (firstError) return kExitUsage;
  loop.run();
  return kExitOk;
}

}  // namespace

void addRunCommand(HostProgram& program) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* command = program.addCommand(
      "run",
      "Keep the widget drawn, in an image file (-o) or a desktop window (--window), asking "
      "again at each reload date and when the widget's file changes; ends on SIGINT, SIGTERM or "
      "SIGHUP (exit 0). Without a usable font it says so once and keeps going",
      [&program, options](std::ostream& out, std::ostream& err) {
        return runWidget(program, *options, out, err);
      });
  command->add_option("--family", options->family,
                      "Widget family (default: the window's last one, else the first supported)");
  command->add_option("-o,--output", options->output,
                      "Keep this image (.png, .svg or .pdf) up to date; its path is printed "
                      "each time it is rewritten");
  command->add_flag("--window", options->window, "Show the widget in a desktop window");
  command
      ->add_option("--appearance", options->appearance,
                   "Light, dark, or auto (as the desktop prefers)")
      ->check(CLI::IsMember({"auto", "light", "dark"}))
      ->default_str("auto");
  addScaleOption(*command, options->scale, "Pixels per point of the image file");
  command->add_flag("--desktop-type", options->desktopType,
                    "X11: give the window the desktop type (may clash with a file manager's "
                    "desktop)");
  command->add_flag("--click-through", options->clickThrough,
                    "The window lets every click through, so it has no menu: end it with "
                    "`kill` (SIGTERM), or start `run --window --replace` and quit that one "
                    "from its menu");
  command->add_flag("--replace", options->replace,
                    "One window runs per user: end the one running (SIGTERM) and take its "
                    "place; without it a second window says the first one's process id and "
                    "exits 0");
  command
      ->add_flag("--focus", options->focus,
                 "Give the keyboard to the running window and exit (exit 3 when none runs): "
                 "the arrow keys go from element to element (for a screen reader), the Menu key or "
                 "Shift+F10 opens its menu, and Escape gives the keyboard back. The window "
                 "never takes the focus by itself")
      ->excludes("--window")
      ->excludes("--output")
      ->excludes("--replace");
  command->add_option("--watch", options->watch, "Watch this file instead of the widget's")
      ->group("");
  command
      ->add_option("--debounce-ms", options->debounceMs,
                   "Quiet period after file events, in milliseconds")
      ->check(CLI::Range(0, 60000))
      ->group("");
}

}  // namespace halyard::host
