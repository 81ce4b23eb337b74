#include "platform/host/entry_request.hpp"
#include "platform/host/host_commands.hpp"

namespace halyard::host {

void addSnapshotCommand(HostProgram& program) {
  addEntryRequestCommand(
      program, "snapshot", "Ask the widget for a snapshot entry and print it as JSON",
      [&program](const WidgetDescriptor& widget, const TimelineProviderContext& context,
                 std::ostream& out, std::ostream& err) {
        const auto entry = widget.snapshot(context);
        if (!entry) {
          err << program.info().program << ": the widget gave no entry\n";
          return static_cast<int>(kExitFailure);
        }
        out << nlohmann::ordered_json{{"entry", entryJson(*entry)}}.dump() << "\n";
        return static_cast<int>(kExitOk);
      });
}

}  // namespace halyard::host
