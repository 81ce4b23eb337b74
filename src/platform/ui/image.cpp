// Named symbol images.
#include "platform/ui/image.hpp"

#include <memory>
#include <utility>

#include "platform/ui/detail/node.hpp"
#include "platform/ui/symbols.hpp"

namespace halyard::ui {
namespace detail {
namespace {

class ImageNode final : public Node {
 public:
  explicit ImageNode(std::string name) : name_(std::move(name)) {}

  Size sizeThatFits(const ProposedSize&, const LayoutContext& context) const override {
    return metrics(context).size;
  }

  PlacedNode place(const Rect& frame, const ProposedSize&,
                   const LayoutContext& context) const override {
    PlacedNode node = placedNode("Image", frame);
    node.symbol =
        PlacedSymbol{name_, context.env.font.size(), fillFor(context.env.foregroundStyle, context)};
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize&,
                                      const LayoutContext& context) const override {
    return metrics(context).baseline;
  }

 private:
  SymbolMetrics metrics(const LayoutContext& context) const {
    return symbolMetrics(name_, context.env.font.size());
  }

  std::string name_;
};

}  // namespace
}  // namespace detail

View Image(std::string systemName) {
  return View(std::make_shared<const detail::ImageNode>(std::move(systemName)));
}

}  // namespace halyard::ui
