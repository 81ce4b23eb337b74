#pragma once
// What the host asks of a widget's provider, and what the provider answers.
//
// The host calls a provider with a context; the provider answers a placeholder at once and
// every other request through a completion, which it calls exactly once, on the calling
// thread, before the request returns.

#include <chrono>
#include <concepts>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/date/date.hpp"
#include "platform/host/widget_family.hpp"

namespace halyard::host {

using halyard::Date;

struct TimelineProviderContext {
  WidgetFamily family = WidgetFamily::systemMedium;
  bool isPreview = false;
  DisplaySize displaySize = familySize(WidgetFamily::systemMedium);
};

// How relevant an entry is to the user; entries have none unless they say so.
struct TimelineEntryRelevance {
  double score = 0;
  std::chrono::seconds duration{0};
};

// An entry offers the date at which it is to be shown. Relevance is optional: an entry type
// without a `relevance()` member has none.
template <typename E>
concept TimelineEntry = std::copy_constructible<E> && requires(const E& entry) {
  { entry.date } -> std::convertible_to<Date>;
};

template <TimelineEntry E>
std::optional<TimelineEntryRelevance> relevance(const E& entry) {
  if constexpr (requires {
                  {
                    entry.relevance()
                    } -> std::convertible_to<std::optional<TimelineEntryRelevance>>;
                }) {
    return entry.relevance();
  } else {
    return std::nullopt;
  }
}

// When the host asks for the next timeline: after the last entry, after a date, or never.
class TimelineReloadPolicy {
 public:
  enum class Kind { atEnd, after, never };

  static TimelineReloadPolicy atEnd() { return TimelineReloadPolicy(Kind::atEnd, {}); }
  static TimelineReloadPolicy after(Date date) { return TimelineReloadPolicy(Kind::after, date); }
  static TimelineReloadPolicy never() { return TimelineReloadPolicy(Kind::never, {}); }

  Kind kind() const { return kind_; }
  // The date of an `after` policy; nothing for the others.
  std::optional<Date> date() const {
    return kind_ == Kind::after ? std::optional<Date>(date_) : std::nullopt;
  }
  bool operator==(const TimelineReloadPolicy&) const = default;

 private:
  TimelineReloadPolicy(Kind kind, Date date) : kind_(kind), date_(date) {}
  Kind kind_;
  Date date_;
};

template <TimelineEntry E>
struct Timeline {
  std::vector<E> entries;
  TimelineReloadPolicy policy = TimelineReloadPolicy::atEnd();
};

// The shape of a provider, as the host calls it.
template <typename P>
concept TimelineProvider =
    requires(const P& provider, const TimelineProviderContext& context,
             std::function<void(typename P::Entry)> snapshotCompletion,
             std::function<void(Timeline<typename P::Entry>)> timelineCompletion) {
  requires TimelineEntry<typename P::Entry>;
  { provider.placeholder(context) } -> std::same_as<typename P::Entry>;
  provider.getSnapshot(context, snapshotCompletion);
  provider.getTimeline(context, timelineCompletion);
};

// Asks a provider as the host does, and hands back what its completion received. A provider
// that breaks the contract (no call, or more than one) yields nothing.
template <TimelineProvider P>
std::optional<typename P::Entry> askSnapshot(const P& provider,
                                             const TimelineProviderContext& context) {
  std::optional<typename P::Entry> answer;
  int calls = 0;
  provider.getSnapshot(context, [&](typename P::Entry entry) {
    ++calls;
    answer = std::move(entry);
  });
  if (calls != 1) return std::nullopt;
  return answer;
}

template <TimelineProvider P>
std::optional<Timeline<typename P::Entry>> askTimeline(const P& provider,
                                                       const TimelineProviderContext& context) {
  std::optional<Timeline<typename P::Entry>> answer;
  int calls = 0;
  provider.getTimeline(context, [&](Timeline<typename P::Entry> timeline) {
    ++calls;
    answer = std::move(timeline);
  });
  if (calls != 1) return std::nullopt;
  return answer;
}

}  // namespace halyard::host
