#include <unistd.h>
#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>

#include "platform/host/extension.hpp"
#include "platform/host/host_commands.hpp"
#include "platform/host/host_program.hpp"

namespace halyard::host {

void addExtensionCommand(HostProgram& program) {
  struct Options {
    std::string request = "timeline";
    std::string family = "systemMedium";
    bool preview = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = program.addCommand(
      kExtensionCommand, "", [&program, options](std::ostream& out, std::ostream& err) {
        const auto family = familyFromName(options->family);
        if (program.localWidgets().empty() || !family) {
          err << program.info().program << ": " << kExtensionCommand << ": bad request\n";
          return static_cast<int>(kExitUsage);
        }
        // Answers on standard output and ends at once: a confined process can open no file,
        // so nothing that runs at exit may need one (a leak checker reading /proc, say).
        out.flush();
        serveExtension(program.localWidgets().front(),
                       options->request == "snapshot" ? ExtensionRequest::snapshot
                                                      : ExtensionRequest::timeline,
                       TimelineProviderContext{*family, options->preview, familySize(*family)},
                       STDOUT_FILENO, filterFromHost());
      });
  command->group("");
  command->add_option("REQUEST", options->request)->check(CLI::IsMember({"timeline", "snapshot"}));
  command->add_option("--family", options->family);
  command->add_flag("--preview", options->preview);
}

}  // namespace halyard::host
