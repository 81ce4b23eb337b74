#pragma once
// Text: verbatim, or a localisable key looked up with gettext.
//
// Text is measured through the layout's TextMeasurer at absolute point sizes (the font's size
// times any shrink). Offered a width, it is set within it: without a line limit it wraps;
// with lineLimit(1) it keeps one line. Text that does not fit first shrinks, down to its
// minimumScaleFactor, to the largest size at which it fits; if it still does not fit it is
// cut with an ellipsis where its truncationMode says. Its frame is the box its glyphs are
// set in; the proposed height is not consulted.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/view.hpp"

namespace halyard::ui {

// Shown exactly as given.
View Text(std::string verbatim);

// A localisable text. `key` is looked up in the environment's text domain (dgettext) and is
// its own translation when no catalog has it; the result is a format whose placeholders take
// `arguments` (see formatLocalized). For example the key "Próx. %@ · %@" with two names.
View LocalizedText(std::string key, std::vector<std::string> arguments = {});

// Replaces the placeholders of `format` by `arguments`:
//   %@ %s %d %ld %lld   the next argument, in order;
//   %1$@ %2$lld ...     the argument at that position, counted from 1;
//   %%                  a percent sign.
// A placeholder without a matching argument, and any other '%' sequence, stays as written.
std::string formatLocalized(std::string_view format, std::span<const std::string> arguments);

// The translation of `key` in `domain` (empty: the process's current domain), or `key` itself.
std::string localizedString(const std::string& domain, const std::string& key);

}  // namespace halyard::ui
