// kelvo-gen-rc FILE
//
// Writes the resource script of kelvo-cube.exe -- menu, accelerators, About
// box and icon -- from the description the other backends use.
#include <cstdio>
#include <string>

#include "res/rc_script.h"
#include "res/resources.h"

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: kelvo-gen-rc FILE\n");
    return 2;
  }
  std::string error;
  const std::string script = WriteResourceScript(ProgramResources(), &error);
  if (script.empty()) {
    std::fprintf(stderr, "kelvo-gen-rc: %s\n", error.c_str());
    return 1;
  }
  const std::string path = argv[1];
  const std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) {
    std::perror(("kelvo-gen-rc: " + temporary).c_str());
    return 1;
  }
  const bool written = std::fwrite(script.data(), 1, script.size(), file) == script.size();
  if (std::fclose(file) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::perror(("kelvo-gen-rc: " + path).c_str());
    std::remove(temporary.c_str());
    return 1;
  }
  return 0;
}
