#include <ostream>

#include "platform/host/host_program.hpp"
#include "snapshot/snapshot_file.hpp"
#include "widget/widget_commands.hpp"

namespace halyard {

std::variant<WidgetSnapshot, int> readSnapshotFile(const std::string& program,
                                                   const std::string& path, std::ostream& err) {
  auto read = readRegularFile(path);
  if (auto* error = std::get_if<ReadError>(&read)) {
    err << program << ": " << path << ": " << error->message() << "\n";
    return host::kExitUsage;
  }
  // In place: the file's bytes go as soon as the parser has read them.
  DecodeResult result = decodeSnapshotInPlace(std::get<std::string>(read));
  if (!result) {
    err << program << ": " << path << ": " << result.error().message() << "\n";
    return host::kExitInvalid;
  }
  return std::move(result).snapshot();
}

}  // namespace halyard
