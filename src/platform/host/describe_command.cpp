#include <CLI/CLI.hpp>

#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "platform/host/host_commands.hpp"
#include "platform/host/host_program.hpp"

namespace halyard::host {

void addDescribeCommand(HostProgram& program) {
  auto json = std::make_shared<bool>(false);
  program
      .addCommand("describe", "List the widgets: kind, display name, description, families",
                  [&program, json](std::ostream& out, std::ostream&) {
                    const auto& widgets = program.widgets();
                    if (!*json) {
                      for (const auto& widget : widgets)
                        out << widget.displayName << " (" << widget.kind << ")\n  "
                            << widget.description << "\n  families: " << familyList(widget.families)
                            << "\n";
                      return static_cast<int>(kExitOk);
                    }
                    nlohmann::ordered_json list = nlohmann::ordered_json::array();
                    for (const auto& widget : widgets) {
                      nlohmann::ordered_json families = nlohmann::ordered_json::array();
                      for (auto family : widget.families)
                        families.push_back(familyName(family));
                      list.push_back({{"kind", widget.kind},
                                      {"displayName", widget.displayName},
                                      {"description", widget.description},
                                      {"families", families}});
                    }
                    out << nlohmann::ordered_json{{"widgets", list}}.dump() << "\n";
                    return static_cast<int>(kExitOk);
                  })
      ->add_flag("--json", *json, "Print JSON");
}

}  // namespace halyard::host
