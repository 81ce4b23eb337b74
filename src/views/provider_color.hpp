#pragma once

#include <string_view>

#include "platform/ui/color.hpp"

namespace halyard {

// The one colour of a storage provider, wherever its usage is drawn: "local" blue, "tarnBase"
// green, "tarnBox" yellow, any other key (compared exactly, with case) the secondary colour.
ui::StyleName providerColor(std::string_view providerKey);

}  // namespace halyard
