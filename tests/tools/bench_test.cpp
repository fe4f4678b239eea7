// kelvo-bench run as a user runs it, on tiny cases so it stays quick.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "run_tool.h"
#include "support/test_support.h"

namespace {

using tool_run::Lines;
using tool_run::Result;

Result Bench(const std::string& args, const tool_run::Before& before = {}) {
  return tool_run::Run(KELVO_BENCH, args, before);
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
  return parts;
}

// The CSV's rows as fields, the header checked and left out.
std::vector<std::vector<std::string>> CsvRows(const Result& r, size_t columns) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = Split(r.output, '\n');
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return rows;
  EXPECT_EQ(lines[0].rfind("mode,shading,threads,frames,fps,", 0), 0u) << lines[0];
  EXPECT_EQ(Split(lines[0], ',').size(), columns) << lines[0];
  for (size_t i = 1; i < lines.size(); ++i) {
    rows.push_back(Split(lines[i], ','));
    EXPECT_EQ(rows.back().size(), columns) << lines[i];
    rows.back().resize(columns);
  }
  return rows;
}

// Columns of the CSV.
enum Column {
  kMode,
  kShading,
  kThreads,
  kFrames,
  kFps,
  kNsPerFrame,
  kNsPerPixel,
  kLimitNs,
  kPixels,
  kClearNs,
  kAllocations,
  kArgbNs,
  kShrinkNs,
  kShrinkSize,
  kFullArgbNs,
  kFullShrinkNs
};

TEST(Bench, TimesEachModeAndShadingAsAsked) {
  const Result r = Bench("--mode 32x24x8,48x32x16 --shading 0,4 --threads 1 --frames 2 --csv");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  const auto rows = CsvRows(r, 11);
  ASSERT_EQ(rows.size(), 4u) << r.output;
  const char* expected[4][2] = {
      {"32x24x8", "0"}, {"32x24x8", "4"}, {"48x32x16", "0"}, {"48x32x16", "4"}};
  for (size_t i = 0; i < 4; ++i) {
    const std::vector<std::string>& fields = rows[i];
    EXPECT_EQ(fields[kMode], expected[i][0]);
    EXPECT_EQ(fields[kShading], expected[i][1]);
    EXPECT_EQ(fields[kThreads], "1");
    EXPECT_EQ(fields[kFrames], "2");
    EXPECT_GT(std::stod(fields[kPixels]), 0.0) << "pixels drawn: " << i;
    EXPECT_EQ(fields[kAllocations], "0") << "allocations: " << i;
  }

  const Result table = Bench("--mode 32x24x32 --shading 5 --frames 1");
  ASSERT_EQ(table.status, 0) << table.errors;
  EXPECT_NE(table.output.find("32x24x32"), std::string::npos) << table.output;
  EXPECT_NE(table.output.find("(none per frame)"), std::string::npos) << table.output;
}

// Each thread count gets its row; the threads share out the same frames, so
// the pixels drawn are the same for any count.
TEST(Bench, SizesDepthsAndThreadCounts) {
  const Result r =
      Bench("--threads 1,2 --sizes 64x48,80x16 --depths 8,32 --shading 0,2 --frames 2 --csv");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  const auto rows = CsvRows(r, 11);
  ASSERT_EQ(rows.size(), 16u) << r.output;
  size_t i = 0;
  for (const char* mode : {"64x48x8", "64x48x32", "80x16x8", "80x16x32"}) {
    for (const char* shading : {"0", "2"}) {
      const std::vector<std::string>& one = rows[i];
      const std::vector<std::string>& two = rows[i + 1];
      SCOPED_TRACE(std::string(mode) + " shading " + shading);
      EXPECT_EQ(one[kMode], mode);
      EXPECT_EQ(two[kMode], mode);
      EXPECT_EQ(one[kShading], shading);
      EXPECT_EQ(two[kShading], shading);
      EXPECT_EQ(one[kThreads], "1");
      EXPECT_EQ(two[kThreads], "2");
      const std::string side = Split(mode, 'x')[0], height = Split(mode, 'x')[1];
      const double screen = std::stod(side) * std::stod(height);
      for (const auto* row : {&one, &two}) {
        EXPECT_EQ((*row)[kFrames], "2");
        // Opaque faces that face the viewer never overlap: at most the screen.
        EXPECT_GT(std::stod((*row)[kPixels]), 0.0);
        EXPECT_LE(std::stod((*row)[kPixels]), screen);
        EXPECT_GT(std::stod((*row)[kNsPerFrame]), 0.0);
        EXPECT_GT(std::stod((*row)[kLimitNs]), 0.0);
        EXPECT_GT(std::stod((*row)[kClearNs]), 0.0);
        EXPECT_GT(std::stod((*row)[kFps]), 0.0);
        EXPECT_EQ((*row)[kAllocations], "0");
      }
      EXPECT_EQ(one[kPixels], two[kPixels]);
      i += 2;
    }
  }

  // The table ends with one line per size and thread count.
  const Result table =
      Bench("--threads 2,1 --sizes 64x48,128x96 --depths 16 --shading 1 --frames 1");
  ASSERT_EQ(table.status, 0) << table.errors;
  const std::vector<std::string> lines = Split(table.output, '\n');
  const auto summary = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind("per size and thread count", 0) == 0;
  });
  ASSERT_NE(summary, lines.end()) << table.output;
  ASSERT_GE(lines.end() - summary, 6) << table.output;
  const char* expected[4][2] = {{"64x48", "2"}, {"64x48", "1"}, {"128x96", "2"}, {"128x96", "1"}};
  for (int k = 0; k < 4; ++k) {
    std::istringstream line(summary[2 + k]);
    std::string size, threads;
    double screen = 0, drawn = 0, frameNs = 0, perPixel = 0, limitNs = 0, worst = 0, growth = 0;
    line >> size >> threads >> screen >> drawn >> frameNs >> perPixel >> limitNs >> worst >> growth;
    EXPECT_EQ(size, expected[k][0]) << summary[2 + k];
    EXPECT_EQ(threads, expected[k][1]) << summary[2 + k];
    EXPECT_EQ(screen, k < 2 ? 3072.0 : 12288.0) << summary[2 + k];
    // The pixel count against the first size's.
    EXPECT_EQ(growth, k < 2 ? 1.0 : 4.0) << summary[2 + k];
  }
}

// Without --threads the count comes from KELVO_THREADS, else the machine.
TEST(Bench, ThreadCountFromTheEnvironment) {
  const std::string args = "--mode 32x24x8 --shading 0 --frames 1 --csv";
  const Result three = Bench(args, {.environment = {{"KELVO_THREADS", "3"}}});
  ASSERT_EQ(three.status, 0) << three.errors;
  EXPECT_EQ(three.errors, "");
  auto rows = CsvRows(three, 11);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][kThreads], "3");

  const Result given = Bench("--threads 2 " + args, {.environment = {{"KELVO_THREADS", "3"}}});
  ASSERT_EQ(given.status, 0) << given.errors;
  rows = CsvRows(given, 11);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][kThreads], "2");

  const unsigned cores = std::thread::hardware_concurrency();
  const std::string machine = std::to_string(cores == 0 ? 1 : std::min(cores, 64u));
  const Result bad = Bench(args, {.environment = {{"KELVO_THREADS", "lots"}}});
  ASSERT_EQ(bad.status, 0) << bad.errors;
  EXPECT_EQ(Lines(bad.errors), 1) << bad.errors;
  EXPECT_EQ(bad.errors.rfind("kelvo-bench: warning: KELVO_THREADS='lots'", 0), 0u) << bad.errors;
  rows = CsvRows(bad, 11);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][kThreads], machine);

  const Result unset = Bench(args, {.environment = {{"KELVO_THREADS", std::nullopt}}});
  ASSERT_EQ(unset.status, 0) << unset.errors;
  rows = CsvRows(unset, 11);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][kThreads], machine);
}

TEST(Bench, PresentationBesideTheFrame) {
#ifdef _WIN32
  // Windows programs present through the real services: nothing to time.
  const Result refused = Bench("--present --mode 64x48x8 --frames 1");
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.errors.find("--present"), std::string::npos) << refused.errors;
  GTEST_SKIP() << "kelvo-bench.exe has no emulated desktop's presentation to time";
#endif
  const Result r = Bench(
      "--present --threads 1,2 --sizes 64x48,3000x40 --depths 8,16,24,32 "
      "--shading 0 --frames 1 --csv");
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  const auto rows = CsvRows(r, 16);
  ASSERT_EQ(rows.size(), 16u) << r.output;
  for (const auto& row : rows) {
    SCOPED_TRACE(row[kMode] + " threads " + row[kThreads]);
    EXPECT_GT(std::stod(row[kArgbNs]), 0.0);
    EXPECT_GT(std::stod(row[kShrinkNs]), 0.0);
    EXPECT_GT(std::stod(row[kFullArgbNs]), 0.0);
    EXPECT_GT(std::stod(row[kFullShrinkNs]), 0.0);
    // Half each side, or what fits 1280x960 when that is smaller.
    EXPECT_EQ(row[kShrinkSize], row[kMode].rfind("64x48x", 0) == 0 ? "32x24" : "1280x17");
    EXPECT_EQ(row[kAllocations], "0");
  }

  const Result table = Bench("--present --threads 1 --mode 64x48x8 --shading 0 --frames 1");
  ASSERT_EQ(table.status, 0) << table.errors;
  const std::vector<std::string> lines = Split(table.output, '\n');
  ASSERT_GE(lines.size(), 2u) << table.output;
  EXPECT_NE(lines[0].find("argb ns"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("pres/fr"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("full argb"), std::string::npos) << lines[0];
  std::istringstream row(lines[1]);
  std::vector<std::string> fields;
  for (std::string field; row >> field;) fields.push_back(field);
  ASSERT_EQ(fields.size(), 17u) << lines[1];
  EXPECT_EQ(fields[0], "64x48x8");
  EXPECT_EQ(fields[13], "32x24");
  EXPECT_GT(std::stod(fields[14]), 0.0) << lines[1];
  EXPECT_GT(std::stod(fields[15]), 0.0) << lines[1];
  EXPECT_GT(std::stod(fields[16]), 0.0) << lines[1];
}

TEST(Bench, HelpGoesToStandardOutput) {
  for (const char* args : {"--help", "-h", "--frames 0 --help"}) {
    SCOPED_TRACE(args);
    const Result r = Bench(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("Usage: kelvo-bench", 0), 0u) << r.output;
    EXPECT_EQ(r.errors, "");
  }
}

TEST(Bench, CommandLineMistakesAreNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"--bogus", "unknown argument '--bogus'"},
      {"stray", "unknown argument 'stray'"},
      {"--thread 2", "unknown argument '--thread'"},
      {"--csv --csv", "--csv given twice"},
      {"--present --present", "--present given twice"},
      {"--mode 32x24x8 --mode 48x32x8", "--mode given twice"},
      {"--frames", "missing value after --frames"},
      {"--threads", "missing value after --threads"},
      {"--mode 8x8x8", "bad --mode '8x8x8'"},
      {"--mode 32x24x8,", "bad --mode '32x24x8,'"},
      {"--mode 32x24x12", "bad --mode '32x24x12'"},
      {"--shading 6", "bad --shading '6'"},
      {"--shading 0,x", "bad --shading '0,x'"},
      {"--frames 0", "bad --frames '0'"},
      {"--threads 0", "bad --threads '0'"},
      {"--threads 65", "bad --threads '65'"},
      {"--threads 1,,2", "bad --threads '1,,2'"},
      {"--threads 2,", "bad --threads '2,'"},
      {"--threads -1", "bad --threads '-1'"},
      {"--threads two", "bad --threads 'two'"},
      {"--sizes 64x48x8", "bad --sizes '64x48x8'"},
      {"--sizes 15x48", "bad --sizes '15x48'"},
      {"--sizes 4096x48", "bad --sizes '4096x48'"},
      {"--sizes 64x4096", "bad --sizes '64x4096'"},
      {"--sizes 64x48,", "bad --sizes '64x48,'"},
      {"--sizes 64*48", "bad --sizes '64*48'"},
      {"--sizes x48", "bad --sizes 'x48'"},
      {"--depths 12", "bad --depths '12'"},
      {"--depths 8,40", "bad --depths '8,40'"},
      {"--depths 0", "bad --depths '0'"},
      {"--mode 32x24x8 --sizes 64x48", "--mode names whole modes"},
      {"--mode 32x24x8 --depths 8", "--mode names whole modes"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const Result r = Bench(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind(std::string("kelvo-bench: ") + message, 0), 0u) << r.errors;
    EXPECT_EQ(r.output, "");
  }
  // A bad command line is named before a bad environment is looked at.
  const Result r = Bench("--threads 0", {.environment = {{"KELVO_THREADS", "lots"}}});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(Lines(r.errors), 1) << r.errors;
}

TEST(Bench, MissingDataFailsWithStatusOne) {
  testing_support::ScratchDir empty;
  const Result r =
      Bench("--assets " + tool_run::Quote(empty.path()) + " --mode 32x24x8 --frames 1");
  EXPECT_EQ(r.status, 1);
  EXPECT_GE(Lines(r.errors), 1);
  EXPECT_NE(r.errors.find("kelvo-bench: "), std::string::npos) << r.errors;
}

}  // namespace
