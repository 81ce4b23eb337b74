#pragma once
// A widget for tests of the host: it shows the text of one file (or "no file"), and answers
// with the reload policy it is given. Nothing in it knows about any real widget.

#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "platform/host/run_loop.hpp"
#include "platform/host/widget_configuration.hpp"
#include "platform/ui/text.hpp"
#include "platform/ui/view.hpp"

namespace halyard::testing {

struct StubWidgetOptions {
  std::string file;
  host::Clock clock = host::systemNow;
  // The reload policy for a timeline asked for at `now`.
  std::function<host::TimelineReloadPolicy(host::Date now)> policy = [](host::Date now) {
    return host::TimelineReloadPolicy::after(now + std::chrono::minutes(15));
  };
  // More entries after the first: offsets from `now`.
  std::vector<std::chrono::milliseconds> laterEntries;
};

// Options with one policy for every timeline.
inline StubWidgetOptions stubOptions(
    std::string file = "", std::function<host::TimelineReloadPolicy(host::Date)> policy = nullptr) {
  StubWidgetOptions options;
  options.file = std::move(file);
  if (policy) options.policy = std::move(policy);
  return options;
}

// The descriptor an extension process opened for the widget's file: -2 while there is none
// (the path is opened), -1 when there is no file.
inline int& grantedFile() {
  static int fd = -2;
  return fd;
}

inline std::string fileText(const std::string& path) {
  if (grantedFile() != -2) {
    std::string text(4096, '\0');
    const ssize_t got =
        grantedFile() < 0 ? -1 : ::pread(grantedFile(), text.data(), text.size(), 0);
    if (got < 0) return "no file";
    text.resize(static_cast<std::size_t>(got));
    return text;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return "no file";
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline host::HostEntry stubEntry(host::Date date, std::string text) {
  host::HostEntry entry;
  entry.date = date;
  entry.view = [text] { return ui::Text(text).containerBackground(ui::StyleName::tertiaryFill); };
  entry.json = [text] { return nlohmann::ordered_json{{"text", text}}; };
  entry.wire = entry.json;
  return entry;
}

inline host::WidgetDescriptor stubWidget(StubWidgetOptions options) {
  host::WidgetDescriptor widget;
  widget.kind = "StubWidget";
  widget.displayName = "Stub widget";
  widget.description = "Shows the text of one file.";
  widget.families = {host::WidgetFamily::systemMedium, host::WidgetFamily::systemLarge};
  auto shared = std::make_shared<const StubWidgetOptions>(std::move(options));
  widget.placeholder = [shared](const host::TimelineProviderContext&) {
    return stubEntry(shared->clock(), "placeholder");
  };
  widget.snapshot = [shared](const host::TimelineProviderContext&) {
    return std::optional(stubEntry(shared->clock(), fileText(shared->file)));
  };
  widget.readableFile = [shared] { return std::optional<std::string>(shared->file); };
  widget.readFileFrom = [](int fd) { grantedFile() = fd; };
  widget.entryFromWire = [](host::Date date,
                            const nlohmann::ordered_json& wire) -> std::optional<host::HostEntry> {
    if (!wire.is_object() || !wire.contains("text") || !wire["text"].is_string())
      return std::nullopt;
    return stubEntry(date, wire["text"].get<std::string>());
  };
  widget.timeline = [shared](const host::TimelineProviderContext&) {
    const host::Date now = shared->clock();
    host::Timeline<host::HostEntry> timeline;
    const std::string text = fileText(shared->file);
    timeline.entries.push_back(stubEntry(now, text));
    int index = 1;
    for (auto offset : shared->laterEntries)
      timeline.entries.push_back(
          stubEntry(now + std::chrono::duration_cast<std::chrono::microseconds>(offset),
                    text + " #" + std::to_string(index++)));
    timeline.policy = shared->policy(now);
    return std::optional(std::move(timeline));
  };
  return widget;
}

}  // namespace halyard::testing
