#pragma once
// Widgets answer the host from extension processes: for every snapshot or timeline request
// the host starts a fresh, short-lived process of its own program in extension mode, which
// confines itself to reading the widget's one file, asks the widget's provider, writes the
// answer to a pipe and ends. A file that appears later is granted to the next process, and a
// widget that crashes, hangs or is subverted takes nothing of the host with it: the host
// reads the answer without blocking, takes only a bounded, shallow, well-formed one, and ends
// the extension's whole process group.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/widget_configuration.hpp"

namespace halyard::host {

// The hidden command that starts extension mode.
inline constexpr const char* kExtensionCommand = "__extension";

enum class ExtensionRequest { snapshot, timeline };

// How long the host waits for an extension's answer before it gives up on it.
inline constexpr std::chrono::seconds kExtensionTimeout{10};

// What an answer may hold beside the widget's file (whose limit the widget gives; a widget
// that gives none has kDefaultFileLimit): past it, the answer has failed.
inline constexpr std::size_t kAnswerEnvelope = 64 * 1024;
inline constexpr std::uint64_t kDefaultFileLimit = 16 << 20;
// Nesting an answer may have: the envelope's three levels and an entry's own, with room.
inline constexpr std::size_t kAnswerDepth = 32;

// What making a process an extension process came to.
struct ExtensionSetup {
  int file = -1;       // the widget's file, open for reading; -1 when there is none to read
  FileReport refusal;  // state refused when the file was refused before a byte was read
  std::vector<std::string> notices;  // what the host says once
  bool failed = false;  // a confinement step failed: the extension answers the placeholder
};

// Makes the calling process (which must run one thread) an extension process: a session and
// process group of its own, /dev/null on standard input and error, `answerFd` on standard
// output and every other descriptor closed; then opens the widget's file once, without
// blocking, checks that descriptor (a regular file within the widget's limit) before
// reading anything, grants exactly it with Landlock (no TCP, no signals or abstract sockets
// beyond the process either) and installs the system-call filter. Without Landlock at all
// it goes on unconfined (the host says so); any other failing step sets `failed`.
// `filter`: the compiled system-call filter (empty: systemCallFilter()).
ExtensionSetup becomeExtension(const WidgetDescriptor& widget, int answerFd,
                               std::string_view filter = {});

// Extension side: becomes an extension process, asks the provider (reading the granted
// descriptor) and writes the answer as one JSON object to `answerFd`; then ends the process
// at once: 0, or 1 when the provider gave no answer.
[[noreturn]] void serveExtension(const WidgetDescriptor& widget, ExtensionRequest request,
                                 const TimelineProviderContext& context, int answerFd,
                                 std::string_view filter = {});

// The compiled system-call filter a host passes to an extension it starts, on descriptor 3,
// so that the extension need not compile it; empty when there is none.
std::string filterFromHost();

// Host side: the same widget, with its snapshot and timeline requests answered by extension
// processes (placeholder requests read nothing and stay in the host). While the host runs one
// thread, an extension process is a fork of it, which loads nothing; otherwise it is started
// from `executable` in extension mode. An extension that fails, hangs or answers nonsense is
// answered by the placeholder, and asked again 15 minutes later. `notice` is given what an
// extension says the host should tell people (every time: the caller says it once).
WidgetDescriptor isolatedDescriptor(WidgetDescriptor widget, std::string executable,
                                    std::function<void(const std::string&)> notice = nullptr,
                                    std::chrono::milliseconds timeout = kExtensionTimeout);

// An answer as an extension writes it: the timeline's entries in their wire form, its reload
// policy, and what goes beside them.
std::string answerText(const Timeline<HostEntry>& timeline, const AnswerNotes& notes);

// An extension's answer read back into host entries: nothing when any part of it is not what
// an extension writes (not JSON, nested deeper than kAnswerDepth, a missing or mistyped
// member, an entry the widget does not take). What came beside it goes to `notes`.
std::optional<Timeline<HostEntry>> timelineFromAnswer(const WidgetDescriptor& widget,
                                                      std::string_view answer,
                                                      AnswerNotes* notes = nullptr);

// The number of threads this process runs; 0 when unknown.
std::size_t threadCount();

// Whether this kernel can confine extensions; the reason when it cannot.
std::optional<std::string> confinementUnavailable();

}  // namespace halyard::host
