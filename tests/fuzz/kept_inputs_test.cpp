// Every kept input of every fuzz target -- the seeds, and each input that ever
// made a target fail -- run through the target's own function, so that a
// fixed finding stays fixed. A failing input aborts with the harness's reason.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace {

namespace fs = std::filesystem;

class KeptInputs : public ::testing::TestWithParam<fuzz::Target> {};

TEST_P(KeptInputs, RunCleanly) {
  const fuzz::Target target = GetParam();
  size_t seeds = 0;
  for (const char* kind : {"seeds", "found"}) {
    const fs::path folder = fs::path(KELVO_FUZZ_INPUTS) / kind / target.name;
    if (!fs::is_directory(folder)) continue;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (std::string(kind) == "seeds") seeds = files.size();
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                       std::istreambuf_iterator<char>());
      // Named first: a failing input ends the program.
      std::fprintf(stderr, "%s: %s\n", target.name, file.string().c_str());
      EXPECT_EQ(target.run(bytes.data(), bytes.size()), 0) << file;
    }
  }
  EXPECT_GT(seeds, 0u) << "no seeds for " << target.name;
}

INSTANTIATE_TEST_SUITE_P(Targets, KeptInputs, ::testing::ValuesIn(fuzz::kTargets),
                         [](const ::testing::TestParamInfo<fuzz::Target>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
