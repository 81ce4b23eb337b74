#pragma once
// Points, sizes, rectangles and size proposals, in points.

#include <limits>
#include <optional>

namespace halyard::ui {

inline constexpr double infinity = std::numeric_limits<double>::infinity();

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  bool operator==(const Rect&) const = default;
};

// What a parent offers a child. Each dimension is unspecified (nullopt: "your ideal size"),
// zero, a finite length or unbounded (infinity).
struct ProposedSize {
  std::optional<double> width;
  std::optional<double> height;

  static ProposedSize unspecified() { return {}; }
  static ProposedSize zero() { return {0.0, 0.0}; }
  static ProposedSize unbounded() { return {infinity, infinity}; }
  bool operator==(const ProposedSize&) const = default;
};

}  // namespace halyard::ui
