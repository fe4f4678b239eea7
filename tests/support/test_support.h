// Shared helpers of the test suites.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary directory, removed with its
// contents when the object goes.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  // Copies a file of the generated data folder into this one, cut to at most
  // keep bytes when keep is not negative.
  void CopyData(const std::string& name, long keep = -1) const;

 private:
  std::string path_;
};

// Sets a variable of this process's environment, or removes it (no value).
void SetEnvironment(const std::string& name, const char* value);

// The folder of the generated data files.
std::string DataDir();
std::vector<uint8_t> ReadFile(const std::string& path);

// v appended in little-endian order, as BMP headers hold it.
void Put16(std::vector<uint8_t>& out, uint32_t v);
void Put32(std::vector<uint8_t>& out, uint32_t v);

}  // namespace testing_support
