#pragma once
// The halyard-widget program's command line.

#include <iosfwd>

namespace halyard {

// Exit codes that scripts can rely on.
enum ExitCode : int {
  kExitOk = 0,
  kExitInvalid = 1,  // the input was read but is not what it should be
  kExitUsage = 2,    // bad command line, or a file that cannot be read
};

// Runs the program with its arguments; output goes to `out` and `err`. Returns the exit code.
int runCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace halyard
