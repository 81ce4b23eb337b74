#pragma once
// The host program: the command line through which people and scripts reach a bundle's
// widgets. Every command asks the widgets through their descriptors (and so through their
// providers), as a desktop host would.

#include <functional>
#include <iosfwd>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/host/widget_configuration.hpp"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace halyard::host {

// Exit codes that scripts can rely on.
enum ExitCode : int {
  kExitOk = 0,
  kExitInvalid = 1,  // the input was read but is not what it should be
  kExitUsage = 2,    // bad command line, unsupported family, unreadable input, unwritable output
  kExitFailure = 3,  // the host could not do its job (no display, ...)
};

struct HostInfo {
  std::string program;  // "halyard-widget"
  std::string version;
  std::string summary;     // one line for --help
  std::string fileStem;    // pictures are named <stem>-<family>.<ext>
  std::string textDomain;  // gettext domain of the widgets' texts
  // The program that carries the desktop window, for `run --window` (looked for beside this
  // program, then in `helperDirectory`, which is relative to this program's folder unless
  // absolute).
  std::string windowProgram;
  std::string helperDirectory;
  // Where a helper program finds `program` (beside itself first; relative to its own folder
  // unless absolute): the window program starts its extensions from there.
  std::string programDirectory;
};

class HostProgram {
 public:
  using Command = std::function<int(std::ostream& out, std::ostream& err)>;

  HostProgram(HostInfo info, std::vector<WidgetDescriptor> widgets);
  ~HostProgram();
  HostProgram(const HostProgram&) = delete;
  HostProgram& operator=(const HostProgram&) = delete;

  const HostInfo& info() const { return info_; }
  // The widgets as the host's commands ask them: through extension processes.
  const std::vector<WidgetDescriptor>& widgets() const { return widgets_; }
  // The widgets answering in this process (what an extension process serves).
  const std::vector<WidgetDescriptor>& localWidgets() const { return local_; }

  // Adds a command of the program's own; `run` is called when it is chosen.
  CLI::App* addCommand(const std::string& name, const std::string& description, Command run);

  // Parses the arguments and runs the chosen command: 0 on success, otherwise an ExitCode.
  int run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

  // Replaces this process with the helper program `name`, given the same arguments; returns
  // (with a message on `err`) only when it cannot.
  int handOver(const std::string& name, std::ostream& err) const;
  // Where the helper program `name` is: beside this program, else in the helper directory;
  // empty when in neither.
  std::string helperProgram(const std::string& name) const;

  // Tells people `text` on the current run's error stream, once per process.
  void sayOnce(const std::string& text);

 private:
  struct Commands;
  HostInfo info_;
  std::vector<WidgetDescriptor> local_;    // answering in this process
  std::vector<WidgetDescriptor> widgets_;  // answering through extension processes
  std::unique_ptr<Commands> commands_;
  std::vector<std::string> arguments_;  // the command line of the current run()
  std::ostream* err_ = nullptr;         // the current run()'s error stream
  std::set<std::string> said_;
};

// The family names a command line accepts, and the widget's supported families as text.
std::string familyList(const std::vector<WidgetFamily>& families);

// The family that a --family option names, by its short name (the form familyList gives),
// when it is one of `supported`; else the one-line reason, naming the value and the accepted
// ones.
std::variant<WidgetFamily, std::string> familyOption(std::string_view name,
                                                     const std::vector<WidgetFamily>& supported);

// Adds --scale (pixels per point, 0.25 to 8) to a command; a value outside that or not a
// number is refused with one line that names it.
CLI::Option* addScaleOption(CLI::App& command, double& scale, const std::string& description);

}  // namespace halyard::host
