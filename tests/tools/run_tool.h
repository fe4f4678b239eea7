// Runs one of the tools as a user does and keeps what it says: from a shell
// on POSIX systems, as a child process on Windows (a Wine process under Wine).
#pragma once
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace tool_run {

struct Result {
  int status = -1;     // exit status, or -1 when the program did not exit normally
  std::string output;  // standard output
  std::string errors;  // standard error
};

// What the tool starts with besides the test's own environment and folder.
struct Before {
  // Variables set to a value, or removed (no value).
  std::vector<std::pair<std::string, std::optional<std::string>>> environment{};
  std::string folder{};  // where it starts; empty for the test's own
  std::string shell{};   // POSIX shell commands run first (ulimit, trap)
};

// One word of a command line as a POSIX shell reads it back.
inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

#ifdef _WIN32

// The words of a command line written with Quote: quoted spans and \' are
// taken as they are, and a backslash is no escape elsewhere (Windows paths).
inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '\'')
        quoted = false;
      else
        word += c;
    } else if (c == '\'') {
      quoted = inWord = true;
    } else if (c == '\\' && i + 1 < line.size() && line[i + 1] == '\'') {
      word += line[++i];
      inWord = true;
    } else if (c == ' ') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

// One argument as the C runtime's command-line parser reads it back.
inline std::string WindowsQuote(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  return quoted + std::string(2 * backslashes, '\\') + "\"";
}

inline Result Run(const std::string& program, const std::string& arguments,
                  const Before& before = {}) {
  Result r;
  if (!before.shell.empty()) {
    r.errors = "no POSIX shell on Windows for: " + before.shell;
    return r;
  }
  const testing_support::ScratchDir capture;
  const std::string out = capture.File("stdout"), err = capture.File("stderr");
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  const HANDLE files[2] = {CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                       CREATE_ALWAYS, 0, nullptr),
                           CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                       CREATE_ALWAYS, 0, nullptr)};
  std::string line = WindowsQuote(program);
  for (const std::string& word : Words(arguments)) (line += ' ') += WindowsQuote(word);
  // The child takes this process's environment as it is when it starts.
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  for (const auto& [name, value] : before.environment) {
    const char* old = std::getenv(name.c_str());
    saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    _putenv_s(name.c_str(), value ? value->c_str() : "");  // "" removes it
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = files[0];
  startup.hStdError = files[1];
  PROCESS_INFORMATION process{};
  const bool started =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     before.folder.empty() ? nullptr : before.folder.c_str(), &startup, &process);
  for (const auto& [name, value] : saved) _putenv_s(name.c_str(), value ? value->c_str() : "");
  CloseHandle(files[0]);
  CloseHandle(files[1]);
  if (!started) {
    r.errors = "cannot start " + program + ": error " + std::to_string(GetLastError());
    return r;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  if (GetExitCodeProcess(process.hProcess, &code)) r.status = static_cast<int>(code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  const std::vector<uint8_t> o = testing_support::ReadFile(out), e = testing_support::ReadFile(err);
  r.output.assign(o.begin(), o.end());
  r.errors.assign(e.begin(), e.end());
  return r;
}

#else

// `program` followed by `arguments` as written on a shell command line.
inline Result Run(const std::string& program, const std::string& arguments,
                  const Before& before = {}) {
  const testing_support::ScratchDir capture;
  const std::string out = capture.File("stdout"), err = capture.File("stderr");
  std::string script;
  for (const auto& [name, value] : before.environment)
    script += value ? "export " + name + "=" + Quote(*value) + "; " : "unset " + name + "; ";
  if (!before.folder.empty()) script += "cd " + Quote(before.folder) + "; ";
  if (!before.shell.empty()) script += before.shell + "; ";
  script += "exec " + Quote(program) + " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(("sh -c " + Quote(script)).c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const std::vector<uint8_t> o = testing_support::ReadFile(out), e = testing_support::ReadFile(err);
  r.output.assign(o.begin(), o.end());
  r.errors.assign(e.begin(), e.end());
  return r;
}

#endif

}  // namespace tool_run
