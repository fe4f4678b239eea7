#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace testing_support {

// Made by hand: Windows has no mkdtemp.
ScratchDir::ScratchDir() {
  static std::mt19937_64 names{std::random_device{}()};
  std::error_code error;
  const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
  for (int attempt = 0; attempt < 100 && !error; ++attempt) {
    const std::string candidate = (temp / ("kelvo-test-" + std::to_string(names()))).string();
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
  ADD_FAILURE() << "cannot make a scratch folder: " << error.message();
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::ofstream out(File(name), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void ScratchDir::CopyData(const std::string& name, long keep) const {
  std::vector<uint8_t> bytes = ReadFile(DataDir() + "/" + name);
  ASSERT_FALSE(bytes.empty()) << "generated file missing: " << name;
  if (keep >= 0 && static_cast<size_t>(keep) < bytes.size())
    bytes.resize(static_cast<size_t>(keep));
  Write(name, bytes);
}

void SetEnvironment(const std::string& name, const char* value) {
#ifdef _WIN32
  ASSERT_EQ(_putenv_s(name.c_str(), value ? value : ""), 0) << name;  // "" removes it
#else
  ASSERT_EQ(value ? setenv(name.c_str(), value, 1) : unsetenv(name.c_str()), 0) << name;
#endif
}

std::string DataDir() {
  if (const char* dir = std::getenv("KELVO_TEST_DATA_DIR")) return dir;
  return KELVO_DATA_DIR;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace testing_support
