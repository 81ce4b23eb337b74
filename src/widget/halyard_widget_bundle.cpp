#include "widget/halyard_widget_bundle.hpp"

#include "platform/host/host_program.hpp"
#include "snapshot/snapshot_file.hpp"
#include "snapshot/snapshot_json.hpp"
#include "widget/widget_commands.hpp"
#include "widget/widget_content.hpp"

#ifndef HALYARD_VERSION
#define HALYARD_VERSION "0.0.0"
#endif
#ifndef HALYARD_HELPER_DIR
#define HALYARD_HELPER_DIR ""
#endif
#ifndef HALYARD_PROGRAM_DIR
#define HALYARD_PROGRAM_DIR ""
#endif

namespace halyard {

host::StaticConfiguration<HalyardWidgetProvider> HalyardOverviewWidget::body() const {
  return host::StaticConfiguration<HalyardWidgetProvider>(
             kind, HalyardWidgetProvider(),
             [](const HalyardWidgetEntry& entry) { return widgetContent(entry); })
      .configurationDisplayName("Halyard")
      .description("Resumen de uso y próximo backup programado.")
      .accessibilityLabel("Halyard: uso de backups")
      .supportedFamilies({host::WidgetFamily::systemMedium, host::WidgetFamily::systemLarge})
      .entryJson([](const HalyardWidgetEntry& entry) {
        return nlohmann::ordered_json{{"snapshot", encodeSnapshot(entry.snapshot)}};
      })
      .entryWire(
          [](const HalyardWidgetEntry& entry) {
            return nlohmann::ordered_json{
                {"snapshot", encodeSnapshot(entry.snapshot, DatePrecision::microseconds)}};
          },
          [](Date date, const nlohmann::ordered_json& wire) -> std::optional<HalyardWidgetEntry> {
            if (!wire.is_object() || !wire.contains("snapshot")) return std::nullopt;
            DecodeResult snapshot = decodeSnapshot(wire["snapshot"].dump());
            if (!snapshot) return std::nullopt;
            return HalyardWidgetEntry{date, std::move(snapshot).snapshot()};
          })
      .readableFile([] { return std::optional<std::string>(WidgetSnapshot::fileURL()); },
                    kSnapshotSizeLimit, readSnapshotFrom,
                    [] {
                      using State = host::FileReport::State;
                      const LoadReport report = lastLoadReport();
                      State state = State::unknown;
                      switch (report.outcome) {
                        case LoadReport::Outcome::none:
                          break;
                        case LoadReport::Outcome::decoded:
                          state = State::read;
                          break;
                        case LoadReport::Outcome::missing:
                          state = State::missing;
                          break;
                        case LoadReport::Outcome::refused:
                          state = State::refused;
                          break;
                      }
                      return host::FileReport{state, WidgetSnapshot::fileURL(), report.reason};
                    });
}

std::vector<host::WidgetDescriptor> HalyardWidgetBundle::body() const {
  return host::WidgetBundleBuilder(kTextDomain, HalyardOverviewWidget().body());
}

int HalyardWidgetBundle::main(int argc, const char* const* argv, std::ostream& out,
                              std::ostream& err) {
  host::HostProgram program(
      {"halyard-widget", HALYARD_VERSION,
       "Halyard desktop widget: shows backup storage use, health and the next backup.", "halyard",
       kTextDomain, "halyard-widget-window", HALYARD_HELPER_DIR, HALYARD_PROGRAM_DIR},
      HalyardWidgetBundle().body());
  addCheckCommand(program);
  addPreviewCommand(program);
  return program.run(argc, argv, out, err);
}

}  // namespace halyard
