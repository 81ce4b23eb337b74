#pragma once
// Confinement with Landlock. A widget's extension process can afterwards open exactly one file,
// for reading, and nothing else on the file system (no other file, no directory listing, no
// creating, writing, renaming or executing). The host's own one-shot drawing is confined to
// what drawing still needs: fonts and time-zone data to read, and its output folders.

#include <optional>
#include <string>
#include <vector>

namespace halyard::host {

enum class Confinement {
  enforced,     // the kernel enforces the grant
  unsupported,  // the kernel has no Landlock (or it is disabled): nothing is enforced
  failed,       // the kernel refused the ruleset: nothing is enforced
};

struct ConfinementResult {
  Confinement state = Confinement::failed;
  int abi = 0;         // the Landlock ABI the kernel speaks; 0 without Landlock
  std::string detail;  // why it is not enforced
};

// The Landlock ABI version the kernel speaks; 0 without Landlock. Changes nothing.
int landlockAbi();

// Confines the calling process (and its future children) to reading the file at `readable`,
// when it exists; with no file there, to nothing at all. Every file-system access right the
// kernel knows is handled. Irreversible. Threads started before the call stay unconfined.
ConfinementResult confineToReadOnlyFile(const std::optional<std::string>& readable);

// What a confined process may still do with a path: a file, or a folder and all beneath it.
enum class PathAccess {
  readFile,  // open this one file for reading; nothing when the path is a folder
  read,      // open files for reading (and list folders)
  update,    // as read, and create, write, truncate, rename and remove files, but not folders
};
struct PathGrant {
  std::string path;
  PathAccess access = PathAccess::read;
};

// As confineToReadOnlyFile, with these grants; paths that do not exist are left out.
ConfinementResult confineTo(const std::vector<PathGrant>& grants);

}  // namespace halyard::host
