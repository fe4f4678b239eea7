// Runs one of the tools as a user does, from a shell, and keeps what it says.
#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace tool_run {

struct Result {
  int status = -1;     // exit status, or -1 when the program did not exit normally
  std::string output;  // standard output
  std::string errors;  // standard error
};

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// `program` followed by `arguments` as written on a shell command line;
// `before` runs first in the same shell (ulimit, trap).
inline Result Run(const std::string& program, const std::string& arguments,
                  const std::string& before = "") {
  const testing_support::ScratchDir capture;
  const std::string out = capture.File("stdout"), err = capture.File("stderr");
  std::string script = before.empty() ? "" : before + "; ";
  script += "exec " + Quote(program) + " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(("sh -c " + Quote(script)).c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const std::vector<uint8_t> o = testing_support::ReadFile(out), e = testing_support::ReadFile(err);
  r.output.assign(o.begin(), o.end());
  r.errors.assign(e.begin(), e.end());
  return r;
}

inline int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

}  // namespace tool_run
