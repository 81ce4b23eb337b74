#pragma once
// How the host draws a widget: at its family's size, with content margins, in a rounded
// container, at a display scale, in light or dark appearance.

#include <optional>
#include <string>

#include "platform/host/widget_family.hpp"
#include "platform/render/renderer.hpp"
#include "platform/ui/environment.hpp"
#include "platform/ui/placed_node.hpp"
#include "platform/ui/text_measurer.hpp"
#include "platform/ui/view.hpp"

namespace halyard::host {

// Space the host keeps free between the widget's edge and its content, on every side.
inline constexpr double kContentMargin = 16;
// Radius of the widget's rounded container.
inline constexpr double kContainerCornerRadius = 22;

struct WidgetRenderSettings {
  WidgetFamily family = WidgetFamily::systemMedium;
  ui::Appearance appearance = ui::Appearance::light;
  double scale = 2;        // pixels per point
  std::string textDomain;  // gettext domain of the widget's localisable texts
};

// The environment the host gives a widget's views.
ui::Environment widgetEnvironment(const WidgetRenderSettings& settings);

// Lays out `content` (what the widget's content closure built for one entry) as the host
// draws it: inside the content margins of the family's size, the container background
// rounded, every edge on the pixel grid of the scale.
ui::PlacedNode layoutWidget(const ui::View& content, const WidgetRenderSettings& settings,
                            const ui::TextMeasurer& measurer);

// Draws a laid-out widget to `path` (PNG, SVG or PDF by its extension), replacing it
// atomically; text is set with `text` (the measurer's, whose fonts are loaded).
std::optional<render::RenderError> drawWidget(
    const ui::PlacedNode& tree, const WidgetRenderSettings& settings, const std::string& path,
    const render::TextContext& text = render::threadTextContext());

}  // namespace halyard::host
