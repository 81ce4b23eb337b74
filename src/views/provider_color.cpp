#include "views/provider_color.hpp"

namespace halyard {

ui::StyleName providerColor(std::string_view providerKey) {
  if (providerKey == "local") return ui::StyleName::blue;
  if (providerKey == "tarnBase") return ui::StyleName::green;
  if (providerKey == "tarnBox") return ui::StyleName::yellow;
  return ui::StyleName::secondary;
}

}  // namespace halyard
