#include <CLI/CLI.hpp>

#include <memory>
#include <ostream>
#include <sstream>
#include <string_view>

#include "platform/host/host_program.hpp"
#include "widget/widget_commands.hpp"

namespace halyard {

namespace {

// "1 repository", "2 repositories".
std::string counted(std::int64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string summary(const WidgetSnapshot& snapshot) {
  std::ostringstream line;
  line << "ok: generated " << formatRfc3339(snapshot.generatedAt) << ", "
       << counted(snapshot.repoCount, "repository", "repositories") << ", "
       << counted(snapshot.archiveCount, "archive", "archives") << ", "
       << counted(snapshot.totalUsageBytes, "byte", "bytes") << "; "
       << counted(static_cast<std::int64_t>(snapshot.byProvider.size()), "provider", "providers")
       << ", "
       << counted(static_cast<std::int64_t>(snapshot.topRepos.size()), "repository listed",
                  "repositories listed")
       << "; next backup "
       << (snapshot.nextBackup ? formatRfc3339(snapshot.nextBackup->fireDate) : "none")
       << "; health " << rawValue(snapshot.health);
  return line.str();
}

int check(const std::string& program, const std::string& path, std::ostream& out,
          std::ostream& err) {
  auto snapshot = readSnapshotFile(program, path, err);
  if (auto* code = std::get_if<int>(&snapshot)) return *code;
  out << summary(std::get<WidgetSnapshot>(snapshot)) << "\n";
  return host::kExitOk;
}

}  // namespace

void addCheckCommand(host::HostProgram& program) {
  const std::string name = program.info().program;
  auto checkPath = std::make_shared<std::string>();
  program
      .addCommand("check",
                  "Decode a snapshot file by the widget's rules; exit 0 if it decodes, 1 if not, "
                  "2 if it cannot be read",
                  [name, checkPath](std::ostream& out, std::ostream& err) {
                    return check(name, *checkPath, out, err);
                  })
      ->add_option("FILE", *checkPath, "Snapshot document to check")
      ->required();
}

}  // namespace halyard
