#include "views/halyard_widget_entry_view.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <algorithm>

#include "views/provider_color.hpp"
#include "views/usage_bars.hpp"

namespace halyard {

using namespace ui;

namespace {

// Secondary text and icons: the foreground at lower emphasis.
constexpr StyleName kSecondary = StyleName::hierarchicalSecondary;

// How far byte counts and counters shrink before their text is cut.
constexpr double kCountMinimumScale = 0.7;

// Upper case by the default, locale-independent Unicode mapping.
std::string upperCased(const std::string& text) {
  std::string out;
  icu::UnicodeString::fromUTF8(text).toUpper(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

}  // namespace

HalyardWidgetEntryView::HalyardWidgetEntryView(HalyardWidgetEntry entry)
    : entry_(std::make_shared<const HalyardWidgetEntry>(std::move(entry))) {}

HalyardWidgetEntryView::HalyardWidgetEntryView(std::shared_ptr<const HalyardWidgetEntry> entry,
                                               WidgetFamily family, std::string textDomain)
    : entry_(std::move(entry)), family_(family), textDomain_(std::move(textDomain)) {}

std::string HalyardWidgetEntryView::text(const std::string& key) const {
  return localizedString(textDomain_, key);
}

const ByteCountFormatter& HalyardWidgetEntryView::bytes() {
  static const ByteCountFormatter formatter(widgetLocale());
  return formatter;
}

const RelativeDateFormatter& HalyardWidgetEntryView::relative() {
  static const RelativeDateFormatter formatter(widgetLocale());
  return formatter;
}

const RelativeDateFormatter& HalyardWidgetEntryView::relativeInFull() {
  static const RelativeDateFormatter formatter(widgetLocale(), RelativeDateStyle::full);
  return formatter;
}

// ---- Layouts --------------------------------------------------------------------------------

View HalyardWidgetEntryView::body() const {
  return EnvironmentReader([entry = entry_](const Environment& environment) {
    return HalyardWidgetEntryView(entry, environment.widgetFamily<WidgetFamily>(),
                                  environment.textDomain)
        .familyBody();
  });
}

View HalyardWidgetEntryView::familyBody() const {
  return family_ == WidgetFamily::systemLarge ? largeBody() : mediumBody();
}

View HalyardWidgetEntryView::mediumBody() const {
  // The provider bars give up whole rows, last first, when the widget is too short for them;
  // header and footer keep their places (see providerBars).
  return VStack(HorizontalAlignment::leading, 8,
                {
                    header(),
                    providerBars(3),
                    Spacer(0),
                    footer(),
                })
      .padding(Edge::vertical, 4);
}

View HalyardWidgetEntryView::largeBody() const {
  // The sections between header and footer give up whole rows, last first, when the widget is
  // too short for all of them; when everything fits they stand exactly as in a plain stack. A
  // section's divider and title show only with at least its first row.
  return VStack(HorizontalAlignment::leading, 10,
                {
                    header(),
                    RowClippingVStack(HorizontalAlignment::leading, 10,
                                      {
                                          Divider().opacity(0.5).keepWithNext(),
                                          sectionLabel("Por proveedor").keepWithNext(),
                                          providerDonut(),
                                          If(!entry_->snapshot.topRepos.empty(),
                                             Group({
                                                 Divider().opacity(0.5).keepWithNext(),
                                                 sectionLabel("Por repositorio").keepWithNext(),
                                                 repoBars(),
                                             })),
                                      }),
                    Spacer(0),
                    footer(),
                })
      .padding(Edge::vertical, 4);
}

View HalyardWidgetEntryView::sectionLabel(const std::string& title) const {
  return Text(upperCased(title))
      .font(Font::caption2().bold())
      .foregroundStyle(kSecondary)
      .kerning(0.4)
      .accessibilityLabel(text(title))
      .accessibilityHeading();
}

// ---- Header ---------------------------------------------------------------------------------

View HalyardWidgetEntryView::header() const {
  const WidgetSnapshot& snapshot = entry_->snapshot;
  const bool large = family_ == WidgetFamily::systemLarge;
  return HStack(
             VerticalAlignment::firstTextBaseline, 10,
             {
                 Image("externaldrive.fill")
                     .font(large ? Font::title2() : Font::body())
                     .foregroundStyle(StyleName::tint),
                 VStack(
                     HorizontalAlignment::leading, 1,
                     {
                         Text(bytes().string(snapshot.totalUsageBytes))
                             .font(
                                 (large ? Font::title() : Font::title2()).bold().monospacedDigit())
                             .lineLimit(1)
                             .minimumScaleFactor(0.6),
                         HStack(VerticalAlignment::center, 8,
                                {
                                    metricChip(std::to_string(snapshot.repoCount),
                                               snapshot.repoCount == 1 ? "repo" : "repos"),
                                    If(snapshot.archiveCount > 0,
                                       metricChip(
                                           std::to_string(snapshot.archiveCount),
                                           snapshot.archiveCount == 1 ? "archivo" : "archivos")),
                                }),
                     }),
                 Spacer(),
                 healthDot(),
             })
      .accessibilityElement(AccessibilityChildBehavior::combine)
      .accessibilityLabel(headerLabel())
      .accessibilityAnnouncement(snapshot.health == WidgetSnapshot::Health::error
                                     ? text("Halyard: error en los backups")
                                     : std::string());
}

std::string HalyardWidgetEntryView::headerLabel() const {
  const WidgetSnapshot& snapshot = entry_->snapshot;
  std::string counts =
      std::to_string(snapshot.repoCount) + " " + (snapshot.repoCount == 1 ? "repo" : "repos");
  if (snapshot.archiveCount > 0) {
    counts += ", " + std::to_string(snapshot.archiveCount) + " " +
              (snapshot.archiveCount == 1 ? "archivo" : "archivos");
  }
  const std::vector<std::string> parts{bytes().string(snapshot.totalUsageBytes), counts,
                                       healthWord()};
  return formatLocalized(text("%1$@; %2$@; estado: %3$@"), parts);
}

std::string HalyardWidgetEntryView::healthWord() const {
  switch (entry_->snapshot.health) {
    case WidgetSnapshot::Health::ok:
      break;
    case WidgetSnapshot::Health::running:
      return text("en curso");
    case WidgetSnapshot::Health::error:
      return text("error");
  }
  return text("correcto");
}

View HalyardWidgetEntryView::metricChip(const std::string& value, const std::string& label) const {
  // One line, shrinking before it is cut: a long count must not wrap inside the header.
  return HStack(VerticalAlignment::center, 3,
                {
                    Text(value).font(Font::caption2().bold().monospacedDigit()),
                    Text(label).font(Font::caption2()).foregroundStyle(kSecondary),
                })
      .lineLimit(1)
      .minimumScaleFactor(kCountMinimumScale);
}

View HalyardWidgetEntryView::healthDot() const {
  struct Look {
    const char* symbol;
    StyleName color;
  };
  Look look{"checkmark.circle.fill", StyleName::green};
  switch (entry_->snapshot.health) {
    case WidgetSnapshot::Health::ok:
      break;
    case WidgetSnapshot::Health::running:
      look = {"arrow.triangle.2.circlepath", StyleName::orange};
      break;
    case WidgetSnapshot::Health::error:
      look = {"exclamationmark.triangle.fill", StyleName::red};
      break;
  }
  return Image(look.symbol)
      .font(Font::footnote())
      .foregroundStyle(look.color)
      .accessibilityLabel(healthWord());
}

// ---- Providers ------------------------------------------------------------------------------

View HalyardWidgetEntryView::emptyState() const {
  return LocalizedText("Abre Halyard para generar estadísticas")
      .font(Font::caption2())
      .foregroundStyle(kSecondary)
      .frame(FlexFrame{.maxWidth = infinity, .alignment = Alignment::leading});
}

View HalyardWidgetEntryView::usageBar(std::int64_t bytes, std::int64_t reference, StyleName style,
                                      double areaHeight, double barHeight) const {
  return GeometryReader([=](Size area) {
           return ZStack(Alignment::leading,
                         {
                             Capsule(RoundedCornerStyle::continuous)
                                 .fill(StyleName::hierarchicalTertiary)
                                 .frame(FixedFrame{.height = barHeight}),
                             Capsule(RoundedCornerStyle::continuous)
                                 .fill(style)
                                 .frame(barWidth(bytes, reference, area.width), barHeight),
                         })
               .frame(FlexFrame{.maxHeight = infinity});
         })
      .frame(FixedFrame{.height = areaHeight});
}

View HalyardWidgetEntryView::byteCount(std::int64_t count) const {
  // One line, shrinking before it is cut: a wrapped count would make its row taller than
  // the others.
  return Text(bytes().string(count))
      .font(Font::caption2().monospacedDigit())
      .foregroundStyle(kSecondary)
      .lineLimit(1)
      .minimumScaleFactor(kCountMinimumScale);
}

View HalyardWidgetEntryView::providerBars(int maxCount) const {
  const auto& providers = entry_->snapshot.byProvider;
  const auto shownCount =
      std::min(providers.size(), static_cast<std::size_t>(std::max(maxCount, 0)));
  const std::span<const WidgetSnapshot::ProviderUsage> shown(providers.data(), shownCount);
  // Rows that do not fit between header and footer are left out, last first.
  if (shown.empty()) return RowClippingVStack(HorizontalAlignment::leading, 5, {emptyState()});

  std::vector<std::int64_t> counts;
  for (const auto& provider : shown)
    counts.push_back(provider.bytes);
  const std::int64_t reference = referenceValue(counts);

  return RowClippingVStack(
      HorizontalAlignment::leading, 5,
      {ForEach(shown, [*this, reference](const WidgetSnapshot::ProviderUsage& provider) {
        return HStack(VerticalAlignment::center, 6,
                      {
                          Text(provider.label)
                              .font(Font::caption2())
                              .lineLimit(1)
                              .frame(FixedFrame{.width = 62, .alignment = Alignment::leading}),
                          usageBar(provider.bytes, reference, providerColor(provider.providerKey),
                                   10, 6),
                          byteCount(provider.bytes)
                              .frame(FixedFrame{.width = 56, .alignment = Alignment::trailing}),
                      })
            .accessibilityElement(AccessibilityChildBehavior::combine);
      })});
}

View HalyardWidgetEntryView::providerDonut() const {
  const auto& providers = entry_->snapshot.byProvider;
  if (providers.empty()) return emptyState();

  std::vector<SectorMark> marks;
  for (const auto& provider : providers) {
    marks.push_back(SectorMark{.angle = static_cast<double>(provider.bytes),
                               .innerRadius = 0.62,
                               .angularInset = 1,
                               .style = providerColor(provider.providerKey)});
  }
  return HStack(
      VerticalAlignment::center, 14,
      {
          Chart(std::move(marks)).chartLegend(Visibility::hidden).frame(78, 78),
          RowClippingVStack(
              HorizontalAlignment::leading, 4,
              {ForEach(
                  providers,
                  [*this](const WidgetSnapshot::ProviderUsage& provider) {
                    return HStack(
                               VerticalAlignment::center, 6,
                               {
                                   Circle().fill(providerColor(provider.providerKey)).frame(8, 8),
                                   Text(provider.label).font(Font::caption2()).lineLimit(1),
                                   Spacer(),
                                   byteCount(provider.bytes),
                               })
                        .accessibilityElement(AccessibilityChildBehavior::combine);
                  })},
              // The chart never stands without the first row of its legend.
              1)
              .frame(FlexFrame{.maxWidth = infinity, .alignment = Alignment::leading}),
      });
}

// ---- Repositories ---------------------------------------------------------------------------

View HalyardWidgetEntryView::repoBars() const {
  const auto& repos = entry_->snapshot.topRepos;
  std::vector<std::int64_t> counts;
  counts.reserve(repos.size());
  for (const auto& repo : repos)
    counts.push_back(repo.bytes);
  const std::int64_t reference = referenceValue(counts);

  return RowClippingVStack(
      HorizontalAlignment::leading, 4,
      {ForEach(repos, [*this, reference](const WidgetSnapshot::RepoUsage& repo) {
        return HStack(VerticalAlignment::center, 6,
                      {
                          Text(repo.name)
                              .font(Font::caption2())
                              .lineLimit(1)
                              .truncationMode(TruncationMode::middle)
                              .frame(FixedFrame{.width = 110, .alignment = Alignment::leading}),
                          usageBar(repo.bytes, reference, providerColor(repo.providerKey), 8, 5),
                          byteCount(repo.bytes)
                              .frame(FixedFrame{.width = 56, .alignment = Alignment::trailing}),
                      })
            .accessibilityElement(AccessibilityChildBehavior::combine);
      })});
}

// ---- Footer ---------------------------------------------------------------------------------

View HalyardWidgetEntryView::footer() const {
  const auto& next = entry_->snapshot.nextBackup;
  if (!next) {
    return HStack(VerticalAlignment::center, 6,
                  {
                      Image("clock.badge.questionmark")
                          .font(Font::caption2())
                          .foregroundStyle(kSecondary),
                      LocalizedText("Sin backups programados")
                          .font(Font::caption2())
                          .foregroundStyle(kSecondary),
                  })
        .accessibilityElement(AccessibilityChildBehavior::combine);
  }
  return HStack(
             VerticalAlignment::center, 6,
             {
                 Image("clock.arrow.circlepath").font(Font::caption2()).foregroundStyle(kSecondary),
                 LocalizedText("Próx. %@ · %@", {next->repoName, next->scheduleName})
                     .font(Font::caption2())
                     .foregroundStyle(kSecondary)
                     .lineLimit(1),
                 Spacer(),
                 Text(relative().string(next->fireDate, entry_->date))
                     .font(Font::caption2().monospacedDigit())
                     .foregroundStyle(kSecondary),
             })
      .accessibilityElement(AccessibilityChildBehavior::combine)
      .accessibilityLabel(formatLocalized(
          text("Próximo backup: %@, %@, %@"),
          std::vector<std::string>{next->repoName, next->scheduleName,
                                   relativeInFull().string(next->fireDate, entry_->date)}));
}

}  // namespace halyard
