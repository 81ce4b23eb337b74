// A host program around the stub widget showing (and watching) the file STUB_WIDGET_FILE names.
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
