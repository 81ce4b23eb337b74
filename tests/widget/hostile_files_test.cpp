// Whatever lies at the snapshot path, the program comes back promptly: with the file's data
// when it decodes, with the placeholder otherwise. Each case runs the real program in a
// private mount namespace whose home directory is a fresh temporary one, so that the user's
// own files are never touched.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "platform/host/child_process.hpp"
#include "snapshot/snapshot_file.hpp"
#include "test_support.hpp"

namespace halyard {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs halyard-widget with `arguments`, with `home` mounted over the account's home
// directory, for at most `seconds`.
Outcome runWithHome(const std::string& home, const std::string& arguments, int seconds = 20,
                    const std::string& environment = "") {
  testing::TempDir capture;
  const std::string command = "timeout -s KILL " + std::to_string(seconds) +
                              " unshare --mount --map-root-user sh -c 'mount --bind \"$0\" "
                              "\"$(getent passwd \"$(id -u)\" | cut -d: -f6)\" && exec \"$@\"' '" +
                              home + "' " + environment + HALYARD_WIDGET_BINARY + " " + arguments +
                              " >" + capture.file("out") + " 2>" + capture.file("err") +
                              " </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readFile(capture.file("out")),
          testing::readFile(capture.file("err"))};
}

bool namespacesWork() {
  testing::TempDir home;
  return runWithHome(home.path().string(), "describe").status == 0;
}

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!namespacesWork()) GTEST_SKIP() << "no private mount namespaces here (unshare)";
    directory_ = home_.path() / "Library/Application Support/Halyard";
    fs::create_directories(directory_);
  }
  std::string snapshotPath() const { return (directory_ / "widget-snapshot.json").string(); }

  // The snapshot the `timeline` command answers with; fails the test when it is slow,
  // fails, or prints something that is not a timeline.
  nlohmann::json timelineSnapshot() {
    const Outcome run = runWithHome(home_.path().string(), "timeline");
    EXPECT_EQ(run.status, 0) << run.err;
    const auto doc = nlohmann::json::parse(run.out, nullptr, false);
    if (doc.is_discarded() || !doc.contains("entries")) {
      ADD_FAILURE() << "not a timeline: " << run.out.substr(0, 200);
      return {};
    }
    return doc["entries"][0]["snapshot"];
  }

  // Whether `render` comes back promptly with a picture (of every family unless one is
  // named); what it said goes to `said`.
  bool renders(const std::string& family = "", std::string* said = nullptr) {
    testing::TempDir out;
    const Outcome run = runWithHome(
        home_.path().string(), "render " + (family.empty() ? "" : "--family " + family) + " -o '" +
                                   out.path().string() + "'");
    EXPECT_EQ(run.status, 0) << run.err;
    if (said != nullptr) *said = run.err;
    return run.status == 0 &&
           testing::decodedPngFileSize(
               out.file(family.empty() ? "halyard-large.png" : "halyard-" + family + ".png"))
                   .first > 0;
  }

  testing::TempDir home_;
  fs::path directory_;
};

bool isPlaceholder(const nlohmann::json& snapshot) {
  return snapshot.value("repoCount", -1) == 0 && snapshot["byProvider"].empty() &&
         !snapshot.contains("nextBackup");
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// Each gives the placeholder, and `render` says why once (exit status 0); a missing file is
// not a refusal. A file the kernel cannot grant (a link to a namespace) gives the placeholder
// without a byte read; one over the size limit, sparse, is refused before it is read.
TEST_F(HostileFiles, ThingsThatAreNotADocumentGiveThePlaceholder) {
  const std::string path = snapshotPath();
  const std::string example = testing::readFile(testing::sourcePath("examples/full.json"));
  struct Case {
    const char* name;
    std::function<void()> make;
    const char* said;  // what render says once; nothing: it says nothing
  };
  const Case cases[] = {
      {"missing", [] {}, nullptr},
      {"empty file", [&] { testing::writeFile(path, ""); }, "expected well-formed JSON"},
      {"truncated document",
       [&] { testing::writeFile(path, example.substr(0, example.size() / 2)); },
       "expected well-formed JSON"},
      {"directory", [&] { fs::create_directory(path); }, "not a regular file"},
      {"fifo without a writer", [&] { ::mkfifo(path.c_str(), 0600); }, "not a regular file"},
      {"link to /dev/zero", [&] { fs::create_symlink("/dev/zero", path); }, "not a regular file"},
      {"link to /dev/urandom", [&] { fs::create_symlink("/dev/urandom", path); },
       "not a regular file"},
      {"dangling link", [&] { fs::create_symlink(path + ".nowhere", path); }, nullptr},
      {"link loop", [&] { fs::create_symlink(path, path); }, "Too many levels of symbolic links"},
      {"invalid UTF-8 in an ignored member",
       [&] { testing::writeFile(path, "{\"x\":\"\xff\xfe\"," + example.substr(1)); },
       "expected well-formed JSON"},
      {"link to a network namespace", [&] { fs::create_symlink("/proc/self/ns/net", path); },
       "could not confine itself"},
      {"sparse file of 8 GiB",
       [&] {
         { std::ofstream create(path); }
         fs::resize_file(path, std::uint64_t{8} << 30);
       },
       "larger than 256 MiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(path);
    c.make();
    EXPECT_TRUE(isPlaceholder(timelineSnapshot()));
    std::string said;
    EXPECT_TRUE(renders("", &said));
    if (c.said == nullptr) {
      EXPECT_EQ(said.find("halyard-widget:"), std::string::npos) << said;
    } else {
      EXPECT_EQ(occurrences(said, "halyard-widget:"), 1u) << said;
      EXPECT_EQ(occurrences(said, c.said), 1u) << said;
    }
  }
}

// `run` tells why it refuses the file once per change of the file, and once when it reads
// the file again.
TEST_F(HostileFiles, RunTellsOnceWhyTheFileIsRefused) {
  using namespace std::chrono_literals;
  const std::string path = snapshotPath();
  testing::writeFile(path, "[]");
  testing::TempDir dir;
  testing::ChildProcess run(
      {"/usr/bin/unshare", "--mount", "--map-root-user", "sh", "-c",
       "mount --bind \"$0\" \"$(getent passwd \"$(id -u)\" | cut -d: -f6)\" && exec \"$@\"",
       home_.path().string(), HALYARD_WIDGET_BINARY, "run", "-o", dir.file("w.png"),
       "--debounce-ms", "50", "--appearance", "light"},
      {}, dir.file("out"), dir.file("err"));
  const auto lines = [&](const std::string& part) {
    return occurrences(testing::readFile(dir.file("err")), part);
  };
  const auto until = [&](const std::string& part, std::size_t count) {
    return testing::eventually([&] { return lines(part) >= count; }, 10s);
  };
  ASSERT_TRUE(until("warning:", 1)) << testing::readFile(dir.file("err"));
  testing::writeFile(path, "[]");  // changed, refused alike
  ASSERT_TRUE(until("warning:", 2)) << testing::readFile(dir.file("err"));
  testing::writeFile(path, R"({"repoCount":"many"})");
  ASSERT_TRUE(until("warning:", 3)) << testing::readFile(dir.file("err"));
  testing::writeFile(path, testing::readFile(testing::sourcePath("examples/full.json")));
  ASSERT_TRUE(until("read again", 1)) << testing::readFile(dir.file("err"));
  run.signal(SIGTERM);
  EXPECT_EQ(run.wait(10s), 0);
  const std::string said = testing::readFile(dir.file("err"));
  EXPECT_EQ(occurrences(said, "halyard-widget:"), 4u) << said;
  EXPECT_EQ(occurrences(said, "Halyard/widget-snapshot.json: document: expected an object"), 2u)
      << said;
  EXPECT_EQ(occurrences(said, "generatedAt: expected"), 1u) << said;
}

// As a user who may not read the file (root may read anything, so the program runs as another
// user of a private user namespace, whose home comes from HOME).
TEST(HostileFilesAsAUser, AFileWithoutReadPermissionGivesThePlaceholder) {
  constexpr const char* kUser = "54321";
  if (std::system((std::string("getent passwd ") + kUser + " >/dev/null").c_str()) == 0)
    GTEST_SKIP() << "user " << kUser << " exists here";
  testing::TempDir home;
  const fs::path folder = home.path() / "Library/Application Support/Halyard";
  fs::create_directories(folder);
  const std::string file = (folder / "widget-snapshot.json").string();
  testing::writeFile(file, testing::readFile(testing::sourcePath("examples/full.json")));
  const auto run = [&](const std::string& arguments) {
    testing::TempDir capture;
    const std::string command = "timeout -s KILL 20 unshare --map-user=" + std::string(kUser) +
                                " --map-group=" + kUser + " env HOME='" + home.path().string() +
                                "' " + HALYARD_WIDGET_BINARY + " " + arguments + " >" +
                                capture.file("out") + " 2>" + capture.file("err");
    const int raw = std::system(command.c_str());
    return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::readFile(capture.file("out")),
                   testing::readFile(capture.file("err"))};
  };
  const Outcome readable = run("timeline");
  if (readable.status != 0) GTEST_SKIP() << "no private user namespaces here: " << readable.err;
  EXPECT_NE(readable.out.find("\"archiveCount\":128"), std::string::npos) << readable.out;

  ::chmod(file.c_str(), 0);
  const Outcome denied = run("timeline");
  EXPECT_EQ(denied.status, 0) << denied.err;
  EXPECT_NE(denied.out.find("\"archiveCount\":0"), std::string::npos) << denied.out;
  const Outcome render = run("render --family large -o '" + home.file("w.png") + "'");
  EXPECT_EQ(render.status, 0) << render.err;
  EXPECT_NE(testing::decodedPngFileSize(home.file("w.png")).first, 0u);
}

TEST_F(HostileFiles, AFifoWithAWriterThatNeverStops) {
  const std::string path = snapshotPath();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    ::execl("/bin/sh", "sh", "-c", ("exec yes '[' > '" + path + "'").c_str(), nullptr);
    ::_exit(127);
  }
  EXPECT_TRUE(isPlaceholder(timelineSnapshot()));
  EXPECT_TRUE(renders("medium"));
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
}

TEST_F(HostileFiles, StrangeButValidDocumentsAreShownAsTheyAre) {
  nlohmann::json doc =
      nlohmann::json::parse(testing::readFile(testing::sourcePath("examples/full.json")));
  doc["deep"] = nlohmann::json::parse(std::string(2000, '[') + std::string(2000, ']'));
  doc["byProvider"][0]["label"] = "\x01\x02\t\n\x1b[31m rojo";
  doc["byProvider"][1]["label"] = "<b>negrita</b> &amp; <span foreground='red'>x</span>";
  doc["topRepos"][0]["name"] = "\u202eevil\u202c \u2067x\u2069";
  doc["topRepos"][1]["name"] = std::string(10000, 'n');
  testing::writeFile(snapshotPath(), doc.dump());
  const nlohmann::json shown = timelineSnapshot();
  ASSERT_EQ(shown.value("repoCount", -1), doc["repoCount"]);
  EXPECT_EQ(shown["byProvider"].at(1)["label"], doc["byProvider"][1]["label"]);
  EXPECT_EQ(shown["topRepos"].at(1)["name"].get<std::string>().size(), 10000u);
  EXPECT_TRUE(renders("medium"));
  EXPECT_TRUE(renders("large"));
}

// The drawing part of `render` runs confined to fonts, time-zone data and its output folder;
// it draws exactly what the unconfined `preview` draws, also where a name needs a fallback
// font that nothing had loaded before.
TEST_F(HostileFiles, ConfinedRenderDrawsWhatPreviewDraws) {
  nlohmann::json doc =
      nlohmann::json::parse(testing::readFile(testing::sourcePath("examples/full.json")));
  doc["generatedAt"] = "2019-01-01T00:00:00Z";  // years ago: the same text for both runs
  doc["nextBackup"]["fireDate"] = "2099-01-01T00:00:00Z";
  doc["topRepos"][0]["name"] = "גיבוי ישן";
  testing::writeFile(snapshotPath(), doc.dump());
  testing::TempDir out;
  for (const char* family : {"medium", "large"}) {
    SCOPED_TRACE(family);
    const std::string rendered = out.file(std::string("render-") + family + ".png");
    const std::string previewed = out.file(std::string("preview-") + family + ".png");
    const Outcome render = runWithHome(
        home_.path().string(), std::string("render --family ") + family + " -o '" + rendered + "'");
    ASSERT_EQ(render.status, 0) << render.err;
    const std::string preview = std::string(HALYARD_WIDGET_BINARY) + " preview '" + snapshotPath() +
                                "' --family " + family + " -o '" + previewed + "' >/dev/null";
    ASSERT_EQ(std::system(preview.c_str()), 0);
    EXPECT_NE(testing::decodedPngFileSize(rendered).first, 0u);
    EXPECT_TRUE(testing::readFile(rendered) == testing::readFile(previewed));
  }
}

// Read whole, as designed, and decoded within this machine's memory, up to the size limit.
TEST_F(HostileFiles, AQuarterGigabyteDocumentIsReadAndDecoded) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // Under a sanitizer the extension needs several times the memory and far more than its
  // 10 seconds; the production build is what this case is about.
  GTEST_SKIP() << "not meaningful under a sanitizer";
#endif
  const std::string example = testing::readFile(testing::sourcePath("examples/full.json"));
  {
    std::ofstream out(snapshotPath(), std::ios::binary);
    out << "{\"padding\":\"";
    const std::string block(1 << 20, 'a');
    for (int i = 0; i < 255; ++i)
      out << block;
    out << "\"," << example.substr(1);
  }
  const nlohmann::json shown = timelineSnapshot();
  EXPECT_EQ(shown.value("archiveCount", -1), 128);
  EXPECT_TRUE(renders("large"));
}

// The file is where the user database puts the home directory, whatever HOME says, also for
// the confined process that reads it.
TEST_F(HostileFiles, TheFileIsFoundThroughTheUserDatabaseWhateverHomeSays) {
  testing::writeFile(snapshotPath(), testing::readFile(testing::sourcePath("examples/full.json")));
  const Outcome run = runWithHome(home_.path().string(), "timeline", 20, "env HOME=/nowhere ");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto doc = nlohmann::json::parse(run.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << run.out;
  EXPECT_EQ(doc["entries"][0]["snapshot"].value("archiveCount", -1), 128) << run.out;
}

// The answers that come through the confined extension process are those of the provider
// running in this process, for every example and for malformed documents.
TEST_F(HostileFiles, ExtensionAnswersEqualTheProvidersOwn) {
  std::vector<std::string> documents;
  for (const auto& entry : fs::directory_iterator(testing::sourcePath("examples"))) {
    documents.push_back(testing::readFile(entry.path().string()));
  }
  documents.push_back(R"({"generatedAt":"2026-03-14T09:30:00.25Z"})");
  documents.push_back("[]");
  documents.push_back(R"({"health":"OK"})");
  for (const std::string& document : documents) {
    testing::writeFile(snapshotPath(), document);
    const auto local = loadSnapshot(snapshotPath());
    const nlohmann::json shown = timelineSnapshot();
    if (local) {
      EXPECT_EQ(shown, nlohmann::json::parse(encodeSnapshotText(*local)));
    } else {
      EXPECT_TRUE(isPlaceholder(shown));
    }
  }
}

}  // namespace
}  // namespace halyard
