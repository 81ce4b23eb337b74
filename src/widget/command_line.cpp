#include "widget/command_line.hpp"

#include <CLI/CLI.hpp>

#include <ostream>
#include <sstream>

#include "snapshot/snapshot_file.hpp"
#include "timeline/halyard_widget_provider.hpp"
#include "widget/entry_json.hpp"

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

int check(const std::string& path, std::ostream& out, std::ostream& err) {
  auto read = readRegularFile(path);
  if (auto* error = std::get_if<ReadError>(&read)) {
    err << kProgram << ": " << path << ": " << error->message() << "\n";
    return kExitUsage;
  }
  const DecodeResult result = decodeSnapshot(std::get<std::string>(read));
  if (!result) {
    err << kProgram << ": " << path << ": " << result.error().message() << "\n";
    return kExitInvalid;
  }
  out << summary(result.snapshot()) << "\n";
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
