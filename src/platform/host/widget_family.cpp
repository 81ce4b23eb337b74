#include "platform/host/widget_family.hpp"

#include <array>

namespace halyard::host {

namespace {

struct FamilyInfo {
  WidgetFamily family;
  std::string_view name;
  std::string_view shortName;
  DisplaySize size;
};

constexpr std::array<FamilyInfo, 7> kFamilies{{
    {WidgetFamily::systemSmall, "systemSmall", "small", {170, 170}},
    {WidgetFamily::systemMedium, "systemMedium", "medium", {364, 170}},
    {WidgetFamily::systemLarge, "systemLarge", "large", {364, 382}},
    {WidgetFamily::systemExtraLarge, "systemExtraLarge", "extraLarge", {750, 382}},
    {WidgetFamily::accessoryCircular, "accessoryCircular", "accessoryCircular", {76, 76}},
    {WidgetFamily::accessoryRectangular, "accessoryRectangular", "accessoryRectangular", {172, 76}},
    {WidgetFamily::accessoryInline, "accessoryInline", "accessoryInline", {257, 26}},
}};

const FamilyInfo& info(WidgetFamily family) {
  for (const auto& entry : kFamilies) {
    if (entry.family == family) return entry;
  }
  return kFamilies[1];
}

}  // namespace

std::string_view familyName(WidgetFamily family) {
  return info(family).name;
}
std::string_view familyShortName(WidgetFamily family) {
  return info(family).shortName;
}
DisplaySize familySize(WidgetFamily family) {
  return info(family).size;
}

std::optional<WidgetFamily> familyFromName(std::string_view name) {
  for (const auto& entry : kFamilies) {
    if (entry.name == name || entry.shortName == name) return entry.family;
  }
  return std::nullopt;
}

}  // namespace halyard::host
