#include "platform/render/renderer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <numbers>

#include "platform/render/image_probe.hpp"
#include "platform/render/symbols.hpp"
#include "test_support.hpp"

namespace halyard::render {
namespace {

namespace fs = std::filesystem;
using halyard::testing::decodedPngFileSize;
using testing::ImageProbe;
using testing::showsColor;
using ui::PlacedNode;
using ui::RGBA;
using ui::ShapeKind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr RGBA kRed{1, 0, 0, 1}, kBlue{0, 0.5, 1, 1}, kWhite{1, 1, 1, 1};

// The renderer goes by what a node holds, never by its kind.
PlacedNode node(ui::Rect frame, std::vector<PlacedNode> children = {}) {
  PlacedNode n;
  n.kind = "ZStack";
  n.frame = frame;
  n.children = std::move(children);
  return n;
}
PlacedNode shape(ShapeKind kind, ui::Rect frame, RGBA color,
                 std::vector<PlacedNode> children = {}) {
  PlacedNode n = node(frame, std::move(children));
  n.shape = ui::PlacedShape{kind, {ui::StyleName::primary, color}};
  return n;
}
PlacedNode sector(double start, double end, double inner, double outer) {
  PlacedNode n = node({0, 0, 100, 100});
  n.sector = ui::PlacedSector{1, start, end, {50, 50}, inner, outer, {ui::StyleName::blue, kBlue}};
  return n;
}
PlacedNode symbol(std::string name, ui::Rect frame) {
  PlacedNode n = node(frame);
  n.symbol = ui::PlacedSymbol{std::move(name), frame.height, {ui::StyleName::tint, kBlue}};
  return n;
}
PlacedNode text(const ui::TextSpec& wanted, double x, double y,
                std::optional<double> maxWidth = {}) {
  const ui::TextMeasurement m = PangoTextMeasurer().measure(wanted, maxWidth);
  PlacedNode n = node({x, y, m.size.width, m.size.height});
  n.text = ui::PlacedText{
      wanted, m.displayedText, m.firstBaseline, maxWidth, {ui::StyleName::primary, {0, 0, 0, 1}}};
  return n;
}

ImageProbe rendered(const PlacedNode& tree, ui::Size size, double scale) {
  return testing::drawnWith(static_cast<int>(size.width * scale),
                            static_cast<int>(size.height * scale),
                            [&](cairo_t* cr) { EXPECT_EQ(paint(cr, tree, scale), std::nullopt); });
}

// A PNG decodes to the size times the scale and to the pixels painted, translucent ones too.
TEST(RendererTest, PngDecodesToThePaintedShapes) {
  PlacedNode faded =
      node({0, 0, 200, 100}, {shape(ShapeKind::circle, {150, 50, 40, 40}, {0.9, 0.3, 0.1, 0.7}),
                              shape(ShapeKind::capsule, {0, 94, 200, 4}, {0.2, 0.8, 0.4, 0.25})});
  faded.opacity = 0.8;
  const PlacedNode tree =
      node({0, 0, 200, 100}, {shape(ShapeKind::capsule, {10, 10, 100, 20}, kBlue),
                              shape(ShapeKind::rectangle, {10, 50, 100, 20}, kBlue),
                              shape(ShapeKind::circle, {120, 10, 60, 20}, kBlue),
                              symbol("externaldrive.fill", {10, 72, 30, 20}), faded});
  const ImageProbe painted = rendered(tree, {200, 100}, 2);
  EXPECT_TRUE(showsColor(painted.atPoint(60, 20, 2), kBlue));
  EXPECT_EQ(painted.atPoint(10.5, 10.5, 2).a, 0) << "round ends";
  EXPECT_TRUE(showsColor(painted.atPoint(10.5, 50.5, 2), kBlue)) << "square corners";
  EXPECT_TRUE(showsColor(painted.atPoint(150, 20, 2), kBlue));
  EXPECT_EQ(painted.atPoint(122, 20, 2).a, 0) << "a circle centred in a wide frame";

  const halyard::testing::TempDir dir;
  ASSERT_EQ(renderPng(tree, {200, 100}, 1.5, dir.file("w.png")), std::nullopt);
  EXPECT_EQ(decodedPngFileSize(dir.file("w.png")), std::pair(300u, 150u));
  ASSERT_EQ(renderPng(tree, {200, 100}, 2, dir.file("w.png")), std::nullopt);
  const ImageProbe image(cairo_image_surface_create_from_png(dir.file("w.png").c_str()));
  ASSERT_EQ(image.width(), painted.width());
  ASSERT_EQ(image.height(), painted.height());
  int counts[3] = {};  // transparent, translucent, opaque
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const auto want = painted.at(x, y), got = image.at(x, y);
      ASSERT_EQ(got.a, want.a) << x << "," << y;
      // Dividing colour out of a faint premultiplied pixel leaves it a few steps coarse.
      const int tolerance = want.a == 0 ? 0 : 1 + 255 / want.a;
      ASSERT_NEAR(got.r, want.r, tolerance) << x << "," << y;
      ASSERT_NEAR(got.g, want.g, tolerance) << x << "," << y;
      ASSERT_NEAR(got.b, want.b, tolerance) << x << "," << y;
      ++counts[want.a == 0 ? 0 : want.a < 255 ? 1 : 2];
    }
  }
  for (int count : counts)
    EXPECT_GT(count, 100);
}

TEST(RendererTest, OpacityMultipliesDownTheTreeAndClipsCutChildren) {
  PlacedNode inner = node({0, 0, 40, 40}, {shape(ShapeKind::rectangle, {0, 0, 40, 40}, kRed)});
  inner.opacity = 0.5;
  PlacedNode outer = node({0, 0, 40, 40}, {inner});
  outer.opacity = 0.5;
  EXPECT_NEAR(rendered(outer, {40, 40}, 1).at(20, 20).a, 64, 2);
  // A translucent leaf fades by its colour alone, looking as the same shape in a group does.
  PlacedNode leaf = shape(ShapeKind::capsule, {4, 4, 32, 12}, kRed);
  leaf.opacity = 0.5;
  PlacedNode grouped = node({0, 0, 40, 20}, {shape(ShapeKind::capsule, {4, 4, 32, 12}, kRed)});
  grouped.opacity = 0.5;
  const ImageProbe alone = rendered(node({0, 0, 40, 20}, {leaf}), {40, 20}, 2);
  const ImageProbe inGroup = rendered(grouped, {40, 20}, 2);
  for (int y = 0; y < alone.height(); ++y) {
    for (int x = 0; x < alone.width(); ++x) {
      ASSERT_NEAR(alone.at(x, y).a, inGroup.at(x, y).a, 1) << x << "," << y;
      ASSERT_NEAR(alone.at(x, y).r, inGroup.at(x, y).r, 1) << x << "," << y;
    }
  }
  EXPECT_NEAR(alone.atPoint(20, 10, 2).a, 128, 2);
  for (const bool clips : {false, true}) {
    PlacedNode parent = node({0, 0, 20, 20}, {shape(ShapeKind::rectangle, {0, 0, 40, 40}, kRed)});
    parent.clips = clips;
    const ImageProbe image = rendered(parent, {40, 40}, 2);
    EXPECT_EQ(image.atPoint(10, 10, 2).a, 255);
    EXPECT_EQ(image.atPoint(30, 30, 2).a, clips ? 0 : 255);
  }
}

TEST(RendererTest, SectorsRunClockwiseFromTwelveAndDegenerateNodesDrawNothing) {
  PlacedNode chart =
      node({0, 0, 100, 100},
           {sector(0, std::numbers::pi / 2, 20, 40), sector(1, 1, 20, 40), sector(2, 1, 20, 40),
            sector(0, kNaN, 20, 40), sector(kNaN, kNaN, 20, 40), sector(0, kInf, 20, 40),
            sector(0, 1, 40, 20), sector(0, 1, -5, 0), sector(0, 1, 20, kNaN),
            shape(ShapeKind::capsule, {kNaN, 0, 10, 10}, kRed)});
  for (const double hidden : {0.0, -1.0, kNaN}) {
    chart.children.push_back(shape(ShapeKind::capsule, {0, 60, 40, 40}, kRed));
    chart.children.back().opacity = hidden;
  }
  const ImageProbe image = rendered(chart, {100, 100}, 1);
  EXPECT_EQ(image.at(50 + 21, 50 - 21).a, 255);  // upper right, in the ring
  EXPECT_EQ(image.at(52, 48).a, 0);              // the hole
  const auto ink = image.inkBox();
  ASSERT_TRUE(ink);
  EXPECT_EQ(ink->minX, 50);
  EXPECT_EQ(ink->maxY, 49);
  const ImageProbe ring = rendered(sector(0, 2 * std::numbers::pi, 20, 40), {100, 100}, 1);
  EXPECT_EQ(ring.at(50 - 30, 50).a, 255);
  EXPECT_EQ(ring.at(50, 50).a, 0);
}

TEST(RendererTest, TextIsDrawnInsideItsMeasuredBox) {
  struct Case {
    std::string text;
    ui::Font font;
    std::optional<double> maxWidth;
  };
  for (const Case& c : {Case{"1,27 TB", ui::Font::title().bold().monospacedDigit(), {}},
                        Case{"documents-archive-2024-long", ui::Font::caption2(), 60.0},
                        Case{"Próx. fotos · diario", ui::Font::caption2(), {}}}) {
    SCOPED_TRACE(c.text);
    const PlacedNode label =
        text({c.text, c.font, c.font.size(), 0, 1, ui::TruncationMode::middle}, 10, 10, c.maxWidth);
    const ui::Rect& box = label.frame;
    const double scale = 2;
    const auto ink = rendered(label, {200, 50}, scale).inkBox();
    ASSERT_TRUE(ink);
    EXPECT_GE(ink->minX, box.x * scale - 1);
    EXPECT_LE(ink->maxX, box.maxX() * scale + 1);
    EXPECT_GE(ink->minY, box.y * scale - 1);
    EXPECT_LE(ink->maxY, box.maxY() * scale + 1);
    EXPECT_GT(ink->maxX - ink->minX, 0.8 * box.width * scale);
    EXPECT_NEAR(ink->maxY, (box.y + label.text->firstBaseline) * scale,
                0.3 * c.font.size() * scale);
  }
}

// Every part stays a vector path, with no fallback images.
TEST(RendererTest, VectorFormatsDrawAWidgetWithoutImages) {
  PlacedNode row = node({0, 0, 364, 170});
  double x = 16;
  for (const std::string_view name : symbolNames()) {
    row.children.push_back(symbol(std::string(name), {x, 16, 22, 20}));
    x += 30;
  }
  PlacedNode faded =
      node({0, 120, 364, 40},
           {text({"Last run 2 h ago", ui::Font::footnote(), 10, 0, 1, ui::TruncationMode::tail}, 40,
                 130),
            row.children.front()});
  faded.opacity = 0.6;
  const PlacedNode tree =
      shape(ShapeKind::rectangle, {0, 0, 364, 170}, kWhite,
            {shape(ShapeKind::capsule, {16, 60, 100, 6}, kBlue), sector(0, 1, 10, 20), row, faded});
  struct Case {
    ImageFormat format;
    std::string start, end, image;
  };
  for (const Case& c : {Case{ImageFormat::svg, "<?xml", "</svg>", "<image"},
                        Case{ImageFormat::pdf, "%PDF-", "%%EOF", "/Subtype /Image"}}) {
    const std::string out = std::get<std::string>(renderBytes(c.format, tree, {364, 170}, 2));
    EXPECT_TRUE(out.starts_with(c.start)) << out.substr(0, 40);
    EXPECT_NE(out.rfind(c.end), std::string::npos);
    EXPECT_EQ(out.find(c.image), std::string::npos);
    if (c.format == ImageFormat::svg) {
      EXPECT_NE(out.find("evenodd"), std::string::npos) << "knock-outs are holes in the paths";
    }
  }
  EXPECT_EQ(imageFormatForPath("out/W.SVG"), ImageFormat::svg);
  EXPECT_EQ(imageFormatForPath("png"), std::nullopt);
}

// The old file is replaced, readable by others; errors name the path; no temporary is left.
TEST(RendererTest, WritesFilesAtomicallyAndNamesUnwritablePaths) {
  const halyard::testing::TempDir dir;
  const std::string png = dir.file("widget.png");
  const PlacedNode tree = shape(ShapeKind::capsule, {2, 2, 30, 10}, kRed);
  halyard::testing::writeFile(png, "an older picture");
  EXPECT_EQ(renderPng(tree, {40, 20}, 2, png), std::nullopt);
  EXPECT_EQ(decodedPngFileSize(png).first, 80u);
  EXPECT_EQ(fs::status(png).permissions() & fs::perms::others_read, fs::perms::others_read);

  fs::create_directory(dir.path() / "a-folder");
  for (const std::string& path :
       {dir.file("missing/widget.png"), png + "/w.png", dir.file("a-folder"), std::string()}) {
    const auto error = renderPng(tree, {40, 20}, 1, path);
    ASSERT_TRUE(error) << path;
    EXPECT_EQ(error->path, path);
    EXPECT_NE(error->message().find(path), std::string::npos);
    EXPECT_GT(error->reason.size(), 5u) << error->message();
  }
  EXPECT_EQ(renderPng(tree, {40, 20}, 0, dir.file("x.png"))->path, dir.file("x.png"));
  for (const auto& [format, size, scale] : {std::tuple{ImageFormat::svg, ui::Size{364, 170}, kNaN},
                                            {ImageFormat::pdf, {0, 170}, 1.0},
                                            {ImageFormat::png, {364, kInf}, 1.0},
                                            {ImageFormat::png, {20000, 10}, 2.0}}) {
    auto result = renderBytes(format, tree, size, scale);
    ASSERT_TRUE(std::holds_alternative<RenderError>(result));
    EXPECT_FALSE(std::get<RenderError>(result).reason.empty());
  }
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path()))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a-folder", "widget.png"}));
}

}  // namespace
}  // namespace halyard::render
