// Any bytes, taken as an extension's answer, are either refused or read into a timeline of the
// widget's own entries, without a crash, a deep recursion or unbounded memory. And where the
// same bytes are a snapshot document the widget decodes, the answer an extension writes for
// it reads back to exactly that snapshot.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/host/extension.hpp"
#include "snapshot/snapshot_json.hpp"
#include "widget/halyard_widget_bundle.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace halyard;
  static const host::WidgetDescriptor widget = HalyardWidgetBundle().body().front();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  host::AnswerNotes notes;
  if (const auto timeline = host::timelineFromAnswer(widget, bytes, &notes)) {
    for (const auto& entry : timeline->entries) {
      if (!entry.json().is_object()) std::abort();
    }
  }

  DecodeResult decoded = decodeSnapshot(bytes);
  if (!decoded) return 0;
  const nlohmann::ordered_json wire{
      {"snapshot", encodeSnapshot(decoded.snapshot(), DatePrecision::microseconds)}};
  const Date date = decoded.snapshot().generatedAt;
  auto entry = widget.entryFromWire(date, wire);
  if (!entry) std::abort();
  host::Timeline<host::HostEntry> sent;
  sent.entries.push_back(std::move(*entry));
  sent.policy = host::TimelineReloadPolicy::after(date);
  const auto received = host::timelineFromAnswer(widget, host::answerText(sent, {}), nullptr);
  if (!received || received->entries.size() != 1 || received->entries[0].date != date ||
      received->entries[0].json() != sent.entries[0].json() || !(received->policy == sent.policy)) {
    std::abort();
  }
  return 0;
}
