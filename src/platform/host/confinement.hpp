#pragma once
// Confinement with Landlock and a system-call filter. A widget's extension process can
// afterwards read exactly one file, already open, and write its answer: no other file, no
// directory listing, no creating, writing, renaming or executing, no TCP, no signal or
// abstract Unix socket beyond itself, and only the system calls that reading, decoding and
// answering need. The host's own one-shot drawing is confined to what drawing still needs:
// fonts and time-zone data to read, and its output folders. The long-running host gives up TCP.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace halyard::host {

enum class Confinement {
  enforced,     // the kernel enforces the grant
  unsupported,  // the kernel has no Landlock (or seccomp): nothing is enforced
  failed,       // a step failed: nothing, or not everything, is enforced
};

struct ConfinementResult {
  Confinement state = Confinement::failed;
  int abi = 0;         // the Landlock ABI the kernel speaks; 0 without Landlock
  std::string detail;  // why it is not enforced
};

// The Landlock ABI version the kernel speaks; 0 without Landlock. Changes nothing.
int landlockAbi();

// Confines the calling thread (and the processes it starts afterwards) to reading the file
// open on `fd` (-1: no file at all), with no TCP, and no signal or abstract Unix socket
// reaching beyond its own domain. The rule is added on that descriptor: what is granted is
// what was opened, whatever the path names meanwhile. Every file-system access right the
// kernel knows is handled. Irreversible. Threads started before the call stay unconfined.
ConfinementResult confineToOpenFile(int fd);

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

// As confineToOpenFile, with these grants; paths that do not exist are left out.
ConfinementResult confineTo(const std::vector<PathGrant>& grants);

// Takes TCP away, nothing else: the calling thread and the processes it starts afterwards can
// neither bind nor connect a TCP socket (Landlock ABI 4; unsupported before).
ConfinementResult confineNetwork();

// The extension's system-call filter, compiled (a seccomp BPF program) once per process, so
// that a forked extension, or one started with it at hand, does not compile it again: what
// reading a descriptor, decoding, writing to a pipe and ending need is allowed; socket,
// TIOCSTI, ptrace, execve, memfd_create, the chmod, chown, xattr and utimensat families and
// unshare kill the process; anything else fails with EPERM. Empty when it cannot be compiled.
const std::string& systemCallFilter();

// Installs a compiled filter on the calling thread (the last step of an extension's
// confinement; with no_new_privs). Irreversible.
ConfinementResult installSystemCallFilter(std::string_view program);

// installSystemCallFilter(systemCallFilter()).
ConfinementResult filterSystemCalls();

}  // namespace halyard::host
