// Layout and drawing of a large widget with the real Pango measurer, at scale 2.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "platform/render/pango_text_measurer.hpp"
#include "platform/render/renderer.hpp"
#include "sample_tree.hpp"

namespace {

using namespace halyard;

constexpr double kScale = 2;

// One measurer for the process, as the host keeps one: its font map is costly to make.
const render::PangoTextMeasurer& measurer() {
  static const render::PangoTextMeasurer instance;
  return instance;
}

// Views built once, laid out on every iteration: what a host does for each entry.
void BM_Layout(benchmark::State& state) {
  const ui::View widget = bench::sampleWidget();
  for (auto _ : state) {
    ui::PlacedNode tree = bench::layoutSample(widget, measurer());
    benchmark::DoNotOptimize(tree);
  }
}
BENCHMARK(BM_Layout)->Unit(benchmark::kMicrosecond);

// The first layout with a new measurer: every text is set with Pango. The font map is made
// and its fonts loaded outside the timing.
void BM_LayoutFirstTime(benchmark::State& state) {
  const ui::View widget = bench::sampleWidget();
  for (auto _ : state) {
    state.PauseTiming();
    auto fresh = std::make_unique<render::PangoTextMeasurer>();
    ui::TextSpec warmUp;
    warmUp.text = "Warm-up";
    fresh->measure(warmUp, std::nullopt);
    state.ResumeTiming();
    ui::PlacedNode tree = bench::layoutSample(widget, *fresh);
    benchmark::DoNotOptimize(tree);
    state.PauseTiming();
    fresh.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LayoutFirstTime)->Unit(benchmark::kMicrosecond);

// Texts never measured before (each iteration tags them with its number), fonts loaded: what
// a layout costs when the data has changed.
void BM_LayoutNewTexts(benchmark::State& state) {
  std::int64_t revision = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const ui::View widget = bench::sampleWidget(" " + std::to_string(++revision));
    state.ResumeTiming();
    ui::PlacedNode tree = bench::layoutSample(widget, measurer());
    benchmark::DoNotOptimize(tree);
  }
}
BENCHMARK(BM_LayoutNewTexts)->Unit(benchmark::kMicrosecond);

// Building the views as well, as a view body does for each entry.
void BM_BuildAndLayout(benchmark::State& state) {
  for (auto _ : state) {
    ui::PlacedNode tree = bench::layoutSample(bench::sampleWidget(), measurer());
    benchmark::DoNotOptimize(tree);
  }
}
BENCHMARK(BM_BuildAndLayout)->Unit(benchmark::kMicrosecond);

void BM_LayoutAndRender(benchmark::State& state) {
  const auto format = static_cast<render::ImageFormat>(state.range(0));
  const ui::View widget = bench::sampleWidget();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const ui::PlacedNode tree = bench::layoutSample(widget, measurer());
    auto image = render::renderBytes(format, tree, bench::kLargeWidget, kScale);
    if (auto* error = std::get_if<render::RenderError>(&image)) {
      state.SkipWithError(error->message().c_str());
      break;
    }
    bytes = std::get<std::string>(image).size();
    benchmark::DoNotOptimize(image);
  }
  state.counters["image_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LayoutAndRender)
    ->Arg(static_cast<int>(render::ImageFormat::png))
    ->Arg(static_cast<int>(render::ImageFormat::svg))
    ->Arg(static_cast<int>(render::ImageFormat::pdf))
    ->ArgName("format")
    ->Unit(benchmark::kMillisecond);

// Painting alone onto a reused image surface, without PNG encoding.
void BM_PaintOnly(benchmark::State& state) {
  const ui::PlacedNode tree = bench::layoutSample(bench::sampleWidget(), measurer());
  const render::CairoSurfacePtr surface(cairo_image_surface_create(
      CAIRO_FORMAT_ARGB32, static_cast<int>(bench::kLargeWidget.width * kScale),
      static_cast<int>(bench::kLargeWidget.height * kScale)));
  for (auto _ : state) {
    const render::CairoPtr cr(cairo_create(surface.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr.get());
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
    if (auto error = render::paint(cr.get(), tree, kScale)) {
      state.SkipWithError(error->message().c_str());
      break;
    }
  }
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
