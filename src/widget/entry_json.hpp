#pragma once
// JSON forms of what the provider answers, as the command line prints them.

#include <nlohmann/json.hpp>

#include "platform/host/timeline.hpp"
#include "timeline/halyard_widget_entry.hpp"

namespace halyard {

// {"date":"2026-12-06T15:42:38.123Z","snapshot":{...}}
nlohmann::ordered_json entryToJson(const HalyardWidgetEntry& entry);
// {"after":"..."}, {"atEnd":true} or {"never":true}
nlohmann::ordered_json policyToJson(const host::TimelineReloadPolicy& policy);
// {"entries":[...],"policy":{...}}
nlohmann::ordered_json timelineToJson(const host::Timeline<HalyardWidgetEntry>& timeline);

}  // namespace halyard
