#include "widget/entry_json.hpp"

#include "snapshot/snapshot_json.hpp"

namespace halyard {

using json = nlohmann::ordered_json;

json entryToJson(const HalyardWidgetEntry& entry) {
  return {{"date", formatRfc3339(entry.date, true)}, {"snapshot", encodeSnapshot(entry.snapshot)}};
}

json policyToJson(const host::TimelineReloadPolicy& policy) {
  switch (policy.kind()) {
    case host::TimelineReloadPolicy::Kind::atEnd:
      return {{"atEnd", true}};
    case host::TimelineReloadPolicy::Kind::never:
      return {{"never", true}};
    case host::TimelineReloadPolicy::Kind::after:
      break;
  }
  return {{"after", formatRfc3339(*policy.date(), true)}};
}

json timelineToJson(const host::Timeline<HalyardWidgetEntry>& timeline) {
  json entries = json::array();
  for (const auto& entry : timeline.entries)
    entries.push_back(entryToJson(entry));
  return {{"entries", std::move(entries)}, {"policy", policyToJson(timeline.policy)}};
}

}  // namespace halyard
