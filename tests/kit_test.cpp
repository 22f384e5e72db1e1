// Logging layer and console helpers of the platform kit.
#include "kit/console.h"
#include "kit/logging.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace Corvid::System;

namespace {

LogRecord record(Level aLevel, const std::string& aMessage) {
  return LogRecord{aLevel, "quill", "test", "Q-1", aMessage};
}

class UpperFormatter : public Formatter {
public:
  std::string format(const LogRecord& aRecord) const override { return "[" + aRecord.message + "]"; }
};

} // namespace

TEST(Logging, HandlerAtLevelBelowWarningCollectsWarningsAndSevere) {
  Logger* logger = Logger::getLogger("kit_test.levels");
  EXPECT_TRUE(logger->handlers().empty());
  std::ostringstream collected;
  StreamHandler handler(collected, nullptr);
  handler.setLevel(static_cast<Level>(127));
  logger->addHandler(&handler);

  logger->log(record(INFO, "info is dropped"));
  logger->log(record(WARNING, "careful"));
  logger->log(record(static_cast<Level>(127), "right at the threshold"));
  logger->log(record(SEVERE, "broken\n"));
  EXPECT_EQ(collected.str(), "WARNING: Q-1: careful\n127: Q-1: right at the threshold\nSEVERE: Q-1: broken\n");

  logger->removeHandler(&handler);
  EXPECT_TRUE(logger->handlers().empty());
  logger->log(record(SEVERE, "nobody listens"));
  EXPECT_EQ(collected.str().find("nobody"), std::string::npos);
}

TEST(Logging, LoggersAreNamedSingletonsAndHandlersFanOut) {
  EXPECT_EQ(Logger::getLogger("kit_test.a"), Logger::getLogger("kit_test.a"));
  EXPECT_NE(Logger::getLogger("kit_test.a"), Logger::getLogger("kit_test.b"));

  Logger* logger = Logger::getLogger("kit_test.fanout");
  std::ostringstream plain, custom;
  UpperFormatter formatter;
  StreamHandler plainHandler(plain, nullptr), customHandler(custom, &formatter);
  logger->addHandler(&plainHandler);
  logger->addHandler(&customHandler);
  logger->addHandler(&customHandler);
  EXPECT_EQ(logger->handlers().size(), 2u);
  logger->log(record(FINE, "fine"));
  EXPECT_EQ(plain.str(), "32: Q-1: fine\n");
  EXPECT_EQ(custom.str(), "[fine]");
  logger->removeHandler(&plainHandler);
  logger->removeHandler(&customHandler);
}

TEST(SimpleFormatter, LevelNamesAndSingleNewline) {
  SimpleFormatter formatter;
  EXPECT_EQ(formatter.format(record(INFO, "hello")), "INFO: Q-1: hello\n");
  EXPECT_EQ(formatter.format(record(WARNING, "two lines\nend\n")), "WARNING: Q-1: two lines\nend\n");
  EXPECT_EQ(formatter.format(record(OFF, "")), "255: Q-1: \n");
}

TEST(Console, PrintfFlushesAndCountsAndStrchrToleratesNull) {
  testing::internal::CaptureStdout();
  int written = voxPrintf("%s=%d\n", "x", 42);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "x=42\n");
  EXPECT_EQ(written, 5);

  EXPECT_EQ(lcp_strchr(nullptr, 'a'), nullptr);
  const char* text = "a.b";
  EXPECT_EQ(lcp_strchr(text, '.'), text + 1);
  EXPECT_EQ(lcp_strchr(text, 'z'), nullptr);
}
