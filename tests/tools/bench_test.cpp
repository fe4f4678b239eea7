// kelvo-bench run as a user runs it, on tiny cases so it stays quick.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "run_tool.h"
#include "support/test_support.h"

namespace {

using tool_run::Lines;
using tool_run::Result;

Result Bench(const std::string& args) { return tool_run::Run(KELVO_BENCH, args); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

TEST(Bench, TimesEachModeAndShadingAsAsked) {
  const Result r = Bench("--mode 32x24x8,48x32x16 --shading 0,4 --frames 2 --csv");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  const std::vector<std::string> lines = Split(r.output, '\n');
  ASSERT_EQ(lines.size(), 5u) << r.output;
  EXPECT_EQ(lines[0].rfind("mode,shading,frames,fps,", 0), 0u) << lines[0];
  const char* expected[4][2] = {{"32x24x8", "0"}, {"32x24x8", "4"}, {"48x32x16", "0"}, {"48x32x16", "4"}};
  for (size_t i = 0; i < 4; ++i) {
    const std::vector<std::string> fields = Split(lines[i + 1], ',');
    ASSERT_EQ(fields.size(), 10u) << lines[i + 1];
    EXPECT_EQ(fields[0], expected[i][0]);
    EXPECT_EQ(fields[1], expected[i][1]);
    EXPECT_EQ(fields[2], "2");
    EXPECT_GT(std::stod(fields[7]), 0.0) << "pixels drawn: " << lines[i + 1];
    EXPECT_EQ(fields[9], "0") << "allocations: " << lines[i + 1];
  }

  const Result table = Bench("--mode 32x24x32 --shading 5 --frames 1");
  ASSERT_EQ(table.status, 0) << table.errors;
  EXPECT_NE(table.output.find("32x24x32"), std::string::npos) << table.output;
  EXPECT_NE(table.output.find("(none per frame)"), std::string::npos) << table.output;
}

TEST(Bench, HelpGoesToStandardOutput) {
  for (const char* args : {"--help", "-h", "--frames 0 --help"}) {
    SCOPED_TRACE(args);
    const Result r = Bench(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("usage: kelvo-bench", 0), 0u) << r.output;
    EXPECT_EQ(r.errors, "");
  }
}

TEST(Bench, CommandLineMistakesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"--bogus", "unknown argument '--bogus'"},
      {"stray", "unknown argument 'stray'"},
      {"--csv --csv", "--csv given twice"},
      {"--mode 32x24x8 --mode 48x32x8", "--mode given twice"},
      {"--frames", "missing value after --frames"},
      {"--mode 8x8x8", "bad --mode '8x8x8'"},
      {"--mode 32x24x8,", "bad --mode '32x24x8,'"},
      {"--mode 32x24x12", "bad --mode '32x24x12'"},
      {"--shading 6", "bad --shading '6'"},
      {"--shading 0,x", "bad --shading '0,x'"},
      {"--frames 0", "bad --frames '0'"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const Result r = Bench(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind(std::string("kelvo-bench: ") + message, 0), 0u) << r.errors;
    EXPECT_EQ(r.output, "");
  }
}

TEST(Bench, MissingDataFailsWithStatusOne) {
  testing_support::ScratchDir empty;
  const Result r = Bench("--assets " + tool_run::Quote(empty.path()) + " --mode 32x24x8 --frames 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(Lines(r.errors), 1);
  EXPECT_NE(r.errors.find("kelvo-bench: "), std::string::npos) << r.errors;
}

}  // namespace
