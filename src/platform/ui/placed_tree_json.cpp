// Placed tree to JSON.
#include "platform/ui/placed_tree_json.hpp"

#include <cmath>
#include <numbers>

namespace halyard::ui {
namespace {

using nlohmann::ordered_json;

// JSON has no NaN or infinity; the tree should hold none, but a dump must stay valid.
double number(double value) {
  return std::isfinite(value) ? value + 0.0 : 0.0;
}

double degrees(double radians) {
  return number(radians * 180 / std::numbers::pi);
}

ordered_json fillJson(const Fill& fill) {
  return {{"name", std::string(styleName(fill.style))},
          {"rgba",
           {number(fill.rgba.r), number(fill.rgba.g), number(fill.rgba.b), number(fill.rgba.a)}}};
}

const char* truncationName(TruncationMode mode) {
  switch (mode) {
    case TruncationMode::tail:
      return "tail";
    case TruncationMode::middle:
      return "middle";
    case TruncationMode::head:
      return "head";
  }
  return "tail";
}

const char* shapeName(ShapeKind shape) {
  switch (shape) {
    case ShapeKind::capsule:
      return "capsule";
    case ShapeKind::circle:
      return "circle";
    case ShapeKind::rectangle:
      return "rectangle";
  }
  return "rectangle";
}

}  // namespace

ordered_json toJson(const PlacedNode& node) {
  ordered_json json;
  json["kind"] = node.kind;
  json["frame"] = {{"x", number(node.frame.x)},
                   {"y", number(node.frame.y)},
                   {"width", number(node.frame.width)},
                   {"height", number(node.frame.height)}};
  if (node.opacity != 1) json["opacity"] = number(node.opacity);
  if (node.clips) json["clips"] = true;
  if (node.text) {
    const PlacedText& text = *node.text;
    json["text"] = text.spec.text;
    json["displayedText"] = text.displayedText;
    json["pointSize"] = number(text.spec.pointSize);
    json["bold"] = text.spec.font.isBold;
    json["monospacedDigit"] = text.spec.font.hasMonospacedDigits;
    if (text.spec.kerning != 0) json["kerning"] = number(text.spec.kerning);
    if (text.spec.lineLimit) json["lineLimit"] = *text.spec.lineLimit;
    json["truncationMode"] = truncationName(text.spec.truncation);
    json["firstBaseline"] = number(text.firstBaseline);
    json["color"] = fillJson(text.color);
  }
  if (node.symbol) {
    json["symbol"] = node.symbol->name;
    json["pointSize"] = number(node.symbol->pointSize);
    json["color"] = fillJson(node.symbol->color);
  }
  if (node.shape) {
    json["shape"] = shapeName(node.shape->shape);
    json["fill"] = fillJson(node.shape->fill);
    if (node.shape->cornerRadius > 0) json["cornerRadius"] = number(node.shape->cornerRadius);
  }
  if (node.sector) {
    const PlacedSector& sector = *node.sector;
    json["value"] = number(sector.value);
    json["startAngle"] = degrees(sector.startAngle);
    json["endAngle"] = degrees(sector.endAngle);
    json["center"] = {{"x", number(sector.center.x)}, {"y", number(sector.center.y)}};
    json["innerRadius"] = number(sector.innerRadius);
    json["outerRadius"] = number(sector.outerRadius);
    json["fill"] = fillJson(sector.fill);
  }
  ordered_json children = ordered_json::array();
  for (const PlacedNode& child : node.children)
    children.push_back(toJson(child));
  json["children"] = std::move(children);
  return json;
}

}  // namespace halyard::ui
