// VStack, HStack, ZStack and the row-clipping VStack.
#include "platform/ui/stack.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

#include "platform/ui/detail/node.hpp"

namespace halyard::ui {
namespace detail {
namespace {

// Rows whose lengths add up to at most the room still fit, give or take rounding noise.
constexpr double kFitTolerance = 1e-9;

double cleanSpacing(std::optional<double> spacing) {
  if (!spacing || std::isnan(*spacing)) return defaultSpacing;
  if (std::isinf(*spacing)) return 0;
  return std::max(0.0, *spacing);
}

Size cleanSize(Size size) {
  return {std::isnan(size.width) ? 0 : std::max(0.0, size.width),
          std::isnan(size.height) ? 0 : std::max(0.0, size.height)};
}

// What is left of `room` after `used` is taken; unbounded room stays unbounded.
double reduce(double room, double used) {
  if (std::isinf(room)) return room;
  if (std::isinf(used)) return 0;
  return std::max(0.0, room - used);
}

class StackNode final : public Node {
 public:
  StackNode(Axis axis, HorizontalAlignment horizontal, VerticalAlignment vertical,
            std::optional<double> spacing, ChildList children, bool clipsRows,
            std::size_t minimumRows = 0)
      : axis_(axis),
        horizontal_(horizontal),
        vertical_(vertical),
        clipsRows_(clipsRows),
        minimumRows_(minimumRows),
        spacing_(cleanSpacing(spacing)),
        list_(std::move(children)),
        children_(list_.views()) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    const LayoutContext childContext = inner(context);
    std::unique_ptr<BuiltRows> own;
    return plan(proposal, childContext, rows(childContext, own)).size;
  }

  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    const LayoutContext childContext = inner(context);
    std::unique_ptr<BuiltRows> own;
    const Rows children = rows(childContext, own);
    const Plan layout = plan(proposal, childContext, children);
    PlacedNode node = placedNode(axis_ == Axis::vertical ? "VStack" : "HStack", frame);
    node.children.reserve(layout.shown);
    for (std::size_t i = 0; i < layout.shown; ++i) {
      const Size size = layout.sizes[i];
      const Rect childFrame =
          axis_ == Axis::vertical
              ? Rect{frame.x + layout.cross[i], frame.y + layout.along[i], size.width, size.height}
              : Rect{frame.x + layout.along[i], frame.y + layout.cross[i], size.width, size.height};
      node.children.push_back(
          children.at(i)->node().place(childFrame, layout.proposals[i], childContext));
    }
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    const LayoutContext childContext = inner(context);
    std::unique_ptr<BuiltRows> own;
    const Rows children = rows(childContext, own);
    const Plan layout = plan(proposal, childContext, children);
    for (std::size_t i = 0; i < layout.shown; ++i) {
      const auto baseline = layout.baselines.empty()
                                ? baselineOf(*children.at(i), layout.proposals[i], childContext)
                                : layout.baselines[i];
      if (!baseline) continue;
      return *baseline + (axis_ == Axis::vertical ? layout.along[i] : layout.cross[i]);
    }
    return std::nullopt;
  }

  bool yieldsLength(Axis axis) const override { return clipsRows_ && axis == axis_; }

 private:
  struct Plan {
    std::vector<ProposedSize> proposals;
    std::vector<Size> sizes;
    std::vector<double> along;                     // offset of each child along the axis
    std::vector<double> cross;                     // offset of each child across the axis
    std::vector<std::optional<double>> baselines;  // only for first-baseline alignment
    std::size_t shown = 0;                         // children placed: the rest were clipped
    Size size;
  };

  // The children as one layout sees them: the list itself, or, when it keeps lazy groups (a
  // row-clipping stack over ForEach), the rows made from it so far, made further on demand.
  class Rows {
   public:
    explicit Rows(const std::vector<View>& list) : list_(&list) {}
    explicit Rows(BuiltRows& built) : built_(&built) {}

    // Child `index`; nullptr past the last one.
    const View* at(std::size_t index) const {
      if (built_) return built_->at(index);
      return index < list_->size() ? &(*list_)[index] : nullptr;
    }
    // How many children there are: every row is made.
    std::size_t count() const {
      if (!built_) return list_->size();
      std::size_t n = 0;
      while (built_->at(n))
        ++n;
      return n;
    }

   private:
    const std::vector<View>* list_ = nullptr;
    BuiltRows* built_ = nullptr;
  };

  // The rows of this stack for the layout of `context`: made rows are kept in the layout's
  // cache, or in `own` when there is none.
  Rows rows(const LayoutContext& context, std::unique_ptr<BuiltRows>& own) const {
    if (!list_.holdsLazyGroups()) return Rows(children_);
    if (!context.cache) {
      own = std::make_unique<BuiltRows>(children_);
      return Rows(*own);
    }
    auto& built = context.cache->rows[this];
    if (!built) built = std::make_unique<BuiltRows>(children_);
    return Rows(*built);
  }

  LayoutContext inner(const LayoutContext& context) const {
    LayoutContext result = derive(context, this);
    result.stackAxis = axis_;
    return result;
  }

  double alongOf(Size size) const { return axis_ == Axis::vertical ? size.height : size.width; }
  double crossOf(Size size) const { return axis_ == Axis::vertical ? size.width : size.height; }

  Plan plan(const ProposedSize& proposal, const LayoutContext& context, const Rows& rows) const {
    Plan result;
    if (!rows.at(0)) return result;
    // Room for the first `n` children's answers. A row-clipping stack grows it row by row, so
    // that a long list costs memory only for the rows it measures.
    auto reserveRows = [&](std::size_t n) {
      result.proposals.resize(n);
      result.sizes.resize(n);
    };

    const auto alongProposal = axis_ == Axis::vertical ? proposal.height : proposal.width;
    const auto crossProposal = axis_ == Axis::vertical ? proposal.width : proposal.height;
    auto offer = [&](std::optional<double> along) {
      return axis_ == Axis::vertical ? ProposedSize{crossProposal, along}
                                     : ProposedSize{along, crossProposal};
    };
    auto measure = [&](std::size_t i, std::optional<double> along) {
      return cleanSize(sizeOf(*rows.at(i), offer(along), context));
    };
    // Settles child i's proposal and size; returns the length it takes along the axis.
    auto assign = [&](std::size_t i, std::optional<double> along) {
      result.proposals[i] = offer(along);
      result.sizes[i] = measure(i, along);
      return alongOf(result.sizes[i]);
    };

    if (clipsRows_ && alongProposal && std::isfinite(*alongProposal)) {
      // Rows one by one, in order, each offered the length the rows before it left, until one
      // does not fit: rows after it are never measured, however many there are. A row that
      // can give up rows of its own (a nested row-clipping stack) shows what fits of it. The
      // rows kept with the next one wait for it: they go when it does not show.
      double used = 0;
      std::size_t waiting = 0;  // rows at the end of those shown that wait for the next one
      for (std::size_t i = 0; const View* row = rows.at(i); ++i) {
        const bool required = i < minimumRows_;
        const double gap = i > 0 ? spacing_ : 0;
        const double left = *alongProposal - used - gap;
        if (left < -kFitTolerance && !required) break;
        reserveRows(i + 1);
        const double length = assign(i, std::max(left, 0.0));
        if (!required) {
          if (length > left + kFitTolerance) break;
          if (length <= 0 && row->node().yieldsLength(axis_)) break;
        }
        used += gap + length;
        ++result.shown;
        waiting = row->node().keepsWithNext() && !required ? waiting + 1 : 0;
      }
      result.shown -= waiting;
    } else if (clipsRows_ || !alongProposal) {
      result.shown = rows.count();
      reserveRows(result.shown);
      for (std::size_t i = 0; i < result.shown; ++i)
        assign(i, std::nullopt);
    } else {
      // Only row-clipping stacks keep lazy groups: this list is whole.
      result.shown = children_.size();
      reserveRows(result.shown);
      distribute(*alongProposal, measure, assign);
    }
    result.along.assign(result.shown, 0);
    result.cross.assign(result.shown, 0);

    // Offsets along the axis.
    double position = 0;
    for (std::size_t i = 0; i < result.shown; ++i) {
      if (i > 0) position += spacing_;
      result.along[i] = position;
      position += alongOf(result.sizes[i]);
    }
    const double alongLength = position;

    // Offsets across the axis.
    double crossLength = 0;
    if (axis_ == Axis::horizontal && vertical_ == VerticalAlignment::firstTextBaseline) {
      result.baselines.resize(result.shown);
      double line = 0;
      for (std::size_t i = 0; i < result.shown; ++i) {
        result.baselines[i] = baselineOf(*rows.at(i), result.proposals[i], context);
        line = std::max(line, result.baselines[i].value_or(result.sizes[i].height));
      }
      for (std::size_t i = 0; i < result.shown; ++i) {
        result.cross[i] = line - result.baselines[i].value_or(result.sizes[i].height);
        crossLength = std::max(crossLength, result.cross[i] + result.sizes[i].height);
      }
    } else {
      for (std::size_t i = 0; i < result.shown; ++i) {
        crossLength = std::max(crossLength, crossOf(result.sizes[i]));
      }
      for (std::size_t i = 0; i < result.shown; ++i) {
        result.cross[i] = axis_ == Axis::vertical
                              ? alignOffset(horizontal_, crossLength, result.sizes[i].width)
                              : alignOffset(vertical_, crossLength, result.sizes[i].height);
      }
    }
    result.size =
        axis_ == Axis::vertical ? Size{crossLength, alongLength} : Size{alongLength, crossLength};
    return result;
  }

  // Shares `length` along the axis: spacing first, then the other children least flexible
  // first, each offered an equal part of what is left, then the spacers.
  template <class Measure, class Assign>
  void distribute(double length, const Measure& measure, const Assign& assign) const {
    const std::size_t count = children_.size();
    const double available = reduce(length, spacing_ * static_cast<double>(count - 1));

    std::vector<std::size_t> others;
    std::vector<std::size_t> spacers;
    std::vector<double> flexibility(count, 0);
    double reserved = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (children_[i].node().isSpacer()) {
        spacers.push_back(i);
        reserved += alongOf(measure(i, 0.0));
        continue;
      }
      others.push_back(i);
      if (children_[i].node().yieldsLength(axis_)) {
        flexibility[i] = infinity;
        continue;
      }
      const double least = alongOf(measure(i, 0.0));
      const double most = alongOf(measure(i, infinity));
      flexibility[i] = std::isnan(most - least) ? infinity : most - least;
    }
    std::stable_sort(others.begin(), others.end(),
                     [&](std::size_t a, std::size_t b) { return flexibility[a] < flexibility[b]; });

    double remaining = reduce(available, reserved);
    double used = 0;
    std::size_t left = others.size();
    for (std::size_t i : others) {
      const double taken = assign(i, remaining / static_cast<double>(left));
      remaining = reduce(remaining, taken);
      used += taken;
      --left;
    }

    remaining = reduce(available, used);
    left = spacers.size();
    for (std::size_t i : spacers) {
      remaining = reduce(remaining, assign(i, remaining / static_cast<double>(left)));
      --left;
    }
  }

  Axis axis_;
  HorizontalAlignment horizontal_;
  VerticalAlignment vertical_;
  bool clipsRows_;           // beside the alignments: a stack per row adds up
  std::size_t minimumRows_;  // row-clipping stacks: rows shown whether they fit or not
  double spacing_;
  ChildList list_;
  const std::vector<View>& children_;  // list_.views()
};

class ZStackNode final : public Node {
 public:
  ZStackNode(Alignment alignment, std::vector<View> children)
      : alignment_(alignment),
        list_(flattenChildren(std::move(children))),
        children_(list_.views()) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return plan(proposal, context).size;
  }

  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    const Plan layout = plan(proposal, context);
    PlacedNode node = placedNode("ZStack", frame);
    for (std::size_t i = 0; i < children_.size(); ++i) {
      const Rect childFrame{frame.x + layout.offsets[i].x, frame.y + layout.offsets[i].y,
                            layout.sizes[i].width, layout.sizes[i].height};
      node.children.push_back(children_[i].node().place(childFrame, proposal, context));
    }
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    const Plan layout = plan(proposal, context);
    for (std::size_t i = 0; i < children_.size(); ++i) {
      const auto baseline = baselineOf(children_[i], proposal, context);
      if (baseline) return *baseline + layout.offsets[i].y;
    }
    return std::nullopt;
  }

 private:
  struct Plan {
    std::vector<Size> sizes;
    std::vector<Point> offsets;
    Size size;
  };

  Plan plan(const ProposedSize& proposal, const LayoutContext& context) const {
    Plan result;
    for (const View& child : children_) {
      const Size size = cleanSize(sizeOf(child, proposal, context));
      result.sizes.push_back(size);
      result.size.width = std::max(result.size.width, size.width);
    }
    result.offsets.resize(children_.size());
    if (alignment_.vertical == VerticalAlignment::firstTextBaseline) {
      std::vector<double> baselines;
      double line = 0;
      for (std::size_t i = 0; i < children_.size(); ++i) {
        baselines.push_back(
            baselineOf(children_[i], proposal, context).value_or(result.sizes[i].height));
        line = std::max(line, baselines.back());
      }
      for (std::size_t i = 0; i < children_.size(); ++i) {
        result.offsets[i].y = line - baselines[i];
        result.size.height =
            std::max(result.size.height, result.offsets[i].y + result.sizes[i].height);
      }
    } else {
      for (const Size& size : result.sizes) {
        result.size.height = std::max(result.size.height, size.height);
      }
      for (std::size_t i = 0; i < children_.size(); ++i) {
        result.offsets[i].y =
            alignOffset(alignment_.vertical, result.size.height, result.sizes[i].height);
      }
    }
    for (std::size_t i = 0; i < children_.size(); ++i) {
      result.offsets[i].x =
          alignOffset(alignment_.horizontal, result.size.width, result.sizes[i].width);
    }
    return result;
  }

  Alignment alignment_;
  ChildList list_;
  const std::vector<View>& children_;  // list_.views()
};

// A row-clipping stack asks for its rows in order and stops at the first that does not fit:
// it keeps lazy groups, whose rows are made when asked for. Every other stack measures all
// its children, which are made at once.
View stack(Axis axis, HorizontalAlignment horizontal, VerticalAlignment vertical,
           std::optional<double> spacing, std::vector<View> children, bool clipsRows,
           std::size_t minimumRows = 0) {
  return View(std::make_shared<const StackNode>(
      axis, horizontal, vertical, spacing,
      flattenChildren(std::move(children), clipsRows ? LazyGroups::keep : LazyGroups::build),
      clipsRows, minimumRows));
}

}  // namespace

View groupStack(const ChildList& children) {
  if (children.holdsLazyGroups()) return VStack(children.views());
  return View(std::make_shared<const StackNode>(Axis::vertical, HorizontalAlignment::center,
                                                VerticalAlignment::center, std::nullopt,
                                                ChildList::borrowed(children), false));
}

}  // namespace detail

View VStack(HorizontalAlignment alignment, std::optional<double> spacing,
            std::vector<View> children) {
  return detail::stack(Axis::vertical, alignment, VerticalAlignment::center, spacing,
                       std::move(children), false);
}

View VStack(HorizontalAlignment alignment, std::vector<View> children) {
  return VStack(alignment, std::nullopt, std::move(children));
}

View VStack(std::vector<View> children) {
  return VStack(HorizontalAlignment::center, std::nullopt, std::move(children));
}

View HStack(VerticalAlignment alignment, std::optional<double> spacing,
            std::vector<View> children) {
  return detail::stack(Axis::horizontal, HorizontalAlignment::center, alignment, spacing,
                       std::move(children), false);
}

View HStack(VerticalAlignment alignment, std::vector<View> children) {
  return HStack(alignment, std::nullopt, std::move(children));
}

View HStack(std::vector<View> children) {
  return HStack(VerticalAlignment::center, std::nullopt, std::move(children));
}

View ZStack(Alignment alignment, std::vector<View> children) {
  return View(std::make_shared<const detail::ZStackNode>(alignment, std::move(children)));
}

View ZStack(std::vector<View> children) {
  return ZStack(Alignment::center, std::move(children));
}

View RowClippingVStack(HorizontalAlignment alignment, std::optional<double> spacing,
                       std::vector<View> rows, std::size_t minimumRows) {
  return detail::stack(Axis::vertical, alignment, VerticalAlignment::center, spacing,
                       std::move(rows), true, minimumRows);
}

}  // namespace halyard::ui
