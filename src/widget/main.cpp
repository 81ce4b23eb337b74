#include <clocale>
#include <iostream>

#include "widget/command_line.hpp"

int main(int argc, char** argv) {
  // The user's locale for messages and text, but numbers on the command line and in JSON
  // always read and print the same way.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  return halyard::runCommandLine(argc, argv, std::cout, std::cerr);
}
