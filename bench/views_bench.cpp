// The widget's views end to end: build the entry view, lay it out as the host does, draw it.
#include <benchmark/benchmark.h>

#include "bench_support.hpp"
#include "platform/host/widget_renderer.hpp"
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

// Build, lay out and (when `draw`) draw one entry to PNG bytes.
void drawEntry(benchmark::State& state, const WidgetSnapshot& snapshot, bool draw) {
  const render::PangoTextMeasurer measurer;
  const auto settings = largeAtScale2();
  const auto size = host::familySize(settings.family);
  const HalyardWidgetEntry entry{*parseRfc3339("2026-03-14T10:00:00Z"), snapshot};
  for (auto _ : state) {
    const ui::View view =
        HalyardWidgetEntryView(entry).body().containerBackground(ui::StyleName::tertiaryFill);
    const ui::PlacedNode tree = host::layoutWidget(view, settings, measurer);
    if (draw) {
      auto png = render::renderBytes(render::ImageFormat::png, tree, {size.width, size.height},
                                     settings.scale);
      if (std::holds_alternative<render::RenderError>(png)) state.SkipWithError("draw failed");
      benchmark::DoNotOptimize(png);
    } else {
      benchmark::DoNotOptimize(tree);
    }
  }
}

void BM_LargeFullExample(benchmark::State& state) {
  const auto snapshot = loadSnapshot(std::string(HALYARD_SOURCE_DIR) + "/examples/full.json");
  drawEntry(state, *snapshot, state.range(0) != 0);
}
BENCHMARK(BM_LargeFullExample)->ArgName("draw")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_LargeRepositories(benchmark::State& state) {
  const WidgetSnapshot snapshot = bench::generatedSnapshot(static_cast<int>(state.range(0)));
  drawEntry(state, snapshot, true);
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LargeRepositories)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
