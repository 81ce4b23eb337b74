#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <utility>

#include "platform/host/host_program.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "platform/ui/placed_tree_json.hpp"
#include "widget/halyard_widget_bundle.hpp"
#include "widget/widget_commands.hpp"
#include "widget/widget_content.hpp"

namespace halyard {

namespace {

struct PreviewRequest {
  std::string file;
  bool placeholder = false;
  host::WidgetFamily family = host::WidgetFamily::systemMedium;
  std::string familyName = "medium";
  std::string date;
  std::string appearance = "light";
  double scale = 2;
  std::string output = "halyard-preview.png";
  std::string layoutJson;
};

// Draws the entry view for a snapshot document without asking the provider: the design-time
// preview of the widget.
int preview(const std::string& program, const PreviewRequest& request, std::ostream& out,
            std::ostream& err) {
  HalyardWidgetEntry entry{now(), WidgetSnapshot::placeholder()};
  if (!request.date.empty()) {
    const auto date = parseRfc3339(request.date);
    if (!date) {
      err << program << ": --date: not an RFC 3339 date-time with a zone: " << request.date << "\n";
      return host::kExitUsage;
    }
    entry.date = *date;
  }
  if (!request.placeholder) {
    auto snapshot = readSnapshotFile(program, request.file, err);
    if (auto* code = std::get_if<int>(&snapshot)) return *code;
    entry.snapshot = std::move(std::get<WidgetSnapshot>(snapshot));
  }

  host::WidgetRenderSettings settings;
  settings.family = request.family;
  settings.appearance = request.appearance == "dark" ? ui::Appearance::dark : ui::Appearance::light;
  settings.scale = request.scale;
  settings.textDomain = HalyardWidgetBundle::kTextDomain;

  const render::PangoTextMeasurer measurer;
  if (auto why = measurer.textContext().unusableReason()) {
    err << program << ": " << *why << "\n";
    return host::kExitFailure;
  }
  const ui::PlacedNode tree =
      host::layoutWidget(widgetContent(std::move(entry)), settings, measurer);
  if (!request.layoutJson.empty()) {
    if (auto error =
            render::writeFileAtomically(request.layoutJson, ui::layoutJson(tree).dump(2) + "\n")) {
      err << program << ": " << error->message() << "\n";
      return host::kExitUsage;
    }
  }
  if (auto error = host::drawWidget(tree, settings, request.output, measurer.textContext())) {
    err << program << ": " << error->message() << "\n";
    return host::kExitUsage;
  }
  out << request.output << "\n";
  return host::kExitOk;
}

}  // namespace

void addPreviewCommand(host::HostProgram& program) {
  const std::string name = program.info().program;
  auto request = std::make_shared<PreviewRequest>();
  const std::vector<host::WidgetFamily> families = program.widgets().empty()
                                                       ? std::vector<host::WidgetFamily>{}
                                                       : program.widgets().front().families;
  CLI::App* previewCommand = program.addCommand(
      "preview",
      "Draw the widget for a snapshot document (or the placeholder) without asking the "
      "provider; exit 1 if FILE does not decode, 2 if it cannot be read, 3 if no font can be "
      "found (\"no usable font\")",
      [name, request, families](std::ostream& out, std::ostream& err) {
        const auto family = host::familyOption(request->familyName, families);
        if (const auto* why = std::get_if<std::string>(&family)) {
          err << name << ": " << *why << "\n";
          return static_cast<int>(host::kExitUsage);
        }
        request->family = std::get<host::WidgetFamily>(family);
        if (request->file.empty() && !request->placeholder) {
          err << name << ": preview: give a FILE or --placeholder\n";
          return static_cast<int>(host::kExitUsage);
        }
        if (!render::imageFormatForPath(request->output)) {
          err << name << ": " << request->output
              << ": unknown image format (use .png, .svg or .pdf)\n";
          return static_cast<int>(host::kExitUsage);
        }
        return preview(name, *request, out, err);
      });
  auto* file = previewCommand->add_option("FILE", request->file, "Snapshot document to draw");
  auto* placeholder = previewCommand->add_flag("--placeholder", request->placeholder,
                                               "Draw the placeholder snapshot");
  file->excludes(placeholder);
  previewCommand->add_option("--family", request->familyName, "Widget family")
      ->default_str("medium");
  previewCommand->add_option("--date", request->date, "The entry's date, RFC 3339 (default: now)");
  previewCommand->add_option("--appearance", request->appearance, "Light or dark")
      ->check(CLI::IsMember({"light", "dark"}))
      ->default_str("light");
  host::addScaleOption(*previewCommand, request->scale, "Pixels per point");
  previewCommand->add_option("-o,--output", request->output, "Output image: .png, .svg or .pdf")
      ->default_str("halyard-preview.png");
  previewCommand->add_option(
      "--layout-json", request->layoutJson,
      "Also write the placed tree and its accessibility tree as JSON to this file");
}

}  // namespace halyard
