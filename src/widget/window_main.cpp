#include <clocale>
#include <iostream>

#include "platform/host/desktop/widget_window.hpp"
#include "widget/halyard_widget_bundle.hpp"

// halyard-widget with its desktop window: what `halyard-widget run --window` becomes.
int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");
  halyard::host::provideGtkDesktopWindows();
  return halyard::HalyardWidgetBundle::main(argc, argv, std::cout, std::cerr);
}
