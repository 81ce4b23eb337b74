// The layout driver and the pixel-grid pass.
#include "platform/ui/layout.hpp"

#include <cmath>
#include <unordered_map>

#include "platform/ui/detail/node.hpp"

namespace halyard::ui {
namespace {

// Text views are measured again for their baseline and when placed; this keeps one answer
// per distinct request for the duration of one layout.
class CachingMeasurer final : public TextMeasurer {
 public:
  explicit CachingMeasurer(const TextMeasurer& inner) : inner_(inner) {}

  TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth) const override {
    MeasureRequest request{spec, maxWidth};
    auto found = cache_.find(request);
    if (found != cache_.end()) return found->second;
    TextMeasurement answer = inner_.measure(spec, maxWidth);
    cache_.emplace(std::move(request), answer);
    return answer;
  }

 private:
  const TextMeasurer& inner_;
  mutable std::unordered_map<MeasureRequest, TextMeasurement, MeasureRequestHash> cache_;
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
