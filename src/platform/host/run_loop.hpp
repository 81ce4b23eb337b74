#pragma once
// The host's run loop: keeps one widget's current entry up to date on GLib's main loop.
//
// It asks the widget for a timeline at once, then again when the timeline's reload policy
// says (at the `after` date, after the last entry's date for `atEnd`, never for `never`), and
// soon after the watched file changes. Between requests it shows each entry of the timeline
// from its date on. It holds no timer but those: nothing is polled. SIGINT, SIGTERM and SIGHUP end
// `run` cleanly. Answers arrive through the main loop, in pieces as an extension writes them
// (the descriptor of a widget answering from an extension process says when), so that the
// loop goes on drawing, and hears signals, meanwhile; also while it waits for the first.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/host/timeline.hpp"
#include "platform/host/widget_configuration.hpp"

namespace halyard::host {

// The wall clock the loop reads to compare with entry and reload dates.
using Clock = std::function<Date()>;
Date systemNow();

struct RunLoopOptions {
  WidgetFamily family = WidgetFamily::systemMedium;
  // A file whose changes make the loop ask again; empty: none.
  std::string watchedPath;
  // How long a burst of file events must be quiet before the loop asks again.
  std::chrono::milliseconds debounce{250};
  // The shortest time between two requests that a reload policy can cause (a policy whose date
  // has passed would otherwise ask without pause); changes of the file are not held back.
  std::chrono::milliseconds minimumReloadInterval{std::chrono::seconds(5)};
  Clock clock = systemNow;
};

class RunLoop {
 public:
  RunLoop(WidgetDescriptor widget, RunLoopOptions options);
  ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  // Called with the entry to show whenever a timeline arrives and whenever a later entry of
  // the timeline comes due. What the entry draws may be the same as before: the caller
  // compares what it laid out.
  void onEntry(std::function<void(const HostEntry&)> handler);
  // Called with a message when the widget gives no timeline; the loop keeps its entry.
  void onError(std::function<void(const std::string&)> handler);
  // Called with what people should be told about the widget's file: why it was refused (once
  // per change of the file, or when the reason changes), and that it is read again.
  void onNotice(std::function<void(const std::string&)> handler);

  // Asks for the first timeline, waits for it (SIGINT and SIGTERM still end the wait) and
  // starts watching; false when the widget gave none or the wait was ended.
  bool start();
  // Asks for a new timeline now (dropping a request still under way).
  void reload();
  // Asks for a new timeline in another family (likewise).
  void setFamily(WidgetFamily family);
  WidgetFamily family() const;

  // The entry shown now; nothing before the first timeline.
  const HostEntry* currentEntry() const;
  // How many timelines the loop has asked for.
  std::size_t timelineRequests() const;

  // Runs the default GLib main loop until quit(), SIGINT, SIGTERM or SIGHUP.
  void run();
  void quit();
  bool quitRequested() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace halyard::host
