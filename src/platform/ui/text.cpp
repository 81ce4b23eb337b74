// Text views: localisation lookup, shrinking and truncation.
#include "platform/ui/text.hpp"

#include <libintl.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "platform/ui/detail/node.hpp"

namespace halyard::ui {
namespace {

// Searching for the largest scale that fits stops once the interval is this narrow.
constexpr double kScalePrecision = 0.005;
constexpr int kMaxScaleSteps = 16;

// Parses "%[N$](@|s|d|ld|lld)" at format[at] (which is '%'). Returns the length of the
// placeholder and its explicit position (0 when sequential), or nothing.
struct Placeholder {
  std::size_t length = 0;
  std::size_t position = 0;
};

std::optional<Placeholder> parsePlaceholder(std::string_view format, std::size_t at) {
  std::size_t i = at + 1;
  std::size_t position = 0;
  std::size_t digits = 0;
  while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 3) {
    position = position * 10 + static_cast<std::size_t>(format[i] - '0');
    ++i;
    ++digits;
  }
  if (digits > 0) {
    if (i >= format.size() || format[i] != '$' || position == 0) return std::nullopt;
    ++i;
  }
  for (std::string_view conversion : {"@", "s", "d", "ld", "lld"}) {
    if (format.substr(i, conversion.size()) == conversion) {
      return Placeholder{i + conversion.size() - at, position};
    }
  }
  return std::nullopt;
}

}  // namespace

std::string formatLocalized(std::string_view format, std::span<const std::string> arguments) {
  std::string result;
  result.reserve(format.size());
  std::size_t next = 0;
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%') {
      result += format[i++];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      result += '%';
      i += 2;
      continue;
    }
    const auto placeholder = parsePlaceholder(format, i);
    if (!placeholder) {
      result += format[i++];
      continue;
    }
    const std::size_t index = placeholder->position > 0 ? placeholder->position - 1 : next++;
    if (index < arguments.size()) {
      result += arguments[index];
    } else {
      result += format.substr(i, placeholder->length);
    }
    i += placeholder->length;
  }
  return result;
}

std::string localizedString(const std::string& domain, const std::string& key) {
  // An empty msgid would fetch the catalog's header.
  if (key.empty()) return key;
  const char* translated = dgettext(domain.empty() ? nullptr : domain.c_str(), key.c_str());
  return translated ? std::string(translated) : key;
}

namespace detail {
namespace {

struct SetText {
  TextSpec spec;
  TextMeasurement measurement;
  std::optional<double> maxWidth;
};

class TextNode final : public Node {
 public:
  TextNode(std::string text, bool localized, std::vector<std::string> arguments)
      : text_(std::move(text)),
        arguments_(arguments.empty()
                       ? nullptr
                       : std::make_unique<const std::vector<std::string>>(std::move(arguments))),
        localized_(localized) {}

  Size sizeThatFits(const ProposedSize& proposal, const LayoutContext& context) const override {
    return set(proposal, context).measurement.size;
  }

  PlacedNode place(const Rect& frame, const ProposedSize& proposal,
                   const LayoutContext& context) const override {
    SetText result = set(proposal, context);
    PlacedNode node = placedNode("Text", frame);
    node.text = PlacedText{std::move(result.spec), std::move(result.measurement.displayedText),
                           result.measurement.firstBaseline, result.maxWidth,
                           fillFor(context.env.foregroundStyle, context)};
    return node;
  }

  std::optional<double> firstBaseline(const ProposedSize& proposal,
                                      const LayoutContext& context) const override {
    return set(proposal, context).measurement.firstBaseline;
  }

 private:
  std::string content(const Environment& env) const {
    if (!localized_) return text_;
    return formatLocalized(
        localizedString(env.textDomain, text_),
        arguments_ ? std::span<const std::string>(*arguments_) : std::span<const std::string>());
  }

  static TextMeasurement measure(const TextSpec& spec, std::optional<double> maxWidth,
                                 const LayoutContext& context) {
    if (!context.measurer) return {{}, 0, spec.text, false};
    TextMeasurement m = context.measurer->measure(spec, maxWidth);
    auto clean = [](double v) { return std::isfinite(v) ? std::max(0.0, v) : 0.0; };
    m.size = {clean(m.size.width), clean(m.size.height)};
    m.firstBaseline = clean(m.firstBaseline);
    return m;
  }

  static bool fits(const TextMeasurement& m, double maxWidth) {
    return !m.truncated && m.size.width <= maxWidth + 1e-9;
  }

  SetText set(const ProposedSize& proposal, const LayoutContext& context) const {
    const Environment& env = context.env;
    SetText result;
    result.spec.text = content(env);
    result.spec.font = env.font;
    result.spec.pointSize = env.font.size();
    result.spec.kerning = std::isfinite(env.kerning) ? env.kerning : 0;
    if (env.lineLimit && *env.lineLimit >= 1) result.spec.lineLimit = env.lineLimit;
    result.spec.truncation = env.truncationMode;
    if (proposal.width && std::isfinite(*proposal.width)) {
      result.maxWidth = std::max(0.0, *proposal.width);
    }
    result.measurement = measure(result.spec, result.maxWidth, context);

    // Environment values may come straight from the host: NaN or non-positive means none.
    const double minimumScale =
        env.minimumScaleFactor > 0 ? std::clamp(env.minimumScaleFactor, 0.01, 1.0) : 1.0;
    if (!result.maxWidth || minimumScale >= 1 || fits(result.measurement, *result.maxWidth)) {
      return result;
    }
    const double baseSize = result.spec.pointSize;
    if (*result.maxWidth == 0) {
      // No text fits no width, at any scale: the smallest scale's answer is the base size's,
      // scaled (sizes are linear in the point size), which spares setting the text in a size
      // that stacks only ask about while they weigh their children.
      result.spec.pointSize = baseSize * minimumScale;
      result.measurement.size = {result.measurement.size.width * minimumScale,
                                 result.measurement.size.height * minimumScale};
      result.measurement.firstBaseline *= minimumScale;
      return result;
    }
    auto at = [&](double scale) {
      TextSpec spec = result.spec;
      spec.pointSize = baseSize * scale;
      return std::pair{spec, measure(spec, result.maxWidth, context)};
    };
    auto smallest = at(minimumScale);
    if (!fits(smallest.second, *result.maxWidth)) {
      result.spec = std::move(smallest.first);
      result.measurement = std::move(smallest.second);
      return result;
    }
    // The largest scale that fits: `low` always fits, `high` never does.
    double low = minimumScale;
    double high = 1;
    auto best = std::move(smallest);
    for (int step = 0; step < kMaxScaleSteps && high - low > kScalePrecision; ++step) {
      const double middle = (low + high) / 2;
      auto trial = at(middle);
      if (fits(trial.second, *result.maxWidth)) {
        low = middle;
        best = std::move(trial);
      } else {
        high = middle;
      }
    }
    result.spec = std::move(best.first);
    result.measurement = std::move(best.second);
    return result;
  }

  std::string text_;
  // Only localisable texts have arguments; most texts have none, and texts are many.
  std::unique_ptr<const std::vector<std::string>> arguments_;
  bool localized_;
};

}  // namespace
}  // namespace detail

View Text(std::string verbatim) {
  return View(std::make_shared<const detail::TextNode>(std::move(verbatim), false,
                                                       std::vector<std::string>{}));
}

View LocalizedText(std::string key, std::vector<std::string> arguments) {
  return View(std::make_shared<const detail::TextNode>(std::move(key), true, std::move(arguments)));
}

}  // namespace halyard::ui
