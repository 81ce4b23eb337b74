// Any document that decodes lays out and draws in both families without crashing, hanging
// or producing frames that are not finite.
#include <cairo.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/host/widget_renderer.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "snapshot/snapshot_json.hpp"
#include "views/halyard_widget_entry_view.hpp"

namespace {

void expectFinite(const halyard::ui::PlacedNode& node) {
  const auto& f = node.frame;
  if (!std::isfinite(f.x) || !std::isfinite(f.y) || !std::isfinite(f.width) ||
      !std::isfinite(f.height) || f.width < 0 || f.height < 0) {
    std::abort();
  }
  for (const auto& child : node.children) expectFinite(child);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halyard;
  DecodeResult result =
      decodeSnapshot(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!result) return 0;
  static const render::PangoTextMeasurer measurer;
  const HalyardWidgetEntry entry{*parseRfc3339("2026-03-14T10:00:00Z"), std::move(result).snapshot()};
  for (auto family : {ui::WidgetFamily::systemMedium, ui::WidgetFamily::systemLarge}) {
    host::WidgetRenderSettings settings;
    settings.family = family;
    settings.scale = 1;
    const ui::PlacedNode tree = host::layoutWidget(
        HalyardWidgetEntryView(entry).body().containerBackground(ui::StyleName::tertiaryFill),
        settings, measurer);
    expectFinite(tree);
    const auto widget = host::familySize(family);
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_ARGB32, static_cast<int>(widget.width), static_cast<int>(widget.height));
    cairo_t* cr = cairo_create(surface);
    if (render::paint(cr, tree, 1)) std::abort();
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  return 0;
}
