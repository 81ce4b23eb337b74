#include "platform/render/renderer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>

#include "platform/render/image_probe.hpp"
#include "platform/render/symbols.hpp"

namespace halyard::render {
namespace {

namespace fs = std::filesystem;
using testing::ImageProbe;
using testing::showsColor;
using ui::PlacedNode;
using ui::RGBA;

constexpr double kPi = std::numbers::pi;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

PlacedNode node(std::string kind, ui::Rect frame, std::vector<PlacedNode> children = {}) {
  PlacedNode n;
  n.kind = std::move(kind);
  n.frame = frame;
  n.children = std::move(children);
  return n;
}
PlacedNode shape(ui::ShapeKind kind, ui::Rect frame, RGBA color,
                 std::vector<PlacedNode> children = {}) {
  PlacedNode n = node("Shape", frame, std::move(children));
  n.shape = ui::PlacedShape{kind, {ui::StyleName::primary, color}};
  return n;
}
PlacedNode stack(ui::Rect frame, std::vector<PlacedNode> children) {
  return node("VStack", frame, std::move(children));
}
PlacedNode sector(double start, double end, double inner, double outer) {
  PlacedNode n = node("SectorMark", {0, 0, 100, 100});
  n.sector =
      ui::PlacedSector{1, start, end, {50, 50}, inner, outer, {ui::StyleName::blue, {0, 0, 1, 1}}};
  return n;
}

// Paints `tree` on a transparent image of `size` points at `scale`.
ImageProbe rendered(const PlacedNode& tree, ui::Size size, double scale) {
  cairo_surface_t* surface =
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(size.width * scale),
                                 static_cast<int>(size.height * scale));
  cairo_t* cr = cairo_create(surface);
  EXPECT_EQ(paint(cr, tree, scale), std::nullopt);
  cairo_destroy(cr);
  return ImageProbe(surface);
}

// A PNG's pixel size, from its header.
std::pair<int, int> pngSize(const std::string& png) {
  EXPECT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n"));
  auto word = [&](std::size_t at) {
    int v = 0;
    for (std::size_t i = 0; i < 4; ++i)
      v = v * 256 + static_cast<unsigned char>(png.at(at + i));
    return v;
  };
  return {word(16), word(20)};
}

std::string readFile(const fs::path& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

TEST(RendererTest, PngIsTheWidgetSizeTimesTheScale) {
  struct Case {
    ui::Size size;
    double scale;
    int width, height;
  };
  for (const Case& c : {Case{{364, 170}, 1, 364, 170}, Case{{364, 170}, 2, 728, 340},
                        Case{{364, 382}, 3, 1092, 1146}, Case{{170, 170}, 1.5, 255, 255}}) {
    const auto png = renderBytes(ImageFormat::png, stack({0, 0, 364, 170}, {}), c.size, c.scale);
    EXPECT_EQ(pngSize(std::get<std::string>(png)), std::pair(c.width, c.height));
  }
}

// A PNG decodes to the pixels that were painted: opaque, translucent (colour divided back out
// of the premultiplied surface) and fully transparent ones alike.
TEST(RendererTest, PngDecodesToThePaintedPixels) {
  PlacedNode drive = node("Image", {4, 4, 52, 36});
  drive.symbol = ui::PlacedSymbol{"externaldrive.fill", 40, {ui::StyleName::tint, {0, 0.5, 1, 1}}};
  PlacedNode faded =
      stack({0, 0, 80, 50}, {shape(ui::ShapeKind::circle, {30, 10, 40, 40}, {0.9, 0.3, 0.1, 0.7}),
                             shape(ui::ShapeKind::capsule, {0, 44, 80, 4}, {0.2, 0.8, 0.4, 0.25})});
  faded.opacity = 0.8;
  const PlacedNode tree = stack({0, 0, 80, 50}, {drive, faded});
  const double scale = 2;

  const std::string png =
      std::get<std::string>(renderBytes(ImageFormat::png, tree, {80, 50}, scale));
  struct Reader {
    std::string_view rest;
  } reader{png};
  cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(
      [](void* closure, unsigned char* data, unsigned int length) {
        auto* r = static_cast<Reader*>(closure);
        if (r->rest.size() < length) return CAIRO_STATUS_READ_ERROR;
        std::memcpy(data, r->rest.data(), length);
        r->rest.remove_prefix(length);
        return CAIRO_STATUS_SUCCESS;
      },
      &reader);
  const ImageProbe image(decoded);
  ASSERT_TRUE(image.ok());
  const ImageProbe painted = rendered(tree, {80, 50}, scale);
  ASSERT_EQ(image.width(), painted.width());
  ASSERT_EQ(image.height(), painted.height());

  int transparent = 0, translucent = 0, opaque = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const auto want = painted.at(x, y);
      const auto got = image.at(x, y);
      ASSERT_EQ(got.a, want.a) << x << "," << y;
      // Dividing colour out of a faint premultiplied pixel leaves it a few steps coarse.
      const int tolerance = want.a == 0 ? 0 : 1 + 255 / want.a;
      ASSERT_NEAR(got.r, want.r, tolerance) << x << "," << y;
      ASSERT_NEAR(got.g, want.g, tolerance) << x << "," << y;
      ASSERT_NEAR(got.b, want.b, tolerance) << x << "," << y;
      transparent += want.a == 0;
      translucent += want.a > 0 && want.a < 255;
      opaque += want.a == 255;
    }
  }
  EXPECT_GT(transparent, 100);
  EXPECT_GT(translucent, 100);
  EXPECT_GT(opaque, 100);
  // The drive's slot is a hole: transparent in the file too.
  EXPECT_EQ(image.atPoint(4 + 52 * 9.1 / 26, 4 + 36 * 11.4 / 18, scale).a, 0);
}

TEST(RendererTest, ShapesFillTheirFrameInEitherAppearance) {
  struct Case {
    RGBA background, fill;
  };
  for (const Case& c : {Case{{0.95, 0.95, 0.97, 1}, {0.0, 0.48, 1.0, 1}},      // light
                        Case{{0.11, 0.11, 0.12, 1}, {0.04, 0.52, 1.0, 1}}}) {  // dark
    const PlacedNode root = shape(ui::ShapeKind::rectangle, {0, 0, 200, 100}, c.background,
                                  {shape(ui::ShapeKind::capsule, {10, 10, 100, 20}, c.fill),
                                   shape(ui::ShapeKind::rectangle, {10, 50, 100, 20}, c.fill),
                                   shape(ui::ShapeKind::circle, {120, 10, 60, 20}, c.fill)});
    for (const double scale : {1.0, 2.0}) {
      const ImageProbe image = rendered(root, {200, 100}, scale);
      EXPECT_TRUE(showsColor(image.atPoint(60, 20, scale), c.fill));
      EXPECT_TRUE(showsColor(image.atPoint(10.5, 10.5, scale), c.background)) << "round ends";
      EXPECT_TRUE(showsColor(image.atPoint(10.5, 50.5, scale), c.fill)) << "square corners";
      // A circle in a wide frame is the largest circle that fits, centred.
      EXPECT_TRUE(showsColor(image.atPoint(150, 20, scale), c.fill));
      EXPECT_TRUE(showsColor(image.atPoint(122, 20, scale), c.background));
    }
  }
}

TEST(RendererTest, OpacityMultipliesDownTheTreeAndClipsCutChildren) {
  const RGBA red{1, 0, 0, 1};
  PlacedNode inner = stack({0, 0, 40, 40}, {shape(ui::ShapeKind::rectangle, {0, 0, 40, 40}, red)});
  inner.opacity = 0.5;
  PlacedNode outer = stack({0, 0, 40, 40}, {inner});
  outer.opacity = 0.5;
  EXPECT_NEAR(rendered(outer, {40, 40}, 1).at(20, 20).a, 64, 2);
  for (const double hidden : {0.0, -1.0, kNaN}) {
    outer.opacity = hidden;
    EXPECT_FALSE(rendered(outer, {40, 40}, 1).inkBox()) << hidden;
  }

  for (const bool clips : {false, true}) {
    PlacedNode parent =
        stack({0, 0, 20, 20}, {shape(ui::ShapeKind::rectangle, {0, 0, 40, 40}, red)});
    parent.clips = clips;
    const ImageProbe image = rendered(parent, {40, 40}, 2);
    EXPECT_EQ(image.atPoint(10, 10, 2).a, 255);
    EXPECT_EQ(image.atPoint(30, 30, 2).a, clips ? 0 : 255);
  }
}

TEST(RendererTest, SectorsRunClockwiseFromTwelve) {
  const ImageProbe quarter = rendered(sector(0, kPi / 2, 20, 40), {100, 100}, 1);
  EXPECT_EQ(quarter.at(50 + 21, 50 - 21).a, 255);  // upper right, in the ring
  EXPECT_EQ(quarter.at(50 - 21, 50 - 21).a, 0);    // upper left
  EXPECT_EQ(quarter.at(50 + 21, 50 + 21).a, 0);    // lower right
  EXPECT_EQ(quarter.at(52, 48).a, 0);              // the hole
  const ImageProbe ring = rendered(sector(0, 2 * kPi, 20, 40), {100, 100}, 1);
  EXPECT_EQ(ring.at(50 - 30, 50).a, 255);
  EXPECT_EQ(ring.at(50, 50).a, 0);
}

TEST(RendererTest, DegenerateSectorsAndFramesDrawNothing) {
  struct Case {
    double start, end, inner, outer;
  };
  PlacedNode chart = stack({0, 0, 100, 100}, {});
  for (const Case& c :
       {Case{1, 1, 20, 40}, Case{2, 1, 20, 40}, Case{0, kNaN, 20, 40}, Case{kNaN, kNaN, 20, 40},
        Case{0, kInf, 20, 40}, Case{0, 1, 40, 20}, Case{0, 1, -5, 0}, Case{0, 1, 20, kNaN}}) {
    chart.children.push_back(sector(c.start, c.end, c.inner, c.outer));
  }
  chart.children.push_back(shape(ui::ShapeKind::capsule, {kNaN, 0, 10, 10}, {1, 0, 0, 1}));
  EXPECT_FALSE(rendered(chart, {100, 100}, 2).inkBox());
}

TEST(RendererTest, TextIsDrawnInsideItsMeasuredBox) {
  PangoTextMeasurer measurer;
  struct Case {
    std::string text;
    ui::Font font;
    std::optional<double> maxWidth;
  };
  for (const Case& c : {Case{"1,27 TB", ui::Font::title().bold().monospacedDigit(), {}},
                        Case{"documents-archive-2024-long", ui::Font::caption2(), 60.0},
                        Case{"Próx. fotos · diario", ui::Font::caption2(), {}}}) {
    SCOPED_TRACE(c.text);
    const ui::TextSpec spec{c.text, c.font, c.font.size(), 0, 1, ui::TruncationMode::middle};
    const ui::TextMeasurement m = measurer.measure(spec, c.maxWidth);
    PlacedNode text = node("Text", {10, 10, m.size.width, m.size.height});
    text.text = ui::PlacedText{
        spec, m.displayedText, m.firstBaseline, c.maxWidth, {ui::StyleName::primary, {0, 0, 0, 1}}};
    const double scale = 2;
    const auto ink = rendered(text, {200, 50}, scale).inkBox();
    ASSERT_TRUE(ink);
    // Within the box, give or take a pixel of antialiasing; most of its width; on the baseline.
    EXPECT_GE(ink->minX, 10 * scale - 1);
    EXPECT_LE(ink->maxX, (10 + m.size.width) * scale + 1);
    EXPECT_GE(ink->minY, 10 * scale - 1);
    EXPECT_LE(ink->maxY, (10 + m.size.height) * scale + 1);
    EXPECT_GT(ink->maxX - ink->minX, 0.8 * m.size.width * scale);
    EXPECT_NEAR(ink->maxY, (10 + m.firstBaseline) * scale, 0.3 * c.font.size() * scale);
  }
}

TEST(RendererTest, VectorFormatsComeOutWhole) {
  const PlacedNode tree = shape(
      ui::ShapeKind::rectangle, {0, 0, 364, 170}, {1, 1, 1, 1},
      {shape(ui::ShapeKind::capsule, {16, 16, 100, 6}, {0, 0.5, 1, 1}), sector(0, 1, 10, 20)});
  const auto svg = std::get<std::string>(renderBytes(ImageFormat::svg, tree, {364, 170}, 1));
  EXPECT_TRUE(svg.starts_with("<?xml") || svg.starts_with("<svg")) << svg.substr(0, 40);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
  const auto pdf = std::get<std::string>(renderBytes(ImageFormat::pdf, tree, {364, 170}, 2));
  EXPECT_TRUE(pdf.starts_with("%PDF-"));
  EXPECT_NE(pdf.rfind("%%EOF"), std::string::npos);

  EXPECT_EQ(imageFormatForPath("out/W.SVG"), ImageFormat::svg);
  EXPECT_EQ(imageFormatForPath("a.b/c.pdf"), ImageFormat::pdf);
  EXPECT_EQ(imageFormatForPath("png"), std::nullopt);
}

// Symbols, text, shapes, a sector and a translucent group, as a widget shows them: both vector
// formats keep every part as vector paths, with no fallback images.
TEST(RendererTest, VectorFormatsDrawAWidgetWithoutImages) {
  PangoTextMeasurer measurer;
  const ui::TextSpec spec{"Last run 2 h ago",      ui::Font::footnote(), 10, 0, 1,
                          ui::TruncationMode::tail};
  const ui::TextMeasurement m = measurer.measure(spec, std::nullopt);
  PlacedNode text = node("Text", {40, 130, m.size.width, m.size.height});
  text.text = ui::PlacedText{
      spec, m.displayedText, m.firstBaseline, std::nullopt, {ui::StyleName::primary, {0, 0, 0, 1}}};
  PlacedNode row = stack({0, 0, 364, 170}, {});
  double x = 16;
  for (const std::string_view name : symbolNames()) {
    PlacedNode symbol = node("Image", {x, 16, 22, 20});
    symbol.symbol = ui::PlacedSymbol{std::string(name), 17, {ui::StyleName::blue, {0, 0.5, 1, 1}}};
    row.children.push_back(symbol);
    x += 30;
  }
  PlacedNode faded = stack({0, 120, 364, 40}, {text, row.children.front()});
  faded.opacity = 0.6;
  const PlacedNode tree = shape(ui::ShapeKind::rectangle, {0, 0, 364, 170}, {1, 1, 1, 1},
                                {shape(ui::ShapeKind::capsule, {16, 60, 100, 6}, {0, 0.5, 1, 1}),
                                 sector(0, 1, 10, 20), row, faded});

  const auto svg = std::get<std::string>(renderBytes(ImageFormat::svg, tree, {364, 170}, 2));
  EXPECT_EQ(svg.find("<image"), std::string::npos);
  EXPECT_NE(svg.find("evenodd"), std::string::npos) << "knock-outs are holes in the paths";
  const auto pdf = std::get<std::string>(renderBytes(ImageFormat::pdf, tree, {364, 170}, 2));
  EXPECT_EQ(pdf.find("/Subtype /Image"), std::string::npos);
}

TEST(RendererTest, RejectsTargetsThatCannotBeDrawn) {
  struct Case {
    ImageFormat format;
    ui::Size size;
    double scale;
  };
  for (const Case& c :
       {Case{ImageFormat::png, {364, 170}, 0}, Case{ImageFormat::svg, {364, 170}, kNaN},
        Case{ImageFormat::pdf, {0, 170}, 1}, Case{ImageFormat::png, {364, kInf}, 1},
        Case{ImageFormat::png, {20000, 10}, 2}}) {
    auto result = renderBytes(c.format, stack({0, 0, 10, 10}, {}), c.size, c.scale);
    ASSERT_TRUE(std::holds_alternative<RenderError>(result));
    EXPECT_FALSE(std::get<RenderError>(result).reason.empty());
  }
}

class RenderFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("halyard-render-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
  PlacedNode tree = shape(ui::ShapeKind::capsule, {2, 2, 30, 10}, {1, 0, 0, 1});
};

TEST_F(RenderFileTest, WritesEachFormatOverTheOldFile) {
  std::ofstream(dir / "widget.png") << "an older picture";
  EXPECT_EQ(renderPng(tree, {40, 20}, 2, dir / "widget.png"), std::nullopt);
  EXPECT_EQ(pngSize(readFile(dir / "widget.png")).first, 80);
  EXPECT_EQ(fs::status(dir / "widget.png").permissions() & fs::perms::others_read,
            fs::perms::others_read);
  EXPECT_EQ(renderSvg(tree, {40, 20}, 1, dir / "widget.svg"), std::nullopt);
  EXPECT_NE(readFile(dir / "widget.svg").find("<svg"), std::string::npos);
  EXPECT_EQ(renderPdf(tree, {40, 20}, 1, dir / "widget.pdf"), std::nullopt);
  EXPECT_TRUE(readFile(dir / "widget.pdf").starts_with("%PDF-"));
  EXPECT_EQ(entries(), (std::vector<std::string>{"widget.pdf", "widget.png", "widget.svg"}))
      << "no temporary file is left";
}

TEST_F(RenderFileTest, UnwritableOutputNamesThePath) {
  fs::create_directory(dir / "a-folder");
  std::ofstream(dir / "a-file") << "x";
  for (const fs::path& path : {dir / "missing" / "widget.png", dir / "a-file" / "widget.png",
                               dir / "a-folder", fs::path()}) {
    const auto error = renderPng(tree, {40, 20}, 1, path);
    ASSERT_TRUE(error) << path;
    EXPECT_EQ(error->path, path.string());
    EXPECT_NE(error->message().find(path.string()), std::string::npos);
    EXPECT_GT(error->reason.size(), 5u) << error->message();
  }
  EXPECT_EQ(entries(), (std::vector<std::string>{"a-file", "a-folder"})) << "nothing left";
  EXPECT_EQ(renderPng(tree, {40, 20}, 0, dir / "x.png")->path, (dir / "x.png").string());
}

}  // namespace
}  // namespace halyard::render
