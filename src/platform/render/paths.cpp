#include "platform/render/paths.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace halyard::render {
namespace {
constexpr double kPi = std::numbers::pi;
}  // namespace

void addRoundedRect(cairo_t* cr, const ui::Rect& rect, double r) {
  const double x = rect.x;
  const double y = rect.y;
  const double w = rect.width;
  const double h = rect.height;
  r = std::clamp(r, 0.0, std::min(w, h) / 2);
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void addCapsule(cairo_t* cr, const ui::Rect& rect) {
  addRoundedRect(cr, rect, std::min(rect.width, rect.height) / 2);
}

void addCircle(cairo_t* cr, const ui::Rect& rect) {
  const double r = std::min(rect.width, rect.height) / 2;
  cairo_new_sub_path(cr);
  cairo_arc(cr, rect.x + rect.width / 2, rect.y + rect.height / 2, r, 0, 2 * kPi);
  cairo_close_path(cr);
}

bool isDrawableSector(const ui::PlacedSector& s) {
  for (const double v :
       {s.startAngle, s.endAngle, s.center.x, s.center.y, s.innerRadius, s.outerRadius}) {
    if (!std::isfinite(v)) return false;
  }
  return s.endAngle > s.startAngle && s.innerRadius >= 0 && s.outerRadius > s.innerRadius;
}

void addSector(cairo_t* cr, const ui::PlacedSector& s) {
  if (!isDrawableSector(s)) return;
  const double cx = s.center.x;
  const double cy = s.center.y;
  if (s.endAngle - s.startAngle >= 2 * kPi) {
    // A whole ring: two opposite circles, so the hole stays open under the winding rule.
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, s.outerRadius, 0, 2 * kPi);
    cairo_close_path(cr);
    if (s.innerRadius > 0) {
      cairo_new_sub_path(cr);
      cairo_arc_negative(cr, cx, cy, s.innerRadius, 2 * kPi, 0);
      cairo_close_path(cr);
    }
    return;
  }
  // Clockwise from twelve o'clock in the tree; Cairo counts clockwise from three o'clock.
  const double start = s.startAngle - kPi / 2;
  const double end = s.endAngle - kPi / 2;
  cairo_new_sub_path(cr);
  cairo_arc(cr, cx, cy, s.outerRadius, start, end);
  if (s.innerRadius > 0) {
    cairo_arc_negative(cr, cx, cy, s.innerRadius, end, start);
  } else {
    cairo_line_to(cr, cx, cy);
  }
  cairo_close_path(cr);
}

}  // namespace halyard::render
