#pragma once
// What the timeline, snapshot and placeholder commands share: their options, the context they
// ask with, and an entry as JSON.

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "platform/host/host_program.hpp"

namespace halyard::host {

// RFC 3339 in UTC with milliseconds, as every JSON the program prints.
inline std::string formatDate(Date date) {
  return formatRfc3339(date, DatePrecision::milliseconds);
}

inline nlohmann::ordered_json entryJson(const HostEntry& entry) {
  nlohmann::ordered_json json{{"date", formatDate(entry.date)}};
  const nlohmann::ordered_json fields = entry.json();
  if (fields.is_object()) {
    for (const auto& [key, value] : fields.items())
      json[key] = value;
  }
  return json;
}

// Adds a command that asks the first widget with the context its --family and --preview
// options give; `ask` prints the answer and returns the exit code.
inline void addEntryRequestCommand(
    HostProgram& program, const std::string& name, const std::string& description,
    std::function<int(const WidgetDescriptor&, const TimelineProviderContext&, std::ostream& out,
                      std::ostream& err)>
        ask) {
  struct Options {
    std::string family = "medium";
    bool preview = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = program.addCommand(
      name, description,
      [&program, options, ask = std::move(ask)](std::ostream& out, std::ostream& err) {
        const auto& widgets = program.widgets();
        if (widgets.empty()) return static_cast<int>(kExitUsage);
        const auto family = familyOption(options->family, widgets.front().families);
        if (const auto* why = std::get_if<std::string>(&family)) {
          err << program.info().program << ": " << *why << "\n";
          return static_cast<int>(kExitUsage);
        }
        const WidgetFamily chosen = std::get<WidgetFamily>(family);
        return ask(widgets.front(), {chosen, options->preview, familySize(chosen)}, out, err);
      });
  command->add_option("--family", options->family, "Widget family to ask for")
      ->default_str("medium");
  command->add_flag("--preview", options->preview, "Ask as for a preview (the widget gallery)");
}

}  // namespace halyard::host
