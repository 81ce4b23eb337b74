#pragma once
// How a widget declares itself to the host: a kind, a provider, a content closure, a display
// name, a description and the families it supports. The host keeps every widget in one
// type-erased form, WidgetDescriptor, so that it never needs to know the widget's entry type.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/host/timeline.hpp"
#include "platform/host/widget_family.hpp"
#include "platform/ui/text.hpp"
#include "platform/ui/view.hpp"

namespace halyard::host {

// An entry as the host keeps it: when it is for, what it draws, and how it reads as JSON (for
// tools; null when the widget gives no JSON form).
struct HostEntry {
  Date date;
  std::function<ui::View()> view;
  std::function<nlohmann::ordered_json()> json;
  // The entry without loss, for passing it from an extension process to the host; null when
  // the widget gives no wire form.
  std::function<nlohmann::ordered_json()> wire;
};

// A reload policy as JSON: {"after": date}, {"atEnd": true} or {"never": true}, with the date
// written by `dateJson`.
template <class DateJson>
nlohmann::ordered_json reloadPolicyJson(const TimelineReloadPolicy& policy, DateJson dateJson) {
  switch (policy.kind()) {
    case TimelineReloadPolicy::Kind::atEnd:
      return {{"atEnd", true}};
    case TimelineReloadPolicy::Kind::never:
      return {{"never", true}};
    case TimelineReloadPolicy::Kind::after:
      break;
  }
  return {{"after", dateJson(*policy.date())}};
}

// What became of a widget's file when the widget last read it.
struct FileReport {
  enum class State { unknown, read, missing, refused } state = State::unknown;
  std::string path;
  std::string reason;  // why it was refused: where, what was expected, what was found
};

// What came beside an answer: how the widget found its file, and what the host should say
// once (a confinement step that failed or was not available).
struct AnswerNotes {
  FileReport file;
  std::vector<std::string> notices;
};

// A timeline request under way.
struct PendingTimeline {
  using Wait = std::function<std::optional<Timeline<HostEntry>>()>;
  PendingTimeline(Wait waitForAnswer = nullptr, int ready = -1)
      : wait(std::move(waitForAnswer)), readyFd(ready) {}

  // Waits for the answer and returns it; call once.
  Wait wait;
  // Becomes readable (or hung up) when more of the answer is there, so that a main loop can
  // wait for it without blocking; -1 when `wait` answers at once.
  int readyFd = -1;
  // Takes what has arrived without blocking: true once the answer is whole (or has failed),
  // when `wait` returns at once. Null when `wait` answers at once.
  std::function<bool()> progress;
  // Filled in by `wait`.
  std::shared_ptr<AnswerNotes> notes = std::make_shared<AnswerNotes>();
};

struct WidgetDescriptor {
  std::string kind;
  std::string displayName;  // as shown: the localisable key's translation, or the key itself
  std::string description;
  // What a screen reader calls the widget as a whole; the display name when the widget
  // gives none.
  std::string accessibilityLabel;
  std::vector<WidgetFamily> families;
  std::function<HostEntry(const TimelineProviderContext&)> placeholder;
  // Nothing when the provider broke its contract (no completion, or more than one).
  std::function<std::optional<HostEntry>(const TimelineProviderContext&)> snapshot;
  std::function<std::optional<Timeline<HostEntry>>(const TimelineProviderContext&)> timeline;
  // Starts a timeline request, so that the host can go on while the widget answers elsewhere;
  // null when the widget answers only as `timeline` does. See requestTimeline.
  std::function<PendingTimeline(const TimelineProviderContext&)> startTimeline;
  // The one file the widget's provider reads, if any: an extension process answering for the
  // widget may read it and nothing else.
  std::function<std::optional<std::string>()> readableFile;
  // The largest such file the widget reads (0: no limit of its own). An extension refuses a
  // larger one unread, and the host takes no answer much larger than that.
  std::uint64_t readableFileLimit = 0;
  // Has the widget read its file from this descriptor, opened (and granted) by the extension
  // process, instead of opening the path itself; -1: there is no file. Null: the widget
  // opens the path (which then must be the granted file).
  std::function<void(int fd)> readFileFrom;
  // How the widget found its file at its last reading in this process (state unknown when it
  // cannot say).
  std::function<FileReport()> fileReport;
  // Rebuilds an entry from its wire form (with the date the host read alongside it); nothing
  // when the widget gives no wire form or the form is not one of its entries.
  std::function<std::optional<HostEntry>(Date, const nlohmann::ordered_json&)> entryFromWire;

  bool supports(WidgetFamily family) const {
    for (auto supported : families)
      if (supported == family) return true;
    return false;
  }
};

// Starts asking `widget` for a timeline (which must outlive the answer's wait).
inline PendingTimeline requestTimeline(const WidgetDescriptor& widget,
                                       const TimelineProviderContext& context) {
  if (widget.startTimeline) return widget.startTimeline(context);
  return {[&widget, context] { return widget.timeline(context); }};
}

template <TimelineProvider P>
class StaticConfiguration {
 public:
  using Entry = typename P::Entry;
  using Content = std::function<ui::View(const Entry&)>;
  using EntryJson = std::function<nlohmann::ordered_json(const Entry&)>;

  StaticConfiguration(std::string kind, P provider, Content content)
      : kind_(std::move(kind)), provider_(std::move(provider)), content_(std::move(content)) {}

  // The name and description shown in the widget gallery: localisable keys.
  StaticConfiguration configurationDisplayName(std::string key) const {
    StaticConfiguration copy = *this;
    copy.displayName_ = std::move(key);
    return copy;
  }
  StaticConfiguration description(std::string key) const {
    StaticConfiguration copy = *this;
    copy.description_ = std::move(key);
    return copy;
  }
  // What a screen reader calls the placed widget (a localisable key).
  StaticConfiguration accessibilityLabel(std::string key) const {
    StaticConfiguration copy = *this;
    copy.accessibilityLabel_ = std::move(key);
    return copy;
  }
  StaticConfiguration supportedFamilies(std::vector<WidgetFamily> families) const {
    StaticConfiguration copy = *this;
    copy.families_ = std::move(families);
    return copy;
  }
  // How an entry reads as JSON, for the host's command-line tools.
  StaticConfiguration entryJson(EntryJson json) const {
    StaticConfiguration copy = *this;
    copy.entryJson_ = std::move(json);
    return copy;
  }
  // How an entry travels between processes without loss: written, and read back (with the
  // date the host carries beside it).
  using EntryFromWire = std::function<std::optional<Entry>(Date, const nlohmann::ordered_json&)>;
  StaticConfiguration entryWire(EntryJson write, EntryFromWire read) const {
    StaticConfiguration copy = *this;
    copy.toWire_ = std::move(write);
    copy.fromWire_ = std::move(read);
    return copy;
  }
  // The one file the provider reads; optionally its size limit, how the provider reads it
  // from a descriptor opened for it, and how it found the file last time.
  StaticConfiguration readableFile(std::function<std::optional<std::string>()> path,
                                   std::uint64_t limit = 0,
                                   std::function<void(int)> readFrom = nullptr,
                                   std::function<FileReport()> report = nullptr) const {
    StaticConfiguration copy = *this;
    copy.readableFile_ = std::move(path);
    copy.readableFileLimit_ = limit;
    copy.readFileFrom_ = std::move(readFrom);
    copy.fileReport_ = std::move(report);
    return copy;
  }

  const std::string& kind() const { return kind_; }
  const std::string& displayNameKey() const { return displayName_; }
  const std::string& descriptionKey() const { return description_; }
  const std::vector<WidgetFamily>& families() const { return families_; }
  const P& provider() const { return provider_; }
  ui::View content(const Entry& entry) const { return content_(entry); }

  // The widget as the host keeps it; localisable texts are looked up in `textDomain`.
  WidgetDescriptor descriptor(const std::string& textDomain) const {
    WidgetDescriptor out;
    out.kind = kind_;
    out.displayName = ui::localizedString(textDomain, displayName_);
    out.description = ui::localizedString(textDomain, description_);
    out.accessibilityLabel = accessibilityLabel_.empty()
                                 ? out.displayName
                                 : ui::localizedString(textDomain, accessibilityLabel_);
    out.families = families_;
    auto self = std::make_shared<const StaticConfiguration>(*this);
    out.placeholder = [self](const TimelineProviderContext& context) {
      return self->erase(self->provider_.placeholder(context));
    };
    out.snapshot = [self](const TimelineProviderContext& context) -> std::optional<HostEntry> {
      auto entry = askSnapshot(self->provider_, context);
      if (!entry) return std::nullopt;
      return self->erase(std::move(*entry));
    };
    out.timeline =
        [self](const TimelineProviderContext& context) -> std::optional<Timeline<HostEntry>> {
      auto timeline = askTimeline(self->provider_, context);
      if (!timeline) return std::nullopt;
      Timeline<HostEntry> erased;
      erased.policy = timeline->policy;
      for (auto& entry : timeline->entries)
        erased.entries.push_back(self->erase(std::move(entry)));
      return erased;
    };
    out.readableFile = readableFile_;
    if (!out.readableFile) out.readableFile = [] { return std::optional<std::string>(); };
    out.readableFileLimit = readableFileLimit_;
    out.readFileFrom = readFileFrom_;
    out.fileReport = fileReport_;
    out.entryFromWire = [self](Date date,
                               const nlohmann::ordered_json& wire) -> std::optional<HostEntry> {
      if (!self->fromWire_) return std::nullopt;
      auto entry = self->fromWire_(date, wire);
      if (!entry) return std::nullopt;
      return self->erase(std::move(*entry));
    };
    return out;
  }

 private:
  HostEntry erase(Entry entry) const {
    auto shared = std::make_shared<const Entry>(std::move(entry));
    HostEntry out;
    out.date = shared->date;
    out.view = [content = content_, shared] { return content(*shared); };
    auto form = [shared](const EntryJson& write) -> std::function<nlohmann::ordered_json()> {
      if (!write) return [] { return nlohmann::ordered_json(); };
      return [write, shared] { return write(*shared); };
    };
    out.json = form(entryJson_);
    out.wire = form(toWire_);
    return out;
  }

  std::string kind_;
  P provider_;
  Content content_;
  std::string displayName_;
  std::string description_;
  std::string accessibilityLabel_;
  std::vector<WidgetFamily> families_;
  EntryJson entryJson_;
  EntryJson toWire_;
  EntryFromWire fromWire_;
  std::function<std::optional<std::string>()> readableFile_;
  std::uint64_t readableFileLimit_ = 0;
  std::function<void(int)> readFileFrom_;
  std::function<FileReport()> fileReport_;
};

// The widgets of a bundle, in the order the bundle declares them.
template <class... Configurations>
std::vector<WidgetDescriptor> WidgetBundleBuilder(const std::string& textDomain,
                                                  const Configurations&... widgets) {
  return {widgets.descriptor(textDomain)...};
}

}  // namespace halyard::host
