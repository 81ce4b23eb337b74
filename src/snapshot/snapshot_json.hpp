#pragma once
// The snapshot's JSON form: strict decoding (the widget's rules) and encoding (for writers).

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>

#include <nlohmann/json.hpp>

#include "snapshot/widget_snapshot.hpp"

namespace halyard {

// Why a document did not decode: where, what was expected, what was found.
struct DecodeError {
  std::string path;      // member path, such as "byProvider[2].bytes"; empty for the document
  std::string expected;  // such as "a signed 64-bit integer"
  std::string found;     // such as "the number 12.5"

  // One line for people: "byProvider[2].bytes: expected a signed 64-bit integer, found ...".
  std::string message() const;
};

// The outcome of decoding: a whole snapshot, or the first error met.
class DecodeResult {
 public:
  DecodeResult(WidgetSnapshot snapshot) : value_(std::move(snapshot)) {}
  DecodeResult(DecodeError error) : value_(std::move(error)) {}

  bool ok() const { return std::holds_alternative<WidgetSnapshot>(value_); }
  explicit operator bool() const { return ok(); }
  const WidgetSnapshot& snapshot() const& { return std::get<WidgetSnapshot>(value_); }
  WidgetSnapshot&& snapshot() && { return std::get<WidgetSnapshot>(std::move(value_)); }
  const DecodeError& error() const { return std::get<DecodeError>(value_); }

 private:
  std::variant<WidgetSnapshot, DecodeError> value_;
};

// Decodes one snapshot from a whole JSON document. The document is validated as a whole
// (well-formed JSON, valid UTF-8) before any member is read.
DecodeResult decodeSnapshot(std::string_view document);

// Room the parser needs after a document in its buffer.
inline constexpr std::size_t kSnapshotParserPadding = 64;

// The same, parsing in place: grows the buffer's capacity by kSnapshotParserPadding (a reader
// that leaves that room spares the copy) and releases the buffer (leaving it empty) once it
// has been parsed.
DecodeResult decodeSnapshotInPlace(std::string& buffer);

// The snapshot as a JSON object, members in the data model's order, nextBackup left out when
// absent, dates in UTC with whole seconds (or the precision asked for, for passing a
// snapshot between processes without losing anything).
nlohmann::ordered_json encodeSnapshot(const WidgetSnapshot& snapshot,
                                      DatePrecision dates = DatePrecision::seconds);

// encodeSnapshot as compact text.
std::string encodeSnapshotText(const WidgetSnapshot& snapshot);

}  // namespace halyard
