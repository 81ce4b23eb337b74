#include "platform/render/renderer.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <numbers>
#include <sstream>

#include "platform/render/image_probe.hpp"
#include "platform/render/pango_text_measurer.hpp"

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

PlacedNode shapeNode(ui::ShapeKind kind, ui::Rect frame, RGBA color) {
  PlacedNode n;
  n.kind = kind == ui::ShapeKind::capsule ? "Capsule" : "Shape";
  n.frame = frame;
  n.shape = ui::PlacedShape{kind, ui::Fill{ui::StyleName::primary, color}};
  return n;
}

PlacedNode container(ui::Rect frame, std::vector<PlacedNode> children = {}) {
  PlacedNode n;
  n.kind = "VStack";
  n.frame = frame;
  n.children = std::move(children);
  return n;
}

PlacedNode sectorNode(double start, double end, double inner, double outer) {
  PlacedNode n;
  n.kind = "SectorMark";
  n.frame = {0, 0, 100, 100};
  n.sector = ui::PlacedSector{
      1, start, end, {50, 50}, inner, outer, ui::Fill{ui::StyleName::blue, {0, 0, 1, 1}}};
  return n;
}

ImageProbe renderProbe(const PlacedNode& tree, ui::Size size, double scale) {
  auto bytes = renderBytes(ImageFormat::png, tree, size, scale);
  if (auto* error = std::get_if<RenderError>(&bytes)) {
    ADD_FAILURE() << error->message();
    return ImageProbe(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  }
  return ImageProbe::fromPng(std::get<std::string>(bytes));
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

TEST(RendererTest, PngIsTheWidgetSizeTimesTheScale) {
  const PlacedNode tree = container({0, 0, 364, 170});
  struct Case {
    ui::Size size;
    double scale;
    int width, height;
  };
  for (const Case& c : {Case{{364, 170}, 1, 364, 170}, Case{{364, 170}, 2, 728, 340},
                        Case{{364, 382}, 3, 1092, 1146}, Case{{170, 170}, 1.5, 255, 255}}) {
    auto bytes = renderBytes(ImageFormat::png, tree, c.size, c.scale);
    ASSERT_TRUE(std::holds_alternative<std::string>(bytes));
    const std::string& png = std::get<std::string>(bytes);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    const ImageProbe image = ImageProbe::fromPng(png);
    ASSERT_TRUE(image.ok());
    EXPECT_EQ(image.width(), c.width);
    EXPECT_EQ(image.height(), c.height);
    EXPECT_EQ(image.at(c.width / 2, c.height / 2).a, 0) << "the background stays transparent";
  }
}

TEST(RendererTest, ShapesFillTheirFrameInEitherAppearance) {
  struct Case {
    const char* appearance;
    RGBA background;
    RGBA fill;
  };
  for (const Case& c : {Case{"light", {0.95, 0.95, 0.97, 1}, {0.0, 0.48, 1.0, 1}},
                        Case{"dark", {0.11, 0.11, 0.12, 1}, {0.04, 0.52, 1.0, 1}}}) {
    SCOPED_TRACE(c.appearance);
    PlacedNode root = shapeNode(ui::ShapeKind::rectangle, {0, 0, 200, 100}, c.background);
    root.children = {shapeNode(ui::ShapeKind::capsule, {10, 10, 100, 20}, c.fill),
                     shapeNode(ui::ShapeKind::rectangle, {10, 50, 100, 20}, c.fill),
                     shapeNode(ui::ShapeKind::circle, {120, 10, 60, 20}, c.fill)};
    for (const double scale : {1.0, 2.0}) {
      const ImageProbe image = renderProbe(root, {200, 100}, scale);
      EXPECT_TRUE(showsColor(image.atPoint(60, 20, scale), c.fill));
      EXPECT_TRUE(showsColor(image.atPoint(10.5, 10.5, scale), c.background))
          << "capsule corners are round";
      EXPECT_TRUE(showsColor(image.atPoint(10.5, 50.5, scale), c.fill));
      // A circle in a wide frame is the largest circle that fits, centred.
      EXPECT_TRUE(showsColor(image.atPoint(150, 20, scale), c.fill));
      EXPECT_TRUE(showsColor(image.atPoint(122, 20, scale), c.background));
    }
  }
}

TEST(RendererTest, OpacityMultipliesDownTheTree) {
  const RGBA red{1, 0, 0, 1};
  PlacedNode inner =
      container({0, 0, 40, 40}, {shapeNode(ui::ShapeKind::rectangle, {0, 0, 40, 40}, red)});
  inner.opacity = 0.5;
  PlacedNode outer = container({0, 0, 40, 40}, {inner});
  outer.opacity = 0.5;
  const ImageProbe image = renderProbe(outer, {40, 40}, 1);
  EXPECT_NEAR(image.at(20, 20).a, 64, 2);
  EXPECT_EQ(image.at(20, 20).r, 255);

  for (const double hidden : {0.0, -1.0, kNaN}) {
    PlacedNode n =
        container({0, 0, 40, 40}, {shapeNode(ui::ShapeKind::rectangle, {0, 0, 40, 40}, red)});
    n.opacity = hidden;
    EXPECT_FALSE(renderProbe(n, {40, 40}, 1).inkBox()) << hidden;
  }
}

TEST(RendererTest, ClippingNodesClipTheirChildrenToTheFrame) {
  const RGBA green{0, 1, 0, 1};
  for (const bool clips : {false, true}) {
    PlacedNode parent =
        container({0, 0, 20, 20}, {shapeNode(ui::ShapeKind::rectangle, {0, 0, 40, 40}, green)});
    parent.clips = clips;
    const ImageProbe image = renderProbe(parent, {40, 40}, 2);
    EXPECT_TRUE(showsColor(image.atPoint(10, 10, 2), green));
    EXPECT_EQ(image.atPoint(30, 30, 2).a, clips ? 0 : 255);
  }
}

TEST(RendererTest, SectorsRunClockwiseFromTwelve) {
  // The first quarter: from twelve to three o'clock.
  const ImageProbe image = renderProbe(sectorNode(0, kPi / 2, 20, 40), {100, 100}, 1);
  EXPECT_EQ(image.at(50 + 21, 50 - 21).a, 255);  // upper right, in the ring
  EXPECT_EQ(image.at(50 - 21, 50 - 21).a, 0);    // upper left
  EXPECT_EQ(image.at(50 + 21, 50 + 21).a, 0);    // lower right
  EXPECT_EQ(image.at(52, 48).a, 0);              // the hole

  const ImageProbe whole = renderProbe(sectorNode(0, 2 * kPi, 20, 40), {100, 100}, 1);
  EXPECT_EQ(whole.at(50 - 30, 50).a, 255);
  EXPECT_EQ(whole.at(50, 50).a, 0);
  const ImageProbe pie = renderProbe(sectorNode(0, kPi, 0, 40), {100, 100}, 1);
  EXPECT_EQ(pie.at(52, 48).a, 255);
}

TEST(RendererTest, DegenerateSectorsDrawNothing) {
  struct Case {
    double start, end, inner, outer;
  };
  PlacedNode chart = container({0, 0, 100, 100});
  for (const Case& c :
       {Case{1, 1, 20, 40}, Case{2, 1, 20, 40}, Case{0, kNaN, 20, 40}, Case{kNaN, kNaN, 20, 40},
        Case{0, kInf, 20, 40}, Case{0, 1, 40, 20}, Case{0, 1, -5, 0}, Case{0, 1, 20, kNaN}}) {
    chart.children.push_back(sectorNode(c.start, c.end, c.inner, c.outer));
  }
  PlacedNode nanFrame = shapeNode(ui::ShapeKind::capsule, {kNaN, 0, 10, 10}, {1, 0, 0, 1});
  chart.children.push_back(nanFrame);
  const ImageProbe image = renderProbe(chart, {100, 100}, 2);
  EXPECT_FALSE(image.inkBox());
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
    ui::TextSpec spec;
    spec.text = c.text;
    spec.font = c.font;
    spec.pointSize = c.font.size();
    spec.lineLimit = 1;
    spec.truncation = ui::TruncationMode::middle;
    const ui::TextMeasurement m = measurer.measure(spec, c.maxWidth);
    PlacedNode text;
    text.kind = "Text";
    text.frame = {10, 10, m.size.width, m.size.height};
    text.text = ui::PlacedText{spec, m.displayedText, m.firstBaseline, c.maxWidth,
                               ui::Fill{ui::StyleName::primary, {0, 0, 0, 1}}};
    const double scale = 2;
    const ImageProbe image = renderProbe(text, {200, 50}, scale);
    const auto ink = image.inkBox();
    ASSERT_TRUE(ink);
    // Glyph edges may bleed by a pixel of antialiasing.
    EXPECT_GE(ink->minX, 10 * scale - 1);
    EXPECT_LE(ink->maxX, (10 + m.size.width) * scale + 1);
    EXPECT_GE(ink->minY, 10 * scale - 1);
    EXPECT_LE(ink->maxY, (10 + m.size.height) * scale + 1);
    // Ink fills most of the measured width, and the baseline sits near the ink's bottom.
    EXPECT_GT(ink->maxX - ink->minX, 0.8 * m.size.width * scale);
    EXPECT_NEAR(ink->maxY, (10 + m.firstBaseline) * scale, 0.3 * c.font.size() * scale);
  }
}

TEST(RendererTest, VectorFormatsComeOutWhole) {
  PlacedNode tree = shapeNode(ui::ShapeKind::rectangle, {0, 0, 364, 170}, {1, 1, 1, 1});
  tree.children = {shapeNode(ui::ShapeKind::capsule, {16, 16, 100, 6}, {0, 0.5, 1, 1}),
                   sectorNode(0, 1, 10, 20)};
  auto svg = renderBytes(ImageFormat::svg, tree, {364, 170}, 1);
  ASSERT_TRUE(std::holds_alternative<std::string>(svg));
  const std::string& s = std::get<std::string>(svg);
  EXPECT_TRUE(s.starts_with("<?xml") || s.starts_with("<svg")) << s.substr(0, 40);
  EXPECT_NE(s.find("<svg"), std::string::npos);
  EXPECT_NE(s.find("</svg>"), std::string::npos);

  auto pdf = renderBytes(ImageFormat::pdf, tree, {364, 170}, 2);
  ASSERT_TRUE(std::holds_alternative<std::string>(pdf));
  const std::string& p = std::get<std::string>(pdf);
  EXPECT_TRUE(p.starts_with("%PDF-"));
  EXPECT_NE(p.rfind("%%EOF"), std::string::npos);
}

TEST(RendererTest, RejectsTargetsThatCannotBeDrawn) {
  const PlacedNode tree = container({0, 0, 10, 10});
  struct Case {
    ui::Size size;
    double scale;
  };
  for (const Case& c :
       {Case{{364, 170}, 0}, Case{{364, 170}, -2}, Case{{364, 170}, kNaN}, Case{{364, 170}, kInf},
        Case{{0, 170}, 1}, Case{{364, kNaN}, 1}, Case{{-1, 10}, 1}, Case{{20000, 10}, 2}}) {
    for (const ImageFormat format : {ImageFormat::png, ImageFormat::svg, ImageFormat::pdf}) {
      auto result = renderBytes(format, tree, c.size, c.scale);
      ASSERT_TRUE(std::holds_alternative<RenderError>(result));
      EXPECT_FALSE(std::get<RenderError>(result).reason.empty());
    }
  }
}

TEST(RendererTest, ImageFormatFollowsTheExtension) {
  EXPECT_EQ(imageFormatForPath("out/widget.png"), ImageFormat::png);
  EXPECT_EQ(imageFormatForPath("W.SVG"), ImageFormat::svg);
  EXPECT_EQ(imageFormatForPath("a.b/c.pdf"), ImageFormat::pdf);
  EXPECT_EQ(imageFormatForPath("widget.jpeg"), std::nullopt);
  EXPECT_EQ(imageFormatForPath("png"), std::nullopt);
}

class RenderFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("halyard-render-test-" + std::to_string(::getpid()) + "-" +
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
  PlacedNode tree = shapeNode(ui::ShapeKind::capsule, {2, 2, 30, 10}, {1, 0, 0, 1});
};

TEST_F(RenderFileTest, WritesEachFormatAndReplacesTheOldFile) {
  const fs::path png = dir / "widget.png";
  { std::ofstream(png) << "an older picture"; }
  EXPECT_EQ(renderPng(tree, {40, 20}, 2, png), std::nullopt);
  const ImageProbe image = ImageProbe::fromPng(readFile(png));
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(image.width(), 80);
  EXPECT_EQ(fs::status(png).permissions() & fs::perms::others_read, fs::perms::others_read);

  EXPECT_EQ(renderSvg(tree, {40, 20}, 1, dir / "widget.svg"), std::nullopt);
  EXPECT_NE(readFile(dir / "widget.svg").find("<svg"), std::string::npos);
  EXPECT_EQ(renderPdf(tree, {40, 20}, 1, dir / "widget.pdf"), std::nullopt);
  EXPECT_TRUE(readFile(dir / "widget.pdf").starts_with("%PDF-"));
  // No temporary file is left beside them.
  EXPECT_EQ(entries(), (std::vector<std::string>{"widget.pdf", "widget.png", "widget.svg"}));
}

TEST_F(RenderFileTest, UnwritableOutputNamesThePath) {
  fs::create_directory(dir / "a-folder");
  std::ofstream(dir / "a-file") << "x";
  for (const fs::path& path : {dir / "missing" / "widget.png", dir / "a-file" / "widget.png",
                               dir / "a-folder", fs::path()}) {
    SCOPED_TRACE(path);
    const auto error = renderPng(tree, {40, 20}, 1, path);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->path, path.string());
    EXPECT_NE(error->message().find(path.string()), std::string::npos);
    EXPECT_GT(error->reason.size(), 5u) << error->message();
  }
  // The failed rename over the folder left nothing behind.
  EXPECT_EQ(entries(), (std::vector<std::string>{"a-file", "a-folder"}));

  const auto invalid = renderPng(tree, {40, 20}, 0, dir / "x.png");
  ASSERT_TRUE(invalid);
  EXPECT_EQ(invalid->path, (dir / "x.png").string());
}

}  // namespace
}  // namespace halyard::render
