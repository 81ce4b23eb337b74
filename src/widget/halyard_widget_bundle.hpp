#pragma once
// The program's widgets, as the host sees them: one bundle holding one widget.

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/host/widget_configuration.hpp"
#include "timeline/halyard_widget_provider.hpp"
#include "views/halyard_widget_entry_view.hpp"

namespace halyard {

// The overview widget: a static widget (no options) in the medium and the large family.
struct HalyardOverviewWidget {
  std::string kind = "HalyardOverviewWidget";

  host::StaticConfiguration<HalyardWidgetProvider> body() const;
};

struct HalyardWidgetBundle {
  // The gettext domain of every fixed text of the widget.
  static constexpr const char* kTextDomain = HalyardWidgetEntryView::kTextDomain;

  std::vector<host::WidgetDescriptor> body() const;

  // Hands control to the host with this bundle's widgets; returns the host's exit status.
  static int main(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
};

}  // namespace halyard
