#pragma once
// Confinement of a widget's process with Landlock: after it, the process can open exactly one
// file, for reading, and nothing else on the file system (no other file, no directory
// listing, no creating, writing, renaming or executing).

#include <optional>
#include <string>

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

}  // namespace halyard::host
