// Placed tree to JSON.
#include "platform/ui/placed_tree_json.hpp"

#include <cmath>
#include <numbers>

namespace halyard::ui {

using nlohmann::ordered_json;

namespace {

// JSON has no NaN or infinity; the tree should hold none, but a dump must stay valid.
double number(double value) {
  return std::isfinite(value) ? value + 0.0 : 0.0;
}

double degrees(double radians) {
  return number(radians * 180 / std::numbers::pi);
}

ordered_json frameJson(const Rect& frame) {
  return {{"x", number(frame.x)},
          {"y", number(frame.y)},
          {"width", number(frame.width)},
          {"height", number(frame.height)}};
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

const char* childBehaviorName(AccessibilityChildBehavior behavior) {
  switch (behavior) {
    case AccessibilityChildBehavior::combine:
      return "combine";
    case AccessibilityChildBehavior::ignore:
      return "ignore";
    case AccessibilityChildBehavior::contain:
      return "contain";
  }
  return "combine";
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
  json["frame"] = frameJson(node.frame);
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
  if (node.accessibility) {
    const PlacedAccessibility& traits = *node.accessibility;
    ordered_json accessibility = ordered_json::object();
    if (traits.label) accessibility["label"] = *traits.label;
    if (traits.children) accessibility["children"] = childBehaviorName(*traits.children);
    if (traits.hidden) accessibility["hidden"] = true;
    if (traits.heading) accessibility["heading"] = true;
    if (traits.announcement) accessibility["announcement"] = *traits.announcement;
    json["accessibility"] = std::move(accessibility);
  }
  ordered_json children = ordered_json::array();
  for (const PlacedNode& child : node.children)
    children.push_back(toJson(child));
  json["children"] = std::move(children);
  return json;
}

ordered_json toJson(const std::vector<AccessibilityElement>& elements) {
  ordered_json list = ordered_json::array();
  for (const AccessibilityElement& element : elements) {
    ordered_json json;
    json["role"] = roleName(element.role);
    json["label"] = element.label;
    json["frame"] = frameJson(element.frame);
    if (!element.announcement.empty()) json["announcement"] = element.announcement;
    if (element.role == AccessibilityRole::group) json["children"] = toJson(element.children);
    list.push_back(std::move(json));
  }
  return list;
}

ordered_json layoutJson(const PlacedNode& root) {
  ordered_json json = toJson(root);
  json["accessibilityTree"] = toJson(accessibilityTree(root));
  return json;
}

}  // namespace halyard::ui
