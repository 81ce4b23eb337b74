#include "platform/host/entry_request.hpp"
#include "platform/host/host_commands.hpp"

namespace halyard::host {

void addPlaceholderCommand(HostProgram& program) {
  addEntryRequestCommand(
      program, "placeholder", "Ask the widget for a placeholder entry and print it as JSON",
      [](const WidgetDescriptor& widget, const TimelineProviderContext& context, std::ostream& out,
         std::ostream&) {
        out << nlohmann::ordered_json{{"entry", entryJson(widget.placeholder(context))}}.dump()
            << "\n";
        return static_cast<int>(kExitOk);
      });
}

}  // namespace halyard::host
