#pragma once
// Alignments, axes and edges: how a container places a child inside the room it has.

#include <cstdint>

namespace halyard::ui {

enum class Axis { horizontal, vertical };

enum class HorizontalAlignment { leading, center, trailing };

// firstTextBaseline lines children up on their first text baseline; a child without text
// takes its bottom edge as its baseline.
enum class VerticalAlignment { top, center, bottom, firstTextBaseline };

// Both directions at once, for ZStack and frames.
struct Alignment {
  HorizontalAlignment horizontal = HorizontalAlignment::center;
  VerticalAlignment vertical = VerticalAlignment::center;
  bool operator==(const Alignment&) const = default;

  static const Alignment center;
  static const Alignment leading;
  static const Alignment trailing;
  static const Alignment top;
  static const Alignment bottom;
  static const Alignment topLeading;
  static const Alignment topTrailing;
  static const Alignment bottomLeading;
  static const Alignment bottomTrailing;
};

inline constexpr Alignment Alignment::center{};
inline constexpr Alignment Alignment::leading{HorizontalAlignment::leading,
                                              VerticalAlignment::center};
inline constexpr Alignment Alignment::trailing{HorizontalAlignment::trailing,
                                               VerticalAlignment::center};
inline constexpr Alignment Alignment::top{HorizontalAlignment::center, VerticalAlignment::top};
inline constexpr Alignment Alignment::bottom{HorizontalAlignment::center,
                                             VerticalAlignment::bottom};
inline constexpr Alignment Alignment::topLeading{HorizontalAlignment::leading,
                                                 VerticalAlignment::top};
inline constexpr Alignment Alignment::topTrailing{HorizontalAlignment::trailing,
                                                  VerticalAlignment::top};
inline constexpr Alignment Alignment::bottomLeading{HorizontalAlignment::leading,
                                                    VerticalAlignment::bottom};
inline constexpr Alignment Alignment::bottomTrailing{HorizontalAlignment::trailing,
                                                     VerticalAlignment::bottom};

// A set of edges, combinable with `|`: padding(Edge::vertical, 4).
enum class Edge : std::uint8_t {
  none = 0,
  top = 1,
  leading = 2,
  bottom = 4,
  trailing = 8,
  horizontal = leading | trailing,
  vertical = top | bottom,
  all = top | leading | bottom | trailing,
};

constexpr Edge operator|(Edge a, Edge b) {
  return static_cast<Edge>(static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b));
}

// Whether `set` holds every edge of `edges`.
constexpr bool contains(Edge set, Edge edges) {
  return (static_cast<std::uint8_t>(set) & static_cast<std::uint8_t>(edges)) ==
         static_cast<std::uint8_t>(edges);
}

struct EdgeInsets {
  double top = 0;
  double leading = 0;
  double bottom = 0;
  double trailing = 0;
  bool operator==(const EdgeInsets&) const = default;
};

}  // namespace halyard::ui
