#pragma once
// A large widget's worth of views, built only from the toolkit's vocabulary: a header row,
// a donut chart with its legend, twelve bar rows and a footer, inside the host's 16-point
// margins. Benchmarks time its layout and drawing; the render check tool draws it.

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "platform/ui/ui.hpp"

namespace halyard::bench {

// The large family's size in points, and the host's content margin.
inline constexpr ui::Size kLargeWidget{364, 382};
inline constexpr double kContentMargin = 16;

struct SampleRow {
  const char* label;
  const char* amount;
  double share;  // of the largest row, 0...1
  ui::StyleName style;
};

// Names long enough that most need cutting in the middle at 110 points.
inline constexpr std::array<SampleRow, 12> kSampleRows{{
    {"photos-family-archive-2019-2024", "412,6 GB", 1.00, ui::StyleName::blue},
    {"work-documents", "188,2 GB", 0.46, ui::StyleName::green},
    {"music-library-lossless-masters", "96,4 GB", 0.23, ui::StyleName::orange},
    {"home-server-configuration", "54 GB", 0.13, ui::StyleName::yellow},
    {"mail", "31,7 GB", 0.077, ui::StyleName::red},
    {"virtual-machines-and-disk-images", "22,9 GB", 0.056, ui::StyleName::blue},
    {"source-code-repositories-mirror", "12,3 GB", 0.030, ui::StyleName::green},
    {"notes", "4,1 GB", 0.010, ui::StyleName::orange},
    {"scanned-receipts-and-invoices", "1,8 GB", 0.0044, ui::StyleName::yellow},
    {"dotfiles", "640 MB", 0.0015, ui::StyleName::red},
    {"game-saves-across-three-machines", "212 MB", 0.0005, ui::StyleName::blue},
    {"tmp", "12 KB", 0.0, ui::StyleName::secondary},
}};

struct SampleSector {
  const char* name;
  const char* amount;
  double value;
  ui::StyleName style;
};

inline constexpr std::array<SampleSector, 6> kSampleSectors{{
    {"Local disk", "512 GB", 512, ui::StyleName::blue},
    {"Office NAS", "201 GB", 201, ui::StyleName::green},
    {"Cloud bucket", "96 GB", 96, ui::StyleName::orange},
    {"USB drive", "40 GB", 40, ui::StyleName::yellow},
    {"Remote host", "22 GB", 22, ui::StyleName::red},
    {"Other", "4 GB", 4, ui::StyleName::secondary},
}};

inline std::string tagged(std::string_view text, std::string_view tag) {
  std::string result(text);
  result += tag;
  return result;
}

inline ui::View sampleHeader(std::string_view tag) {
  using namespace ui;
  return HStack(
      VerticalAlignment::firstTextBaseline, 6,
      {Image("externaldrive.fill").font(Font::title2()).foregroundStyle(StyleName::tint),
       Text(tagged("875 GB", tag)).font(Font::title2().bold().monospacedDigit()).lineLimit(1),
       Spacer(),
       Text(tagged("12 sets", tag)).font(Font::caption2()).foregroundStyle(StyleName::secondary),
       Text(tagged("4 810 copies", tag))
           .font(Font::caption2().monospacedDigit())
           .foregroundStyle(StyleName::secondary)});
}

inline ui::View sampleDonut(std::string_view tag) {
  using namespace ui;
  std::vector<SectorMark> marks;
  std::vector<View> legend;
  for (const SampleSector& s : kSampleSectors) {
    marks.push_back({s.value, 0.62, std::nullopt, 1, s.style});
    legend.push_back(
        HStack(VerticalAlignment::center, 5,
               {Circle().fill(s.style).frame(7, 7),
                Text(tagged(s.name, tag)).font(Font::caption2()).lineLimit(1), Spacer(4),
                Text(tagged(s.amount, tag))
                    .font(Font::caption2().monospacedDigit())
                    .foregroundStyle(StyleName::secondary)
                    .lineLimit(1)}));
  }
  return HStack(VerticalAlignment::center, 14,
                {Chart(std::move(marks)).chartLegend(Visibility::hidden).frame(78, 78),
                 VStack(HorizontalAlignment::leading, 2, std::move(legend))});
}

inline ui::View sampleBar(double share, ui::StyleName style) {
  using namespace ui;
  return GeometryReader([share, style](Size size) {
           return ZStack(Alignment::leading,
                         {Capsule().fill(StyleName::hierarchicalTertiary),
                          Capsule().fill(style).frame(FixedFrame{
                              std::max(size.height, size.width * share), std::nullopt})});
         })
      .frame(FixedFrame{std::nullopt, 6});
}

inline ui::View sampleRows(std::string_view tag) {
  using namespace ui;
  std::vector<View> rows;
  for (const SampleRow& r : kSampleRows) {
    rows.push_back(HStack(VerticalAlignment::center, 6,
                          {Text(tagged(r.label, tag))
                               .font(Font::caption2())
                               .lineLimit(1)
                               .truncationMode(TruncationMode::middle)
                               .frame(FixedFrame{110, std::nullopt, Alignment::leading}),
                           sampleBar(r.share, r.style),
                           Text(tagged(r.amount, tag))
                               .font(Font::caption2().monospacedDigit())
                               .foregroundStyle(StyleName::secondary)
                               .lineLimit(1)
                               .minimumScaleFactor(0.8)
                               .frame(FixedFrame{56, std::nullopt, Alignment::trailing})}));
  }
  return RowClippingVStack(HorizontalAlignment::leading, 4, std::move(rows));
}

inline ui::View sampleFooter(std::string_view tag) {
  using namespace ui;
  return HStack(VerticalAlignment::firstTextBaseline, 4,
                {Image("clock.arrow.circlepath"),
                 Text(tagged("Next run: office NAS, daily", tag)).lineLimit(1), Spacer(),
                 Text(tagged("in 2 h", tag)).font(Font::caption2().monospacedDigit())})
      .font(Font::footnote())
      .foregroundStyle(StyleName::secondary);
}

// The whole widget: content inside the margins, the container filled behind it.
// `tag` is appended to every text, so that a benchmark can lay out texts never measured
// before.
inline ui::View sampleWidget(std::string_view tag = {}) {
  using namespace ui;
  return VStack(
             HorizontalAlignment::leading, 8,
             {sampleHeader(tag), sampleDonut(tag), Divider(), sampleRows(tag), sampleFooter(tag)})
      .padding(kContentMargin)
      .containerBackground(StyleName::tertiaryFill);
}

// Lays the sample out at the large size for `appearance` and rounds it to `scale`.
inline ui::PlacedNode layoutSample(const ui::View& widget, const ui::TextMeasurer& measurer,
                                   ui::Appearance appearance = ui::Appearance::light,
                                   double scale = 2) {
  ui::Environment env;
  env.appearance = appearance;
  env.displayScale = scale;
  ui::PlacedNode tree = ui::layout(widget, kLargeWidget, env, measurer);
  ui::roundToPixelGrid(tree, scale);
  return tree;
}

}  // namespace halyard::bench
