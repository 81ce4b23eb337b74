#pragma once
// The widget's own commands beside the host's, each in its own file: `check` (decode a
// snapshot file by the widget's rules) and `preview` (draw a snapshot document without asking
// the provider). Both read the file as readSnapshotFile does.

#include <iosfwd>
#include <string>
#include <variant>

#include "snapshot/widget_snapshot.hpp"

namespace halyard {

namespace host {
class HostProgram;
}

void addCheckCommand(host::HostProgram& program);
void addPreviewCommand(host::HostProgram& program);

// Reads and decodes FILE by the widget's rules; on failure says why on `err` and gives the
// exit code: 2 when it cannot be read, 1 when it does not decode.
std::variant<WidgetSnapshot, int> readSnapshotFile(const std::string& program,
                                                   const std::string& path, std::ostream& err);

}  // namespace halyard
