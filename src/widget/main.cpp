#include <iostream>

#include "widget/command_line.hpp"

int main(int argc, char** argv) {
  return halyard::runCommandLine(argc, argv, std::cout, std::cerr);
}
