#include "platform/render/symbols.hpp"

#include "platform/render/paths.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace halyard::render {
namespace {

// Symbols are designed in units of a twentieth of an em, in a box of their own (see kSymbols);
// y grows downwards, angles as Cairo's (clockwise from three o'clock). Everything is drawn
// into an alpha mask: ink with OVER, knock-outs with CLEAR.
constexpr double kPi = std::numbers::pi;

struct Vec {
  double x;
  double y;
};

Vec onCircle(Vec c, double r, double angle) {
  return {c.x + r * std::cos(angle), c.y + r * std::sin(angle)};
}

void ink(cairo_t* cr) {
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}
void knockOut(cairo_t* cr) {
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
}

void circle(cairo_t* cr, Vec c, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, r, 0, 2 * kPi);
  cairo_close_path(cr);
}

void strokeRound(cairo_t* cr, double width) {
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke(cr);
}

// A filled triangular arrow head whose base centre sits on the circle (c, r) at `angle`,
// pointing along the circle: clockwise when `clockwise`, otherwise counter-clockwise.
void arcArrowHead(cairo_t* cr, Vec c, double r, double angle, bool clockwise, double length,
                  double width) {
  const Vec base = onCircle(c, r, angle);
  const double dir = clockwise ? 1 : -1;
  // The tip follows the arc a little so that the head looks bent with it.
  const double tipAngle = angle + dir * length / r;
  const Vec tipOnArc = onCircle(c, r, tipAngle);
  const Vec tangent{-std::sin(angle) * dir, std::cos(angle) * dir};
  const Vec tip{(tipOnArc.x + base.x + tangent.x * length) / 2,
                (tipOnArc.y + base.y + tangent.y * length) / 2};
  const Vec normal{std::cos(angle), std::sin(angle)};
  cairo_move_to(cr, base.x + normal.x * width / 2, base.y + normal.y * width / 2);
  cairo_line_to(cr, tip.x, tip.y);
  cairo_line_to(cr, base.x - normal.x * width / 2, base.y - normal.y * width / 2);
  cairo_close_path(cr);
  // Round the three corners slightly so the head matches the round-capped strokes.
  cairo_set_line_width(cr, 0.6);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_fill_preserve(cr);
  cairo_stroke(cr);
}

// Clock hands from the centre: minute hand up, hour hand towards four o'clock.
void clockHands(cairo_t* cr, Vec c, double minuteLength, double hourLength, double width) {
  cairo_move_to(cr, c.x, c.y - minuteLength);
  cairo_line_to(cr, c.x, c.y);
  const Vec hour = onCircle(c, hourLength, kPi / 6);
  cairo_line_to(cr, hour.x, hour.y);
  strokeRound(cr, width);
}

void externalDriveFill(cairo_t* cr) {
  ink(cr);
  addRoundedRect(cr, {1.2, 2.4, 23.6, 13.6}, 3.4);
  cairo_fill(cr);
  knockOut(cr);
  // The slot at the front, and the activity light beside it.
  cairo_move_to(cr, 5.4, 11.4);
  cairo_line_to(cr, 12.8, 11.4);
  strokeRound(cr, 1.9);
  circle(cr, {19.6, 11.4}, 1.45);
  cairo_fill(cr);
}

void checkmarkCircleFill(cairo_t* cr) {
  ink(cr);
  circle(cr, {10, 10}, 9.4);
  cairo_fill(cr);
  knockOut(cr);
  cairo_move_to(cr, 5.9, 10.4);
  cairo_line_to(cr, 8.7, 13.2);
  cairo_line_to(cr, 14.2, 7.2);
  strokeRound(cr, 2.0);
}

void arrowTriangle2Circlepath(cairo_t* cr) {
  ink(cr);
  const Vec c{12, 9.6};
  const double r = 7.4;
  const double gap = 0.40;
  // Upper arc from the left to the right, head pointing down; the lower one turned by half a
  // turn.
  for (const double turn : {0.0, kPi}) {
    const double start = kPi + gap + turn;
    const double end = 2 * kPi - gap + turn;
    cairo_new_sub_path(cr);
    cairo_arc(cr, c.x, c.y, r, start, end);
    cairo_set_line_width(cr, 1.9);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    arcArrowHead(cr, c, r, end, true, 3.6, 5.6);
  }
}

void exclamationmarkTriangleFill(cairo_t* cr) {
  ink(cr);
  // A triangle stroked with a round join around its own fill: corners of radius 1.5.
  cairo_move_to(cr, 11, 3.2);
  cairo_line_to(cr, 19.6, 17.4);
  cairo_line_to(cr, 2.4, 17.4);
  cairo_close_path(cr);
  cairo_set_line_width(cr, 3.0);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_fill_preserve(cr);
  cairo_stroke(cr);
  knockOut(cr);
  cairo_move_to(cr, 11, 7.8);
  cairo_line_to(cr, 11, 11.8);
  strokeRound(cr, 2.1);
  circle(cr, {11, 14.8}, 1.2);
  cairo_fill(cr);
}

void clockArrowCirclepath(cairo_t* cr) {
  ink(cr);
  const Vec c{11.6, 10};
  const double r = 7.9;
  // The dial's rim runs clockwise from ten o'clock round to nine; the head at its start
  // points back, counter-clockwise.
  const double start = kPi + 0.62;
  const double end = kPi + 2 * kPi - 0.12;
  cairo_new_sub_path(cr);
  cairo_arc(cr, c.x, c.y, r, start, end);
  cairo_set_line_width(cr, 1.7);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  arcArrowHead(cr, c, r, start, false, 3.4, 5.0);
  clockHands(cr, c, 4.6, 3.4, 1.7);
}

void clockBadgeQuestionmark(cairo_t* cr) {
  ink(cr);
  const Vec c{8.8, 11.6};
  circle(cr, c, 7.3);
  cairo_set_line_width(cr, 1.7);
  cairo_stroke(cr);
  clockHands(cr, c, 4.0, 3.0, 1.6);
  // The badge sits in a clear ring cut out of the dial.
  const Vec badge{16.9, 5.3};
  knockOut(cr);
  circle(cr, badge, 6.5);
  cairo_fill(cr);
  ink(cr);
  circle(cr, badge, 5.1);
  cairo_fill(cr);
  knockOut(cr);
  // The question mark: a hook over a short stem, and the dot.
  const Vec hook{badge.x, badge.y - 1.15};
  cairo_new_sub_path(cr);
  cairo_arc(cr, hook.x, hook.y, 1.6, kPi + 0.25, 2 * kPi + 0.7);
  const Vec hookEnd = onCircle(hook, 1.6, 2 * kPi + 0.7);
  cairo_curve_to(cr, hookEnd.x - 0.5, hookEnd.y + 0.4, badge.x, badge.y + 0.2, badge.x,
                 badge.y + 1.05);
  strokeRound(cr, 1.3);
  circle(cr, {badge.x, badge.y + 2.85}, 0.82);
  cairo_fill(cr);
}

using SymbolPainter = void (*)(cairo_t*);

// Each symbol's design box is as wide and tall as the box layout gives it, in twentieths of
// an em, so that the artwork fills the box it is placed in.
struct Symbol {
  std::string_view name;
  SymbolPainter painter;
  double width;
  double height;
};

constexpr std::array<Symbol, 6> kSymbols{{
    {"externaldrive.fill", externalDriveFill, 26, 18},
    {"checkmark.circle.fill", checkmarkCircleFill, 20, 20},
    {"arrow.triangle.2.circlepath", arrowTriangle2Circlepath, 24, 19.2},
    {"exclamationmark.triangle.fill", exclamationmarkTriangleFill, 22, 20},
    {"clock.arrow.circlepath", clockArrowCirclepath, 22.4, 20},
    {"clock.badge.questionmark", clockBadgeQuestionmark, 22.4, 20},
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
  cairo_push_group_with_content(cr, CAIRO_CONTENT_ALPHA);
  cairo_set_source_rgba(cr, 0, 0, 0, 1);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  symbol->painter(cr);
  cairo_pattern_t* mask = cairo_pop_group(cr);
  cairo_set_source_rgba(cr, unit(color.r), unit(color.g), unit(color.b), unit(color.a));
  cairo_mask(cr, mask);
  cairo_pattern_destroy(mask);
  cairo_restore(cr);
}

}  // namespace halyard::render
