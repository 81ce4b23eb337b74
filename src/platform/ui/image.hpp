#pragma once
// Image(systemName:): a named symbol at the size of the current font, tinted with the
// foreground style. Its size is fixed by the font (see symbols.hpp), whatever is proposed.

#include <string>

#include "platform/ui/view.hpp"

namespace halyard::ui {

View Image(std::string systemName);

}  // namespace halyard::ui
