#pragma once
// Finding, reading and (for the application side) replacing the snapshot file.

#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <variant>

#include "snapshot/snapshot_json.hpp"
#include "snapshot/widget_snapshot.hpp"

namespace halyard {

// The home directory of the process's real user, or nothing. The default asks the user
// database (getpwuid(getuid()), field pw_dir).
using HomeLookup = std::function<std::optional<std::string>()>;
std::optional<std::string> userDatabaseHome();

// The snapshot file's path under the home that `databaseHome` yields; when it yields nothing,
// under the HOME variable (or "/" when that is unset too).
std::string snapshotFilePath(const HomeLookup& databaseHome);

// Reads a whole regular file without blocking on FIFOs or devices, with room after it for
// decodeSnapshotInPlace. Fails with the system's error; a path that is not a regular file
// fails with EINVAL-like "not a regular file".
struct ReadError {
  std::error_code code;
  std::string message() const;
};
std::variant<std::string, ReadError> readRegularFile(const std::string& path);

// Reads and decodes the file at `path`; nothing on any failure.
std::optional<WidgetSnapshot> loadSnapshot(const std::string& path);

// Reads and decodes the snapshot file at WidgetSnapshot::fileURL(); nothing on any failure.
// Every call reads the file afresh.
std::optional<WidgetSnapshot> loadSnapshot();

// For the writer: writes the encoded snapshot to a temporary file in the target's directory,
// flushes it to disk and renames it over `path`, so that readers see the old or the new
// document, never half of one. Returns the system's error on failure (nothing is left behind).
std::error_code writeSnapshot(const WidgetSnapshot& snapshot, const std::string& path);

}  // namespace halyard
