#pragma once
// What views can read while they are built: the values the host supplies (widget family,
// appearance, display scale, locale) and the inherited text and style settings that
// modifiers such as font() or foregroundStyle() change for a whole subtree.

#include <optional>
#include <string>
#include <type_traits>

#include "platform/ui/color.hpp"
#include "platform/ui/font.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::ui {

// The widget family, carried as the host's own enumeration without the toolkit knowing its
// names: the host stores its value with setFamily() and views read it back with family<E>().
// A value of a family enumeration converts to and from an int without loss.
class FamilyValue {
 public:
  constexpr FamilyValue() = default;

  template <class E>
  requires std::is_enum_v<E>
  static constexpr FamilyValue of(E family) {
    FamilyValue value;
    value.raw_ = static_cast<int>(family);
    return value;
  }

  template <class E>
  requires std::is_enum_v<E>
  constexpr E as() const { return static_cast<E>(raw_); }

  constexpr int raw() const { return raw_; }
  bool operator==(const FamilyValue&) const = default;

 private:
  int raw_ = 0;
};

struct Environment {
  // Supplied by the host.
  FamilyValue family;
  Appearance appearance = Appearance::light;
  double displayScale = 1;   // pixels per point
  std::string locale = "C";  // a POSIX locale name, e.g. "es_ES.UTF-8"
  std::string textDomain;    // gettext domain for localisable texts; empty: the current one

  // Inherited down the view tree; the innermost modifier wins.
  Font font;
  StyleName foregroundStyle = StyleName::primary;
  std::optional<int> lineLimit;
  TruncationMode truncationMode = TruncationMode::tail;
  double minimumScaleFactor = 1;
  double kerning = 0;

  template <class E>
  requires std::is_enum_v<E> E widgetFamily()
  const { return family.as<E>(); }

  template <class E>
  requires std::is_enum_v<E>
  void setWidgetFamily(E value) { family = FamilyValue::of(value); }
};

}  // namespace halyard::ui
