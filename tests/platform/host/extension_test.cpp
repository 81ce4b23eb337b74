// Requests answered by extension processes: forked while the host runs one thread, started
// from the program's executable otherwise; either way with the provider's own answer.
#include <gtest/gtest.h>

#include <cstdlib>
#include <future>
#include <thread>

#include "platform/host/extension.hpp"
#include "stub_widget.hpp"
#include "test_support.hpp"

namespace halyard::testing {
namespace {

TEST(Extensions, AnswerAsTheProviderWhetherForkedOrStarted) {
  TempDir dir;
  const std::string file = dir.file("shown.txt");
  writeFile(file, "hola");
  // The stub host started from its executable shows the file this variable names.
  ::setenv("STUB_WIDGET_FILE", file.c_str(), 1);
  const host::WidgetDescriptor widget =
      host::isolatedDescriptor(stubWidget(stubOptions(file)), STUB_HOST_BINARY);
  const host::TimelineProviderContext context{host::WidgetFamily::systemMedium, false,
                                              host::familySize(host::WidgetFamily::systemMedium)};
  const auto shown = [&] {
    const auto timeline = widget.timeline(context);
    return timeline ? timeline->entries.front().json().value("text", "") : "";
  };
  const bool forks = host::threadCount() == 1;
  EXPECT_EQ(shown(), "hola");

  std::promise<void> stop;
  std::thread other([done = stop.get_future()] { done.wait(); });
  EXPECT_GT(host::threadCount(), 1u);
  writeFile(file, "adiós");
  EXPECT_EQ(shown(), "adiós");
  stop.set_value();
  other.join();
  ::unsetenv("STUB_WIDGET_FILE");
  if (!forks) GTEST_SKIP() << "threads were running already: the forked path went untested";
}

}  // namespace
}  // namespace halyard::testing
