#include "platform/host/entry_request.hpp"
#include "platform/host/host_commands.hpp"

namespace halyard::host {

void addTimelineCommand(HostProgram& program) {
  addEntryRequestCommand(
      program, "timeline", "Ask the widget for a timeline and print it as JSON",
      [&program](const WidgetDescriptor& widget, const TimelineProviderContext& context,
                 std::ostream& out, std::ostream& err) {
        const auto timeline = widget.timeline(context);
        if (!timeline) {
          err << program.info().program << ": the widget gave no timeline\n";
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
      });
}

}  // namespace halyard::host
