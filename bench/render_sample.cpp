// Draws the sample widget for looking at: light and dark PNGs, and an SVG and a PDF, at
// scale 2, into the folder given (the current one by default).
#include <cstdio>
#include <string>

#include "platform/render/pango_text_measurer.hpp"
#include "platform/render/renderer.hpp"
#include "sample_tree.hpp"

int main(int argc, char** argv) {
  using namespace halyard;
  const std::string folder = argc > 1 ? std::string(argv[1]) + "/" : std::string();
  constexpr double kScale = 2;
  const render::PangoTextMeasurer measurer;
  const ui::View widget = bench::sampleWidget();
  struct Output {
    const char* name;
    ui::Appearance appearance;
    render::ImageFormat format;
  };
  int failures = 0;
  for (const Output& out :
       {Output{"toolkit-light.png", ui::Appearance::light, render::ImageFormat::png},
        Output{"toolkit-dark.png", ui::Appearance::dark, render::ImageFormat::png},
        Output{"toolkit-light.svg", ui::Appearance::light, render::ImageFormat::svg},
        Output{"toolkit-light.pdf", ui::Appearance::light, render::ImageFormat::pdf}}) {
    const ui::PlacedNode tree = bench::layoutSample(widget, measurer, out.appearance, kScale);
    const std::string path = folder + out.name;
    if (auto error = render::renderFile(out.format, tree, bench::kLargeWidget, kScale, path)) {
      std::fprintf(stderr, "%s\n", error->message().c_str());
      ++failures;
    } else {
      std::printf("%s\n", path.c_str());
    }
  }
  return failures == 0 ? 0 : 1;
}
