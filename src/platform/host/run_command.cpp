#include "platform/host/run_command.hpp"

#include <CLI/CLI.hpp>

#include <ostream>

#include "platform/host/host_program.hpp"

namespace halyard::host {

void addRunCommand(HostProgram& program) {
  program.addCommand("run", "Keep the widget drawn: not available yet",
                     [&program](std::ostream&, std::ostream& err) {
                       err << program.info().program << ": run: not available yet\n";
                       return static_cast<int>(kExitFailure);
                     });
}

}  // namespace halyard::host
