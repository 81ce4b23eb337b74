#pragma once

namespace halyard {

namespace host {
class HostProgram;
}

// The widget's own commands beside the host's: `check` (decode a snapshot file by the
// widget's rules) and `preview` (draw a snapshot document without asking the provider).
void addWidgetCommands(host::HostProgram& program);

}  // namespace halyard
