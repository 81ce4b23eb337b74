// The layout driver and the pixel-grid pass.
#include "platform/ui/layout.hpp"

#include <cmath>
#include <map>
#include <tuple>

#include "platform/ui/detail/node.hpp"

namespace halyard::ui {
namespace {

// Stacks ask their children several times for the same proposal; this keeps one answer per
// distinct piece of text and width for the duration of one layout.
class CachingMeasurer final : public TextMeasurer {
 public:
  explicit CachingMeasurer(const TextMeasurer& inner) : inner_(inner) {}

  TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth) const override {
    Key key{spec.text,
            spec.font.style,
            spec.font.isBold,
            spec.font.hasMonospacedDigits,
            spec.pointSize,
            spec.kerning,
            spec.lineLimit.value_or(0),
            spec.truncation,
            maxWidth.value_or(-1)};
    auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
    return cache_.emplace(std::move(key), inner_.measure(spec, maxWidth)).first->second;
  }

 private:
  using Key =
      std::tuple<std::string, TextStyle, bool, bool, double, double, int, TruncationMode, double>;
  const TextMeasurer& inner_;
  mutable std::map<Key, TextMeasurement> cache_;
};

std::optional<double> rootLength(double length) {
  if (std::isnan(length) || length < 0) return 0.0;
  if (std::isinf(length)) return std::nullopt;
  return length;
}

double snap(double value, double scale) {
  return std::round(value * scale) / scale + 0.0;
}

}  // namespace

PlacedNode layout(const View& view, Size proposal, const Environment& environment,
                  const TextMeasurer& measurer) {
  CachingMeasurer cache(measurer);
  detail::LayoutCache answers;
  detail::LayoutContext context;
  context.id = 1;
  context.cache = &answers;
  context.env = environment;
  if (!(environment.displayScale > 0) || !std::isfinite(environment.displayScale)) {
    context.env.displayScale = 1;
  }
  context.measurer = &cache;

  const ProposedSize offer{rootLength(proposal.width), rootLength(proposal.height)};
  const Size taken = detail::sizeOf(view, offer, context);
  const Size container{offer.width.value_or(taken.width), offer.height.value_or(taken.height)};
  context.container = {0, 0, container.width, container.height};
  const Rect frame{(container.width - taken.width) / 2, (container.height - taken.height) / 2,
                   taken.width, taken.height};
  return view.node().place(frame, offer, context);
}

void roundToPixelGrid(PlacedNode& node, double scale) {
  if (!std::isfinite(scale) || scale <= 0) return;
  const Rect old = node.frame;
  const double left = snap(old.x, scale);
  const double top = snap(old.y, scale);
  node.frame = {left, top, snap(old.maxX(), scale) - left, snap(old.maxY(), scale) - top};
  if (node.text) node.text->firstBaseline += old.y - top;
  for (PlacedNode& child : node.children)
    roundToPixelGrid(child, scale);
}

}  // namespace halyard::ui
