#include <clocale>
#include <iostream>

#include "widget/halyard_widget_bundle.hpp"

int main(int argc, char** argv) {
  // The user's locale for messages and text, but numbers on the command line and in JSON
  // always read and print the same way.
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  // The host's exit status is the program's: a failed command fails the process.
  return halyard::HalyardWidgetBundle::main(argc, argv, std::cout, std::cerr);
}
