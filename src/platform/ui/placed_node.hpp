#pragma once
// The result of layout: a tree of placed nodes in widget coordinates (points), kept apart
// from the view nodes. The renderer only walks this tree; tests query it.

#include <optional>
#include <string>
#include <vector>

#include "platform/ui/color.hpp"
#include "platform/ui/geometry.hpp"
#include "platform/ui/text_measurer.hpp"

namespace halyard::ui {

struct Fill {
  StyleName style = StyleName::primary;
  RGBA rgba;  // resolved for the appearance the tree was laid out in
  bool operator==(const Fill&) const = default;
};

struct PlacedText {
  TextSpec spec;                // as set: final point size after any shrink
  std::string displayedText;    // after truncation
  double firstBaseline = 0;     // from the frame's top
  std::optional<double> width;  // the width the text was set in (for wrapping/ellipsis)
  Fill color;
};

struct PlacedSymbol {
  std::string name;  // a named symbol; unknown names draw nothing
  double pointSize = 13;
  Fill color;
};

enum class ShapeKind { capsule, circle, rectangle };

struct PlacedShape {
  ShapeKind shape = ShapeKind::rectangle;
  Fill fill;
  double cornerRadius = 0;  // rectangles only: rounded corners of this radius
};

// One ring sector of a chart. Angles in radians, clockwise from twelve o'clock.
struct PlacedSector {
  double value = 0;
  double startAngle = 0;
  double endAngle = 0;
  Point center;
  double innerRadius = 0;
  double outerRadius = 0;
  Fill fill;
};

// How an accessibility element treats the elements inside it: their labels joined into its
// own (combine), left out (ignore), or kept as its children (contain).
enum class AccessibilityChildBehavior { combine, ignore, contain };

// What the accessibility modifiers said about a node (see accessibility.hpp).
struct PlacedAccessibility {
  std::optional<std::string> label{};
  std::optional<AccessibilityChildBehavior> children{};
  bool hidden = false;
  bool heading = false;
  std::optional<std::string> announcement{};
  bool operator==(const PlacedAccessibility&) const = default;
};

struct PlacedNode {
  std::string kind;    // the vocabulary's name: "VStack", "Text", "Capsule", "SectorMark", ...
  Rect frame;          // widget coordinates, points
  double opacity = 1;  // this node's own opacity; the renderer multiplies it down the tree
  bool clips = false;  // children are clipped to this frame
  std::optional<PlacedText> text;
  std::optional<PlacedSymbol> symbol;
  std::optional<PlacedShape> shape;
  std::optional<PlacedSector> sector;
  std::optional<PlacedAccessibility> accessibility;
  std::vector<PlacedNode> children;
};

}  // namespace halyard::ui
