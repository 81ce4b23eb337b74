#include "snapshot/snapshot_json.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/date/date.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

using namespace std::chrono;
using json = nlohmann::ordered_json;
using namespace std::string_literals;

// Its members are in the order the encoder writes them.
json exampleDocument() {
  return json::parse(testing::readFile(testing::sourcePath("examples/full.json")));
}

// Raw JSON (removed when empty) places numbers nlohmann would not write, such as 2^63.
std::string withMember(const std::string& pointer, const std::string& raw) {
  json doc = exampleDocument();
  const json::json_pointer at(pointer);
  if (raw.empty()) {
    doc[at.parent_pointer()].erase(at.back());
    return doc.dump();
  }
  doc[at] = "@@RAW@@";
  std::string text = doc.dump();
  text.replace(text.find("\"@@RAW@@\""), 9, raw);
  return text;
}

// Invalid UTF-8 is written as replacement characters, so that whatever is written decodes.
TEST(SnapshotDecoding, ExampleDecodesAndEncodesAgainAlike) {
  const DecodeResult result = decodeSnapshot(exampleDocument().dump());
  ASSERT_TRUE(result.ok()) << result.error().message();
  EXPECT_EQ(result.snapshot().topRepos[1],
            (WidgetSnapshot::RepoUsage{"documentos", "tarnBase", 412316860416}));
  EXPECT_EQ(encodeSnapshot(result.snapshot()).dump(), exampleDocument().dump());
  WidgetSnapshot s = result.snapshot();
  s.byProvider[0] = {"k\"ey", "línea\nnueva \\ <b>", 1};
  s.topRepos[0].name = "bad \xff byte";
  const DecodeResult back = decodeSnapshot(encodeSnapshotText(s));
  ASSERT_TRUE(back.ok());
  s.topRepos[0].name = "bad \xEF\xBF\xBD byte";
  EXPECT_EQ(back.snapshot(), s);
  json without = exampleDocument();
  without.erase("nextBackup");
  for (const std::string raw : {"", "null"}) {
    const DecodeResult absent = decodeSnapshot(withMember("/nextBackup", raw));
    ASSERT_TRUE(absent.ok()) << absent.error().message();
    EXPECT_EQ(encodeSnapshot(absent.snapshot()).dump(), without.dump());
  }
}

TEST(SnapshotDecoding, MissingOrNullRequiredMemberFailsWithItsPath) {
  const char* const paths[] = {
      // The document's own members.
      "generatedAt", "repoCount", "archiveCount", "totalUsageBytes", "byProvider", "topRepos",
      // Health, then those of a provider, a repository and the next backup.
      "health", "byProvider[1].providerKey", "byProvider[0].label", "byProvider[1].bytes",
      "topRepos[0].name", "topRepos[1].providerKey", "topRepos[1].bytes", "nextBackup.repoName",
      "nextBackup.scheduleName", "nextBackup.fireDate"};
  for (const std::string raw : {"", "null"}) {
    for (const std::string path : paths) {
      std::string pointer = "/" + path;  // "/byProvider/1/bytes" for "byProvider[1].bytes"
      std::replace_if(
          pointer.begin(), pointer.end(), [](char c) { return c == '[' || c == '.'; }, '/');
      std::erase(pointer, ']');
      const DecodeResult result = decodeSnapshot(withMember(pointer, raw));
      ASSERT_FALSE(result.ok()) << pointer << " as " << (raw.empty() ? "missing" : raw);
      EXPECT_EQ(result.error().path, path);
    }
  }
}

// Integers are whole and signed 64-bit; health is one of three exact texts.
TEST(SnapshotDecoding, MembersTakeTheirTypeAndRange) {
  // What the refusal says it found; none: accepted as written.
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"/repoCount", "9223372036854775807", nullptr},
      {"/repoCount", "-9223372036854775808", nullptr},
      {"/health", "\"running\"", nullptr},
      {"/health", "\"error\"", nullptr},
      {"/repoCount", "true", "true"},
      {"/repoCount", "\"12\"", "the string \"12\""},
      {"/repoCount", "12.5", "the number 12.5"},
      {"/repoCount", "3.0", "the number 3.0"},
      {"/archiveCount", "9223372036854775808", "the number 9223372036854775808"},
      {"/totalUsageBytes", "[1]", "an array"},
      {"/byProvider/0/bytes", "-9223372036854775809", "Problem while parsing a number"},
      {"/byProvider", "{}", "an object"},
      {"/topRepos", "\"[]\"", "the string \"[]\""},
      {"/byProvider/0", "3", "the number 3"},
      {"/nextBackup", "\"tomorrow\"", "the string \"tomorrow\""},
      {"/byProvider/0/label", "42", "the number 42"},
      {"/topRepos/0/name", "{}", "an object"},
      {"/generatedAt", "1773480600", "the number 1773480600"},
      {"/nextBackup/fireDate", "\"2026-02-30T09:30:00Z\"", "the string \"2026-02-30T09:30:00Z\""},
      {"/health", "\"OK\"", "the string \"OK\""},
      {"/health", "0", "the number 0"},
      {"/health", "\"" + std::string(50, 'x') + "\"",
       "the string \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\""},
  };
  for (const auto& [pointer, raw, found] : cases) {
    const DecodeResult result = decodeSnapshot(withMember(pointer, raw));
    ASSERT_EQ(result.ok(), found == nullptr) << pointer << " = " << raw;
    if (found) {
      EXPECT_EQ(result.error().found, found) << pointer << " = " << raw;
    } else {
      EXPECT_EQ(encodeSnapshot(result.snapshot())[json::json_pointer(pointer)].dump(), raw);
    }
  }
  EXPECT_EQ(decodeSnapshot(withMember("/byProvider/1/bytes", "12.5")).error().message(),
            "byProvider[1].bytes: expected a signed 64-bit integer, found the number 12.5");
  EXPECT_EQ(decodeSnapshot("[]").error().message(), "document: expected an object, found an array");
}

// Ignored members must be well-formed too, but may hold anything.
TEST(SnapshotDecoding, WholeDocumentMustBeWellFormedWhatItHoldsIsFree) {
  const std::string good = exampleDocument().dump();
  const auto nested = [](std::size_t depth, const std::string& document) {
    return "{\"x\":" + std::string(depth, '[') + std::string(depth, ']') + "," + document.substr(1);
  };
  for (const std::string& bad :
       {"{\"x\":\"\xff\xfe\"," + good.substr(1), "\xEF\xBB\xBF" + good,
        withMember("/byProvider/0/label", "\"\\ud800\""), nested(70000, good), good + "}",
        good.substr(0, good.size() / 2), "null"s, "3"s, "\"x\""s, ""s, "{"s, "{}"s}) {
    EXPECT_FALSE(decodeSnapshot(bad).ok()) << bad.substr(0, 80);
  }

  json doc = exampleDocument();
  doc["writer"] = {{"nested", {1, 2, {{"deep", nullptr}}}}};
  doc["byProvider"][0]["colour"] = "#ff0000";
  doc["nextBackup"]["jitter"] = 1.5;
  doc["byProvider"].push_back(doc["byProvider"][0]);
  doc["byProvider"][0]["label"] = "";
  json reordered = json::object();
  for (auto it = doc.rbegin(); it != doc.rend(); ++it)
    reordered[it.key()] = it.value();
  // Of a repeated name, the first occurrence counts.
  const DecodeResult result =
      decodeSnapshot(nested(2000, "{\"totalUsageBytes\":-500," + reordered.dump().substr(1)));
  ASSERT_TRUE(result.ok()) << result.error().message();
  EXPECT_EQ(result.snapshot().totalUsageBytes, -500);
  EXPECT_EQ(result.snapshot().byProvider[0].label, "");
  EXPECT_EQ(result.snapshot().byProvider[3].label, "Local");
}

// Created once, whichever thread gets there first (run alone under ThreadSanitizer in CI).
TEST(SnapshotModel, PlaceholderIsCreatedOnceUnderThreads) {
  std::vector<WidgetSnapshot> seen(8);
  {
    std::vector<std::jthread> threads;
    for (auto& slot : seen)
      threads.emplace_back([&slot] { slot = WidgetSnapshot::placeholder(); });
  }
  for (const auto& s : seen)
    EXPECT_EQ(s, seen.front());
}

Date utc(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0, int us = 0) {
  return Date{sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{mi} + seconds{s} +
              microseconds{us}};
}

TEST(Rfc3339, ParsesDateTimesWithAZoneOnlyAndWritesUtc) {
  const std::pair<const char*, Date> cases[] = {
      {"2026-03-14t09:30:00z", utc(2026, 3, 14, 9, 30)},
      {"2026-03-14T11:30:00+02:00", utc(2026, 3, 14, 9, 30)},
      {"2026-03-14T00:30:00-10:15", utc(2026, 3, 14, 10, 45)},
      {"2026-03-14T09:30:00.5Z", utc(2026, 3, 14, 9, 30, 0, 500000)},
      {"2026-03-14T09:30:00.123456789Z", utc(2026, 3, 14, 9, 30, 0, 123456)},
      {"2024-02-29T23:59:59Z", utc(2024, 2, 29, 23, 59, 59)},
      {"2026-12-31T23:30:00-01:00", utc(2027, 1, 1, 0, 30)},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(parseRfc3339(text), expected) << text;
  const char* const refused[] = {
      // Not a date-time with a zone.
      "", "1773480600", "2026-03-14", "2026-03-14T09:30:00", "2026-03-14T09:30Z",
      "26-03-14T09:30:00Z", "2026-3-14T09:30:00Z", "2026-03-14 09:30:00Z",
      // A field out of range, a malformed fraction or offset, or anything around the date-time.
      "2026-02-30T09:30:00Z", "2025-02-29T09:30:00Z", "2026-13-01T00:00:00Z",
      "2026-03-14T24:00:00Z", "2026-03-14T09:60:00Z", "2026-03-14T09:30:60Z",
      "2026-03-14T09:30:00.Z", "2026-03-14T09:30:00+0200", "2026-03-14T09:30:00+24:00",
      "2026-03-14T09:30:00+02", "2026-03-14T09:30:00Z ", " 2026-03-14T09:30:00Z"};
  for (const char* text : refused) {
    EXPECT_FALSE(parseRfc3339(text).has_value()) << '"' << text << '"';
  }
  const Date date = utc(2026, 12, 6, 15, 42, 38, 123987);
  EXPECT_EQ(formatRfc3339(date), "2026-12-06T15:42:38Z");
  EXPECT_EQ(formatRfc3339(date, true), "2026-12-06T15:42:38.123Z");
  EXPECT_EQ(formatRfc3339(date, DatePrecision::microseconds), "2026-12-06T15:42:38.123987Z");
  EXPECT_EQ(formatRfc3339(utc(1969, 12, 31, 23, 59, 59, 999000), true), "1969-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace halyard
