#pragma once
// Finding, reading and (for the application side) replacing the snapshot file.

#include <cstdint>
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

// The largest snapshot file the widget reads (a 7 MB file lists 100 000 repositories); a
// larger one is refused before a byte of it is read or any memory is set aside for it.
inline constexpr std::uint64_t kSnapshotSizeLimit = std::uint64_t{256} << 20;

// Reads a whole regular file without blocking on FIFOs or devices, with room after it for
// decodeSnapshotInPlace. Fails with the system's error; a path that is not a regular file
// fails with EINVAL-like "not a regular file", and one larger than kSnapshotSizeLimit with
// EFBIG, both before anything is read.
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

// For a confined process that opened the snapshot file once, to grant exactly that file:
// from now on loadSnapshot() reads this descriptor (from its start, on every call) instead of
// opening the path. kNoSnapshotFile: there is no file, and nothing is opened.
inline constexpr int kNoSnapshotFile = -1;
void readSnapshotFrom(int fd);

// What the last loadSnapshot() on this thread found: a document that decoded, no file, or a
// file refused, with the reason (as `check` gives it: the member path, what was expected and
// what was found; or why the file could not be read).
struct LoadReport {
  enum class Outcome { none, decoded, missing, refused } outcome = Outcome::none;
  std::string reason;
};
LoadReport lastLoadReport();

// For the writer: writes the encoded snapshot to a temporary file in the target's directory,
// flushes it to disk and renames it over `path`, so that readers see the old or the new
// document, never half of one. Returns the system's error on failure (nothing is left behind).
std::error_code writeSnapshot(const WidgetSnapshot& snapshot, const std::string& path);

}  // namespace halyard
