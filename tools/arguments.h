// Command-line handling the tools share.
#pragma once
#include <cstddef>
#include <exception>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A whole number in [low, high], the whole text and nothing else.
bool ParseInt(std::string_view text, long low, long high, long* out);

// Calls take(item) for each comma-separated item of a list; false at the
// first it refuses or at an empty item.
template <typename Take>
bool ForEachItem(std::string_view list, Take take) {
  while (true) {
    const size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    if (item.empty() || !take(item)) return false;
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

struct RequestedMode {
  int width;
  int height;
  int bitsPerPixel;
};

// "WxHxBPP" with each side in [minSide, 4095] and a depth of 8, 16, 24 or 32.
// false for anything else; badDepth tells when only the depth was wrong.
bool ParseDisplayMode(std::string_view text, int minSide, RequestedMode* mode, bool* badDepth);

// A flag a tool knows and how many values follow it.
struct FlagSpec {
  std::string_view name;
  int values;
};

// A command line taken apart: the flags given, each with its values, and the
// plain arguments in order.
class Arguments {
 public:
  bool help() const { return help_; }
  bool Has(std::string_view flag) const;
  // Value `index` of a flag that was given; empty otherwise.
  std::string_view Value(std::string_view flag, int index = 0) const;
  const std::vector<std::string_view>& plain() const { return plain_; }

 private:
  friend bool SplitArguments(int, char**, std::initializer_list<FlagSpec>, size_t, Arguments*,
                             std::string*);
  bool help_ = false;
  std::vector<std::pair<std::string_view, std::vector<std::string_view>>> flags_;
  std::vector<std::string_view> plain_;
};

// Splits argv[1..]. "--help" or "-h" anywhere asks for the usage and nothing
// else counts. Otherwise false, with a one-line reason, for a flag not in
// `flags` or a plain argument beyond maxPlain ("unknown argument 'X'"), a flag
// given twice, or a missing value; a value may not be one of the flags.
bool SplitArguments(int argc, char** argv, std::initializer_list<FlagSpec> flags, size_t maxPlain,
                    Arguments* out, std::string* error);

// Runs a tool's main body; an exception that would end the program instead
// becomes one line, "tool: what", on standard error and status 1.
template <typename Body>
int GuardedMain(const char* tool, Body body);

void ReportFatal(const char* tool, const char* what);

// Standard output and error written as they are on Windows too, without a \r
// before each \n: the same text, CSV and pictures on every system.
void BinaryStandardStreams();

template <typename Body>
int GuardedMain(const char* tool, Body body) {
  BinaryStandardStreams();
  try {
    return body();
  } catch (const std::bad_alloc&) {
    ReportFatal(tool, "out of memory");
  } catch (const std::exception& e) {
    ReportFatal(tool, e.what());
  } catch (...) {
    ReportFatal(tool, "unexpected error");
  }
  return 1;
}
