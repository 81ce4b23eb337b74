#pragma once
// The sizes in which a host draws widgets. Views read the one they are drawn in from their
// environment; the host knows what each family measures.

namespace halyard::ui {

enum class WidgetFamily {
  systemSmall,
  systemMedium,
  systemLarge,
  systemExtraLarge,
  accessoryCircular,
  accessoryRectangular,
  accessoryInline,
};

}  // namespace halyard::ui
