#include "widget/command_line.hpp"

#include <CLI/CLI.hpp>

#include <ostream>
#include <sstream>

#include "platform/host/widget_renderer.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "platform/ui/placed_tree_json.hpp"
#include "snapshot/snapshot_file.hpp"
#include "timeline/halyard_widget_provider.hpp"
#include "views/halyard_widget_entry_view.hpp"
#include "widget/entry_json.hpp"
#include "widget/widget_content.hpp"

#ifndef HALYARD_VERSION
#define HALYARD_VERSION "0.0.0"
#endif

namespace halyard {

namespace {

constexpr const char* kProgram = "halyard-widget";

// What the provider commands share: the family the host asks for and whether it is a preview.
struct ProviderRequest {
  std::string family = "medium";
  bool preview = false;

  host::TimelineProviderContext context() const {
    const auto chosen = host::familyFromName(family).value_or(host::WidgetFamily::systemMedium);
    return {chosen, preview, host::familySize(chosen)};
  }
};

void addProviderOptions(CLI::App& command, ProviderRequest& request) {
  command.add_option("--family", request.family, "Widget family to ask for")
      ->check(CLI::IsMember({"medium", "large"}))
      ->default_str("medium");
  command.add_flag("--preview", request.preview, "Ask as for a preview (the widget gallery)");
}

std::string summary(const WidgetSnapshot& snapshot) {
  std::ostringstream line;
  line << "ok: generated " << formatRfc3339(snapshot.generatedAt) << ", " << snapshot.repoCount
       << " repositories, " << snapshot.archiveCount << " archives, " << snapshot.totalUsageBytes
       << " bytes; " << snapshot.byProvider.size() << " providers, " << snapshot.topRepos.size()
       << " repositories listed; next backup "
       << (snapshot.nextBackup ? formatRfc3339(snapshot.nextBackup->fireDate) : "none")
       << "; health " << rawValue(snapshot.health);
  return line.str();
}

// Reads and decodes FILE by the widget's rules; on failure says why on `err` and gives the
// exit code: 2 when it cannot be read, 1 when it does not decode.
std::variant<WidgetSnapshot, int> readSnapshotFile(const std::string& path, std::ostream& err) {
  auto read = readRegularFile(path);
  if (auto* error = std::get_if<ReadError>(&read)) {
    err << kProgram << ": " << path << ": " << error->message() << "\n";
    return kExitUsage;
  }
  DecodeResult result = decodeSnapshot(std::get<std::string>(read));
  if (!result) {
    err << kProgram << ": " << path << ": " << result.error().message() << "\n";
    return kExitInvalid;
  }
  return std::move(result).snapshot();
}

int check(const std::string& path, std::ostream& out, std::ostream& err) {
  auto snapshot = readSnapshotFile(path, err);
  if (auto* code = std::get_if<int>(&snapshot)) return *code;
  out << summary(std::get<WidgetSnapshot>(snapshot)) << "\n";
  return kExitOk;
}

struct PreviewRequest {
  std::string file;
  bool placeholder = false;
  std::string family = "medium";
  std::string date;
  std::string appearance = "light";
  double scale = 2;
  std::string output = "halyard-preview.png";
  std::string layoutJson;
};

// Draws the entry view for a snapshot document without asking the provider: the design-time
// preview of the widget.
int preview(const PreviewRequest& request, std::ostream& out, std::ostream& err) {
  HalyardWidgetEntry entry{now(), WidgetSnapshot::placeholder()};
  if (!request.date.empty()) {
    const auto date = parseRfc3339(request.date);
    if (!date) {
      err << kProgram << ": --date: not an RFC 3339 date-time with a zone: " << request.date
          << "\n";
      return kExitUsage;
    }
    entry.date = *date;
  }
  if (!request.placeholder) {
    auto snapshot = readSnapshotFile(request.file, err);
    if (auto* code = std::get_if<int>(&snapshot)) return *code;
    entry.snapshot = std::move(std::get<WidgetSnapshot>(snapshot));
  }

  host::WidgetRenderSettings settings;
  settings.family = *host::familyFromName(request.family);
  settings.appearance = request.appearance == "dark" ? ui::Appearance::dark : ui::Appearance::light;
  settings.scale = request.scale;
  settings.textDomain = HalyardWidgetEntryView::kTextDomain;

  const render::PangoTextMeasurer measurer;
  const ui::PlacedNode tree = host::layoutWidget(widgetContent(entry), settings, measurer);
  if (!request.layoutJson.empty()) {
    if (auto error =
            render::writeFileAtomically(request.layoutJson, ui::toJson(tree).dump(2) + "\n")) {
      err << kProgram << ": " << error->message() << "\n";
      return kExitUsage;
    }
  }
  if (auto error = host::drawWidget(tree, settings, request.output)) {
    err << kProgram << ": " << error->message() << "\n";
    return kExitUsage;
  }
  out << request.output << "\n";
  return kExitOk;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Halyard desktop widget: shows backup storage use, health and the next backup.",
               kProgram};
  app.set_version_flag("--version", std::string(kProgram) + " " + HALYARD_VERSION);
  app.require_subcommand(1);
  app.fallthrough(false);

  ProviderRequest request;
  auto* timeline =
      app.add_subcommand("timeline", "Ask the provider for a timeline and print it as JSON");
  auto* snapshot =
      app.add_subcommand("snapshot", "Ask the provider for a snapshot entry and print it as JSON");
  auto* placeholder = app.add_subcommand(
      "placeholder", "Ask the provider for a placeholder entry and print it as JSON");
  for (auto* command : {timeline, snapshot, placeholder})
    addProviderOptions(*command, request);

  std::string checkPath;
  auto* checkCommand = app.add_subcommand(
      "check",
      "Decode a snapshot file by the widget's rules; exit 0 if it decodes, 1 if not, "
      "2 if it cannot be read");
  checkCommand->add_option("FILE", checkPath, "Snapshot document to check")->required();

  PreviewRequest previewRequest;
  auto* previewCommand = app.add_subcommand(
      "preview",
      "Draw the widget for a snapshot document (or the placeholder) without asking "
      "the provider; exit 1 if FILE does not decode, 2 if it cannot be read");
  auto* previewFile =
      previewCommand->add_option("FILE", previewRequest.file, "Snapshot document to draw");
  auto* previewPlaceholder = previewCommand->add_flag("--placeholder", previewRequest.placeholder,
                                                      "Draw the placeholder snapshot");
  previewFile->excludes(previewPlaceholder);
  previewCommand->add_option("--family", previewRequest.family, "Widget family")
      ->check(CLI::IsMember({"medium", "large"}))
      ->default_str("medium");
  previewCommand->add_option("--date", previewRequest.date,
                             "The entry's date, RFC 3339 (default: now)");
  previewCommand->add_option("--appearance", previewRequest.appearance, "Light or dark")
      ->check(CLI::IsMember({"light", "dark"}))
      ->default_str("light");
  previewCommand->add_option("--scale", previewRequest.scale, "Pixels per point")
      ->check(CLI::Range(0.25, 8.0))
      ->default_str("2");
  previewCommand
      ->add_option("-o,--output", previewRequest.output, "Output image: .png, .svg or .pdf")
      ->default_str("halyard-preview.png");
  previewCommand->add_option("--layout-json", previewRequest.layoutJson,
                             "Also write the placed tree as JSON to this file");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e, out, err);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e, out, err);
  } catch (const CLI::ParseError& e) {
    err << kProgram << ": " << e.what() << "\n\n" << app.help();
    return kExitUsage;
  }

  if (*previewCommand) {
    if (previewRequest.file.empty() && !previewRequest.placeholder) {
      err << kProgram << ": preview: give a FILE or --placeholder\n\n" << previewCommand->help();
      return kExitUsage;
    }
    if (!render::imageFormatForPath(previewRequest.output)) {
      err << kProgram << ": " << previewRequest.output
          << ": unknown image format (use .png, .svg or .pdf)\n";
      return kExitUsage;
    }
    return preview(previewRequest, out, err);
  }

  const HalyardWidgetProvider provider;
  if (*timeline) {
    const auto answer = host::askTimeline(provider, request.context());
    out << timelineToJson(*answer).dump() << "\n";
  } else if (*snapshot) {
    const auto answer = host::askSnapshot(provider, request.context());
    out << nlohmann::ordered_json{{"entry", entryToJson(*answer)}}.dump() << "\n";
  } else if (*placeholder) {
    out << nlohmann::ordered_json{{"entry", entryToJson(provider.placeholder(request.context()))}}
               .dump()
        << "\n";
  } else if (*checkCommand) {
    return check(checkPath, out, err);
  }
  return kExitOk;
}

}  // namespace halyard
