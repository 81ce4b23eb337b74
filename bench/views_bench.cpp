// The widget's views end to end: build the entry view, lay it out as the host does, draw it.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "platform/host/widget_renderer.hpp"
#include "platform/render/c_handles.hpp"
#include "platform/render/pango_text_measurer.hpp"
#include "snapshot/snapshot_file.hpp"
#include "views/halyard_widget_entry_view.hpp"

namespace {

using namespace halyard;

host::WidgetRenderSettings largeAtScale2() {
  host::WidgetRenderSettings settings;
  settings.family = ui::WidgetFamily::systemLarge;
  settings.scale = 2;
  settings.textDomain = HalyardWidgetEntryView::kTextDomain;
  return settings;
}

// What follows the layout: nothing, painting into an image surface, or renderBytes to PNG
// (painting and encoding).
enum Output : std::int64_t { kLayoutOnly = 0, kPaint = 1, kPng = 2 };

// Build, lay out and draw one entry as `output` says.
void drawEntry(benchmark::State& state, const WidgetSnapshot& snapshot, std::int64_t output) {
  const render::PangoTextMeasurer measurer;
  const auto settings = largeAtScale2();
  const auto size = host::familySize(settings.family);
  const HalyardWidgetEntry entry{*parseRfc3339("2026-03-14T10:00:00Z"), snapshot};
  const render::CairoSurfacePtr surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * settings.scale),
                                 static_cast<int>(size.height * settings.scale)));
  for (auto _ : state) {
    const ui::View view =
        HalyardWidgetEntryView(entry).body().containerBackground(ui::StyleName::tertiaryFill);
    const ui::PlacedNode tree = host::layoutWidget(view, settings, measurer);
    if (output == kPng) {
      auto png = render::renderBytes(render::ImageFormat::png, tree, {size.width, size.height},
                                     settings.scale);
      if (std::holds_alternative<render::RenderError>(png)) state.SkipWithError("draw failed");
      benchmark::DoNotOptimize(png);
    } else if (output == kPaint) {
      const render::CairoPtr cr(cairo_create(surface.get()));
      cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
      cairo_paint(cr.get());
      cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
      if (render::paint(cr.get(), tree, settings.scale)) state.SkipWithError("draw failed");
    } else {
      benchmark::DoNotOptimize(tree);
    }
  }
}

void BM_LargeFullExample(benchmark::State& state) {
  const auto snapshot = loadSnapshot(std::string(HALYARD_SOURCE_DIR) + "/examples/full.json");
  drawEntry(state, *snapshot, state.range(0));
}
BENCHMARK(BM_LargeFullExample)
    ->ArgName("out")
    ->Arg(kLayoutOnly)
    ->Arg(kPaint)
    ->Arg(kPng)
    ->Unit(benchmark::kMicrosecond);

void repositories(benchmark::State& state, std::int64_t output) {
  const WidgetSnapshot snapshot = bench::generatedSnapshot(static_cast<int>(state.range(0)));
  drawEntry(state, snapshot, output);
  state.SetComplexityN(state.range(0));
}

// Build, layout and PNG bytes.
void BM_LargeRepositories(benchmark::State& state) {
  repositories(state, kPng);
}
BENCHMARK(BM_LargeRepositories)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// Build, layout and painting without encoding.
void BM_LargeRepositoriesPaint(benchmark::State& state) {
  repositories(state, kPaint);
}
BENCHMARK(BM_LargeRepositoriesPaint)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// Build and layout only.
void BM_LargeRepositoriesLayout(benchmark::State& state) {
  repositories(state, kLayoutOnly);
}
BENCHMARK(BM_LargeRepositoriesLayout)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
