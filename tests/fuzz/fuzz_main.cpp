// libFuzzer's entry into one target, named by the build (KELVO_FUZZ_TARGET).
#include <string_view>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const auto run = [] {
    for (const fuzz::Target& target : fuzz::kTargets)
      if (std::string_view(target.name) == KELVO_FUZZ_TARGET) return target.run;
    std::abort();
  }();
  return run(data, size);
}
