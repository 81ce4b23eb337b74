#pragma once
// The view the host draws for one timeline entry: a medium layout (header, the first
// providers as bars, footer) and a large one (header, providers as a donut, repositories as
// bars, footer), chosen by the widget family that the host puts into the environment.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/ui/ui.hpp"
#include "platform/ui/widget_family.hpp"
#include "timeline/halyard_widget_entry.hpp"
#include "views/formatters.hpp"

namespace halyard {

class HalyardWidgetEntryView {
 public:
  // Whoever creates the view passes only the entry; the family comes from the environment.
  explicit HalyardWidgetEntryView(HalyardWidgetEntry entry);

  // The large layout for the large family, the medium one for every other.
  ui::View body() const;

  // The gettext domain of the widget's fixed texts.
  static constexpr const char* kTextDomain = "halyard-widget";

 private:
  HalyardWidgetEntryView(std::shared_ptr<const HalyardWidgetEntry> entry, ui::WidgetFamily family,
                         std::string textDomain);

  // A fixed text (a gettext key) in the environment's text domain, for accessibility labels.
  std::string text(const std::string& key) const;

  ui::View familyBody() const;
  ui::View mediumBody() const;
  ui::View largeBody() const;
  ui::View sectionLabel(const std::string& title) const;

  ui::View header() const;
  ui::View metricChip(const std::string& value, const std::string& label) const;
  ui::View healthDot() const;
  std::string headerLabel() const;  // what is read for the header
  std::string healthWord() const;   // the health, as read aloud

  ui::View providerBars(int maxCount) const;
  ui::View providerDonut() const;
  ui::View repoBars() const;
  ui::View footer() const;

  // Pieces the sections share.
  ui::View emptyState() const;
  ui::View usageBar(std::int64_t bytes, std::int64_t reference, ui::StyleName style,
                    double areaHeight, double barHeight) const;
  ui::View byteCount(std::int64_t bytes) const;

  // The two formatters every section shares, created once per process on first use.
  static const ByteCountFormatter& bytes();
  static const RelativeDateFormatter& relative();
  static const RelativeDateFormatter& relativeInFull();  // for what is read aloud

  // Shared, not copied: the view is copied into the closures that build it, and a snapshot
  // may hold a great many repositories.
  std::shared_ptr<const HalyardWidgetEntry> entry_;
  ui::WidgetFamily family_ = ui::WidgetFamily::systemMedium;
  std::string textDomain_;
};

}  // namespace halyard
