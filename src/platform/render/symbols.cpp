#include "platform/render/symbols.hpp"

#include "platform/render/paths.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace halyard::render {
namespace {

// Symbols are designed in units of a twentieth of an em, in a box of their own (see kSymbols);
// y grows downwards, angles as Cairo's (clockwise from three o'clock). Each symbol is one path
// filled once: strokes are built as their outlines, and knock-outs are holes under the even-odd
// rule. Plain fills keep SVG and PDF output vector (Cairo has no vector form for CLEAR), and a
// single fill gives overlapping parts one coverage, so a translucent tint stays even.
//
// Every outline below runs clockwise on screen (the way Cairo's angles grow), so that parts of
// one symbol that overlap add up under the winding rule.
constexpr double kPi = std::numbers::pi;

struct Vec {
  double x;
  double y;
};

Vec operator+(Vec a, Vec b) {
  return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
  return {a.x - b.x, a.y - b.y};
}
Vec operator*(Vec a, double k) {
  return {a.x * k, a.y * k};
}
double cross(Vec a, Vec b) {
  return a.x * b.y - a.y * b.x;
}
double angleOf(Vec v) {
  return std::atan2(v.y, v.x);
}

Vec onCircle(Vec c, double r, double angle) {
  return {c.x + r * std::cos(angle), c.y + r * std::sin(angle)};
}

// The unit normal on the left of travel along `d` as seen on screen: outside a clockwise outline.
Vec outwardNormal(Vec d) {
  const double length = std::hypot(d.x, d.y);
  return {d.y / length, -d.x / length};
}

void addCircle(cairo_t* cr, Vec c, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
  cairo_close_path(cr);
}

// One side of a polyline stroke, offset by `w` to the outer side of travel, then the round cap
// at the last point. Joins are round where the side is outside the turn and meet in a point
// where it is inside.
void addStrokeSide(cairo_t* cr, std::span<const Vec> p, double w) {
  Vec normal = outwardNormal(p[1] - p[0]);
  const Vec first = p[0] + normal * w;
  cairo_line_to(cr, first.x, first.y);
  for (std::size_t i = 1; i + 1 < p.size(); ++i) {
    const Vec in = p[i] - p[i - 1];
    const Vec out = p[i + 1] - p[i];
    const Vec next = outwardNormal(out);
    if (cross(in, out) > 0) {
      cairo_arc(cr, p[i].x, p[i].y, w, angleOf(normal), angleOf(next));
    } else {
      // Where the two offset edges cross: along the bisector, w / cos(half the turn) out.
      const Vec corner = p[i] + (normal + next) * (w / (1 + normal.x * next.x + normal.y * next.y));
      cairo_line_to(cr, corner.x, corner.y);
    }
    normal = next;
  }
  const double end = angleOf(normal);
  cairo_arc(cr, p.back().x, p.back().y, w, end, end + kPi);
}

// The outline of a polyline stroked `width` wide with round caps and joins. The points must be
// at least two, distinct in turn, and turn gently enough for the inner side not to fold back
// (on curves: a radius above width / 2).
void addStrokeOutline(cairo_t* cr, std::span<const Vec> points, double width) {
  std::vector<Vec> reversed(points.rbegin(), points.rend());
  cairo_new_sub_path(cr);
  addStrokeSide(cr, points, width / 2);
  addStrokeSide(cr, reversed, width / 2);
  cairo_close_path(cr);
}

void addStrokeOutline(cairo_t* cr, std::initializer_list<Vec> points, double width) {
  addStrokeOutline(cr, std::span<const Vec>(points.begin(), points.size()), width);
}

// The outline of the arc of circle (c, r) from `start` to `end` (clockwise, end > start),
// stroked `width` wide with round caps.
void addArcOutline(cairo_t* cr, Vec c, double r, double start, double end, double width) {
  const double w = width / 2;
  const Vec head = onCircle(c, r, end);
  const Vec tail = onCircle(c, r, start);
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, r + w, start, end);
  cairo_arc(cr, head.x, head.y, w, end, end + kPi);
  cairo_arc_negative(cr, c.x, c.y, r - w, end, start);
  cairo_arc(cr, tail.x, tail.y, w, start + kPi, start + 2 * kPi);
  cairo_close_path(cr);
}

// A convex polygon grown by `r` all round: its corners become arcs of radius r, as a fill
// stroked with a round join would look.
void addRoundedPolygon(cairo_t* cr, std::vector<Vec> points, double r) {
  double area = 0;
  for (std::size_t i = 0; i < points.size(); ++i)
    area += cross(points[i], points[(i + 1) % points.size()]);
  if (area < 0) std::reverse(points.begin(), points.end());
  const std::size_t n = points.size();
  cairo_new_sub_path(cr);
  for (std::size_t i = 0; i < n; ++i) {
    const Vec& prev = points[(i + n - 1) % n];
    const Vec& here = points[i];
    const Vec& next = points[(i + 1) % n];
    cairo_arc(cr, here.x, here.y, r, angleOf(outwardNormal(here - prev)),
              angleOf(outwardNormal(next - here)));
  }
  cairo_close_path(cr);
}

// The ring between radii `inner` and `outer` round c, less the disk (b, rb), which must cross
// both of the ring's edges: the ring becomes a band whose cut ends follow the disk's edge.
void addRingOutsideDisk(cairo_t* cr, Vec c, double outer, double inner, Vec b, double rb) {
  const Vec toDisk = b - c;
  const double d = std::hypot(toDisk.x, toDisk.y);
  const double towards = angleOf(toDisk);
  // Half the angle, seen from c, that the disk takes out of a circle of radius r.
  auto halfCut = [&](double r) {
    return std::acos(std::clamp((r * r + d * d - rb * rb) / (2 * r * d), -1.0, 1.0));
  };
  const double cutOuter = halfCut(outer);
  const double cutInner = halfCut(inner);
  // Along the disk's edge, the short way, between two points on it.
  auto alongDisk = [&](Vec from, Vec to) {
    const double a = angleOf(from - b);
    const double sweep = std::remainder(angleOf(to - b) - a, 2 * kPi);
    if (sweep > 0) {
      cairo_arc(cr, b.x, b.y, rb, a, a + sweep);
    } else {
      cairo_arc_negative(cr, b.x, b.y, rb, a, a + sweep);
    }
  };
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, outer, towards + cutOuter, towards - cutOuter + 2 * kPi);
  alongDisk(onCircle(c, outer, towards - cutOuter), onCircle(c, inner, towards - cutInner));
  cairo_arc_negative(cr, c.x, c.y, inner, towards - cutInner + 2 * kPi, towards + cutInner);
  alongDisk(onCircle(c, inner, towards + cutInner), onCircle(c, outer, towards + cutOuter));
  cairo_close_path(cr);
}

// Points along the arc of circle (c, r) from `start` to `end`, `count` of them, both ends
// included.
void appendArcPoints(std::vector<Vec>& points, Vec c, double r, double start, double end,
                     int count) {
  for (int i = 0; i < count; ++i)
    points.push_back(onCircle(c, r, start + (end - start) * i / (count - 1)));
}

// Points along the cubic Bézier curve p0..p3, `count` of them after p0.
void appendCurvePoints(std::vector<Vec>& points, Vec p0, Vec p1, Vec p2, Vec p3, int count) {
  for (int i = 1; i <= count; ++i) {
    const double t = static_cast<double>(i) / count;
    const double u = 1 - t;
    points.push_back(p0 * (u * u * u) + p1 * (3 * u * u * t) + p2 * (3 * u * t * t) +
                     p3 * (t * t * t));
  }
}

// A triangular arrow head with slightly rounded corners, to match the round-capped strokes.
// Its base centre sits on the circle (c, r) at `angle`, and it points along the circle:
// clockwise when `clockwise`, otherwise counter-clockwise.
void addArcArrowHead(cairo_t* cr, Vec c, double r, double angle, bool clockwise, double length,
                     double width) {
  const Vec base = onCircle(c, r, angle);
  const double dir = clockwise ? 1 : -1;
  // The tip follows the arc a little so that the head looks bent with it.
  const Vec tipOnArc = onCircle(c, r, angle + dir * length / r);
  const Vec tangent{-std::sin(angle) * dir, std::cos(angle) * dir};
  const Vec tip = (tipOnArc + base + tangent * length) * 0.5;
  const Vec normal{std::cos(angle), std::sin(angle)};
  addRoundedPolygon(cr, {base + normal * (width / 2), tip, base - normal * (width / 2)}, 0.3);
}

// Clock hands from the centre: minute hand up, hour hand towards four o'clock.
void addClockHands(cairo_t* cr, Vec c, double minuteLength, double hourLength, double width) {
  addStrokeOutline(cr, {{c.x, c.y - minuteLength}, c, onCircle(c, hourLength, kPi / 6)}, width);
}

// Painters add their symbol's path; drawSymbol fills it with the symbol's fill rule.

void externalDriveFill(cairo_t* cr) {
  addRoundedRect(cr, {1.2, 2.4, 23.6, 13.6}, 3.4);
  // The slot at the front, and the activity light beside it.
  addStrokeOutline(cr, {{5.4, 11.4}, {12.8, 11.4}}, 1.9);
  addCircle(cr, {19.6, 11.4}, 1.45);
}

void checkmarkCircleFill(cairo_t* cr) {
  addCircle(cr, {10, 10}, 9.4);
  addStrokeOutline(cr, {{5.9, 10.4}, {8.7, 13.2}, {14.2, 7.2}}, 2.0);
}

void arrowTriangle2Circlepath(cairo_t* cr) {
  const Vec c{12, 9.6};
  const double r = 7.4;
  const double gap = 0.40;
  // Upper arc from the left to the right, head pointing down; the lower one turned by half a
  // turn.
  for (const double turn : {0.0, kPi}) {
    const double start = kPi + gap + turn;
    const double end = 2 * kPi - gap + turn;
    addArcOutline(cr, c, r, start, end, 1.9);
    addArcArrowHead(cr, c, r, end, true, 3.6, 5.6);
  }
}

void exclamationmarkTriangleFill(cairo_t* cr) {
  // Corners of radius 1.5, as a triangle stroked 3 wide with a round join round its own fill.
  addRoundedPolygon(cr, {{11, 3.2}, {19.6, 17.4}, {2.4, 17.4}}, 1.5);
  addStrokeOutline(cr, {{11, 7.8}, {11, 11.8}}, 2.1);
  addCircle(cr, {11, 14.8}, 1.2);
}

void clockArrowCirclepath(cairo_t* cr) {
  const Vec c{11.6, 10};
  const double r = 7.9;
  // The dial's rim runs clockwise from ten o'clock round to nine; the head at its start
  // points back, counter-clockwise.
  const double start = kPi + 0.62;
  const double end = kPi + 2 * kPi - 0.12;
  addArcOutline(cr, c, r, start, end, 1.7);
  addArcArrowHead(cr, c, r, start, false, 3.4, 5.0);
  addClockHands(cr, c, 4.6, 3.4, 1.7);
}

void clockBadgeQuestionmark(cairo_t* cr) {
  const Vec c{8.8, 11.6};
  const Vec badge{16.9, 5.3};
  // The dial's rim, 1.7 wide, stops short of a clear ring round the badge.
  addRingOutsideDisk(cr, c, 7.3 + 0.85, 7.3 - 0.85, badge, 6.5);
  addClockHands(cr, c, 4.0, 3.0, 1.6);
  addCircle(cr, badge, 5.1);
  // The question mark, cut out of the badge: a hook over a short stem, and the dot.
  const Vec hook{badge.x, badge.y - 1.15};
  const double hookEnd = 2 * kPi + 0.7;
  std::vector<Vec> stroke;
  appendArcPoints(stroke, hook, 1.6, kPi + 0.25, hookEnd, 24);
  const Vec bend = stroke.back();
  appendCurvePoints(stroke, bend, {bend.x - 0.5, bend.y + 0.4}, {badge.x, badge.y + 0.2},
                    {badge.x, badge.y + 1.05}, 12);
  addStrokeOutline(cr, stroke, 1.3);
  addCircle(cr, {badge.x, badge.y + 2.85}, 0.82);
}

using SymbolPainter = void (*)(cairo_t*);

// Each symbol's design box is as wide and tall as the box layout gives it, in twentieths of
// an em, so that the artwork fills the box it is placed in. Symbols with holes fill even-odd;
// those made of overlapping parts fill by winding.
struct Symbol {
  std::string_view name;
  SymbolPainter painter;
  double width;
  double height;
  cairo_fill_rule_t rule;
};

constexpr cairo_fill_rule_t kHoles = CAIRO_FILL_RULE_EVEN_ODD;
constexpr cairo_fill_rule_t kUnion = CAIRO_FILL_RULE_WINDING;

constexpr std::array<Symbol, 6> kSymbols{{
    {"externaldrive.fill", externalDriveFill, 26, 18, kHoles},
    {"checkmark.circle.fill", checkmarkCircleFill, 20, 20, kHoles},
    {"arrow.triangle.2.circlepath", arrowTriangle2Circlepath, 24, 19.2, kUnion},
    {"exclamationmark.triangle.fill", exclamationmarkTriangleFill, 22, 20, kHoles},
    {"clock.arrow.circlepath", clockArrowCirclepath, 22.4, 20, kUnion},
    {"clock.badge.questionmark", clockBadgeQuestionmark, 22.4, 20, kHoles},
}};

constexpr std::array<std::string_view, kSymbols.size()> kNames = [] {
  std::array<std::string_view, kSymbols.size()> names{};
  for (std::size_t i = 0; i < kSymbols.size(); ++i)
    names[i] = kSymbols[i].name;
  return names;
}();

const Symbol* symbolFor(std::string_view name) {
  for (const Symbol& symbol : kSymbols) {
    if (symbol.name == name) return &symbol;
  }
  return nullptr;
}

double unit(double v) {
  return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0;
}

}  // namespace

bool hasSymbol(std::string_view name) {
  return symbolFor(name) != nullptr;
}

std::span<const std::string_view> symbolNames() {
  return kNames;
}

void drawSymbol(cairo_t* cr, std::string_view name, const ui::Rect& rect, const ui::RGBA& color) {
  const Symbol* symbol = symbolFor(name);
  if (symbol == nullptr || cr == nullptr) return;
  if (!std::isfinite(rect.x) || !std::isfinite(rect.y) || !std::isfinite(rect.width) ||
      !std::isfinite(rect.height) || rect.width <= 0 || rect.height <= 0) {
    return;
  }
  // As large as fits, keeping the artwork's proportions, centred.
  const double scale = std::min(rect.width / symbol->width, rect.height / symbol->height);
  cairo_save(cr);
  cairo_translate(cr, rect.x + (rect.width - symbol->width * scale) / 2,
                  rect.y + (rect.height - symbol->height * scale) / 2);
  cairo_scale(cr, scale, scale);
  cairo_new_path(cr);
  symbol->painter(cr);
  cairo_set_fill_rule(cr, symbol->rule);
  cairo_set_source_rgba(cr, unit(color.r), unit(color.g), unit(color.b), unit(color.a));
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace halyard::render
