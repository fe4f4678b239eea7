#include "tools/arguments.h"

#include <charconv>
#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

bool ParseInt(std::string_view text, long low, long high, long* out) {
  long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
    return false;
  *out = value;
  return true;
}

bool ParseDisplayMode(std::string_view text, int minSide, RequestedMode* mode, bool* badDepth) {
  *badDepth = false;
  const size_t x1 = text.find('x');
  const size_t x2 = x1 == std::string_view::npos ? x1 : text.find('x', x1 + 1);
  if (x2 == std::string_view::npos) return false;
  long w, h, bpp;
  if (!ParseInt(text.substr(0, x1), minSide, 4095, &w) ||
      !ParseInt(text.substr(x1 + 1, x2 - x1 - 1), minSide, 4095, &h) ||
      !ParseInt(text.substr(x2 + 1), 1, 64, &bpp))
    return false;
  if (bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
    *badDepth = true;
    return false;
  }
  *mode = {static_cast<int>(w), static_cast<int>(h), static_cast<int>(bpp)};
  return true;
}

bool Arguments::Has(std::string_view flag) const {
  for (const auto& given : flags_)
    if (given.first == flag) return true;
  return false;
}

std::string_view Arguments::Value(std::string_view flag, int index) const {
  for (const auto& given : flags_) {
    if (given.first == flag && index >= 0 && static_cast<size_t>(index) < given.second.size())
      return given.second[static_cast<size_t>(index)];
  }
  return {};
}

bool SplitArguments(int argc, char** argv, std::initializer_list<FlagSpec> flags, size_t maxPlain,
                    Arguments* out, std::string* error) {
  *out = Arguments();
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      out->help_ = true;
      return true;
    }
  }
  auto find = [&flags](std::string_view name) -> const FlagSpec* {
    for (const FlagSpec& flag : flags)
      if (flag.name == name) return &flag;
    return nullptr;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const FlagSpec* flag = find(arg);
    if (flag == nullptr) {
      // A lone "-" may name a file; anything else with a dash is a flag.
      if ((arg.size() > 1 && arg[0] == '-') || out->plain_.size() >= maxPlain) {
        *error = "unknown argument '" + std::string(arg) + "'";
        return false;
      }
      out->plain_.push_back(arg);
      continue;
    }
    if (out->Has(arg)) {
      *error = std::string(arg) + " given twice";
      return false;
    }
    std::vector<std::string_view> values;
    for (int k = 0; k < flag->values; ++k) {
      if (i + 1 >= argc || find(argv[i + 1]) != nullptr) {
        *error = "missing value after " + std::string(arg);
        return false;
      }
      values.push_back(argv[++i]);
    }
    out->flags_.emplace_back(arg, std::move(values));
  }
  return true;
}

void ReportFatal(const char* tool, const char* what) {
  std::fprintf(stderr, "%s: %s\n", tool, what);
}

void BinaryStandardStreams() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}
