#pragma once
// Widgets answer the host from extension processes: for every snapshot or timeline request
// the host starts a fresh, short-lived process of its own program in extension mode, which
// confines itself to reading the widget's one file, asks the widget's provider, writes the
// answer to a pipe and ends. A file that appears later is granted to the next process, and a
// widget that crashes or hangs takes nothing of the host with it.

#include <iosfwd>
#include <string>

#include "platform/host/widget_configuration.hpp"

namespace halyard::host {

// The hidden command that starts extension mode.
inline constexpr const char* kExtensionCommand = "__extension";

enum class ExtensionRequest { snapshot, timeline };

// How long the host waits for an extension's answer before it gives up on it.
inline constexpr std::chrono::seconds kExtensionTimeout{10};

// Extension side: confines the process to the widget's readable file, asks the provider and
// writes the answer as one JSON object to `out`. Returns the exit status: 0, or 1 when the
// provider gave no answer.
int serveExtension(const WidgetDescriptor& widget, ExtensionRequest request,
                   const TimelineProviderContext& context, std::ostream& out);

// Host side: the same widget, with its snapshot and timeline requests answered by extension
// processes (placeholder requests read nothing and stay in the host). While the host runs one
// thread, an extension process is a fork of it, which loads nothing; otherwise it is started
// from `executable` in extension mode. An extension that fails, hangs or answers nonsense is
// answered by the placeholder, and asked again 15 minutes later.
WidgetDescriptor isolatedDescriptor(WidgetDescriptor widget, std::string executable);

// The number of threads this process runs; 0 when unknown.
std::size_t threadCount();

// Whether this kernel can confine extensions; the reason when it cannot.
std::optional<std::string> confinementUnavailable();

}  // namespace halyard::host
