#pragma once
// A widget for the host's tests: the text of one file (or "no file"), a given reload policy.

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/host/run_loop.hpp"
#include "platform/host/widget_configuration.hpp"
#include "platform/ui/text.hpp"
#include "platform/ui/view.hpp"

namespace halyard::testing {

struct StubWidgetOptions {
  std::string file{};
  std::function<host::TimelineReloadPolicy(host::Date now)> policy = [](host::Date) {
    return host::TimelineReloadPolicy::never();
  };
  // More entries after the first: offsets from `now`.
  std::vector<std::chrono::milliseconds> laterEntries{};
  host::Clock clock = host::systemNow;
};

// The descriptor an extension opened for the file: -2 before (the path is read), -1 for none.
inline int grantedFile = -2;

inline std::string fileText(const std::string& path) {
  const int fd = grantedFile == -2 ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC) : grantedFile;
  std::string text(4096, '\0');
  const ssize_t got = fd < 0 ? -1 : ::pread(fd, text.data(), text.size(), 0);
  if (fd >= 0 && fd != grantedFile) ::close(fd);
  if (got < 0) return "no file";
  text.resize(static_cast<std::size_t>(got));
  return text;
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
  widget.families = {host::WidgetFamily::systemMedium, host::WidgetFamily::systemLarge};
  auto shared = std::make_shared<const StubWidgetOptions>(std::move(options));
  widget.placeholder = [shared](const host::TimelineProviderContext&) {
    return stubEntry(shared->clock(), "placeholder");
  };
  widget.readableFile = [shared] { return std::optional<std::string>(shared->file); };
  widget.readFileFrom = [](int fd) { grantedFile = fd; };
  widget.entryFromWire = [](host::Date date,
                            const nlohmann::ordered_json& wire) -> std::optional<host::HostEntry> {
    if (!wire.is_object() || !wire.contains("text") || !wire["text"].is_string())
      return std::nullopt;
    return stubEntry(date, wire["text"].get<std::string>());
  };
  widget.timeline = [shared](const host::TimelineProviderContext&) {
    const host::Date now = shared->clock();
    const std::string text = fileText(shared->file);
    host::Timeline<host::HostEntry> timeline{{stubEntry(now, text)}, shared->policy(now)};
    for (std::size_t i = 0; i < shared->laterEntries.size(); ++i)
      timeline.entries.push_back(stubEntry(
          now + std::chrono::duration_cast<std::chrono::microseconds>(shared->laterEntries[i]),
          text + " #" + std::to_string(i + 1)));
    return std::optional(std::move(timeline));
  };
  return widget;
}

}  // namespace halyard::testing
