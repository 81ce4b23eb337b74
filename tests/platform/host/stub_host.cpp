// A host program around the stub widget, for tests of `run` as a process: it shows (and so
// watches) the file named by STUB_WIDGET_FILE.
#include <cstdlib>
#include <iostream>

#include "platform/host/host_program.hpp"
#include "stub_widget.hpp"

int main(int argc, char** argv) {
  const char* file = std::getenv("STUB_WIDGET_FILE");
  halyard::host::HostProgram program(
      {"stub-host", "1", "A host for tests", "stub", "", "", "", ""},
      {halyard::testing::stubWidget({.file = file != nullptr ? file : ""})});
  return program.run(argc, argv, std::cout, std::cerr);
}
