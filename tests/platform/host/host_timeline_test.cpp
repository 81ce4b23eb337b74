#include <gtest/gtest.h>

#include "platform/host/timeline.hpp"
#include "platform/host/widget_family.hpp"

namespace halyard::host {
namespace {

// Every family is read back from its long and its short name, and nothing else is one.
TEST(WidgetFamilies, NamesReadBack) {
  for (auto family :
       {WidgetFamily::systemSmall, WidgetFamily::systemMedium, WidgetFamily::systemLarge,
        WidgetFamily::systemExtraLarge, WidgetFamily::accessoryCircular,
        WidgetFamily::accessoryRectangular, WidgetFamily::accessoryInline}) {
    EXPECT_EQ(familyFromName(familyName(family)), family);
    EXPECT_EQ(familyFromName(familyShortName(family)), family);
  }
  EXPECT_FALSE(familyFromName("Medium").has_value());
  EXPECT_FALSE(familyFromName("").has_value());
}

struct Entry {
  Date date;
};

// A provider whose completions are called as many times as it is told.
struct Provider {
  using Entry = host::Entry;
  int calls = 1;
  Entry placeholder(const TimelineProviderContext&) const { return {}; }
  void getSnapshot(const TimelineProviderContext&, const std::function<void(Entry)>& done) const {
    for (int i = 0; i < calls; ++i)
      done(Entry{});
  }
  void getTimeline(const TimelineProviderContext&,
                   const std::function<void(Timeline<Entry>)>& done) const {
    for (int i = 0; i < calls; ++i)
      done(Timeline<Entry>{{Entry{}}, TimelineReloadPolicy::never()});
  }
};

TEST(HostRequests, OnlyOneCompletionCountsAsAnAnswer) {
  for (int calls : {0, 1, 2}) {
    const Provider provider{calls};
    EXPECT_EQ(askSnapshot(provider, {}).has_value(), calls == 1);
    EXPECT_EQ(askTimeline(provider, {}).has_value(), calls == 1);
  }
}

}  // namespace
}  // namespace halyard::host
