#include "scene/data_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define KELVO_POSIX_FILES 1
#endif

namespace {

const char* WhatItIs(std::filesystem::file_type type) {
  switch (type) {
    case std::filesystem::file_type::directory: return "is a directory";
    case std::filesystem::file_type::fifo: return "is a FIFO (named pipe), not a file";
    case std::filesystem::file_type::character: return "is a character device, not a file";
    case std::filesystem::file_type::block: return "is a block device, not a file";
    case std::filesystem::file_type::socket: return "is a socket, not a file";
    default: return "is not a regular file";
  }
}

uint32_t Read16(const uint8_t* p) { return static_cast<uint32_t>(p[0] | p[1] << 8); }

uint32_t Read32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool StartsWith(const uint8_t* head, size_t size, const char* magic, size_t length) {
  return size >= length && std::memcmp(head, magic, length) == 0;
}

// Pictures that people rename to .BMP.
std::string OtherFormat(const uint8_t* head, size_t size) {
  if (StartsWith(head, size, "\x89PNG\r\n\x1a\n", 8)) return "a PNG image, not a BMP";
  if (StartsWith(head, size, "\xff\xd8\xff", 3)) return "a JPEG image, not a BMP";
  if (StartsWith(head, size, "GIF8", 4)) return "a GIF image, not a BMP";
  return "not a BMP file";
}

const char* CompressionName(uint32_t compression) {
  switch (compression) {
    case 1: return "RLE8";
    case 2: return "RLE4";
    case 3:
    case 6: return "bit fields";
    case 4: return "JPEG";
    case 5: return "PNG";
    default: return "an unknown method";
  }
}

}  // namespace

std::FILE* OpenRegularFile(const std::string& path, std::string* reason) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error) {
    *reason = error.message();
    return nullptr;
  }
  if (!std::filesystem::is_regular_file(status)) {
    *reason = WhatItIs(status.type());
    return nullptr;
  }
#ifdef KELVO_POSIX_FILES
  // Checked again on the open descriptor: whatever replaced the file since
  // the check above, opening it without blocking and looking cannot hang.
  int flags = O_RDONLY | O_NONBLOCK;
#ifdef O_CLOEXEC
  flags |= O_CLOEXEC;
#endif
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return nullptr;
  }
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    *reason = "is not a regular file";
    return nullptr;
  }
  std::FILE* file = ::fdopen(fd, "rb");
  if (!file) {
    *reason = std::strerror(errno);
    ::close(fd);
  }
  return file;
#else
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) *reason = std::strerror(errno);
  return file;
#endif
}

std::string GroupDigits(uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

std::string TextureHeaderProblem(const uint8_t* head, size_t size) {
  const std::string expected = "; the cube reads 128x128 8-bit pixels at byte 1078";
  if (!StartsWith(head, size, "BM", 2)) return OtherFormat(head, size) + expected;
  const std::string cutOff = "a BMP cut off inside its header" + expected;
  if (size < 18) return cutOff;
  const uint32_t infoSize = Read32(head + 14);
  int64_t width, height;
  uint32_t bits, compression = 0;
  if (infoSize == 12) {  // the old OS/2 header with 16-bit sizes
    if (size < 26) return cutOff;
    width = static_cast<int16_t>(Read16(head + 18));
    height = static_cast<int16_t>(Read16(head + 20));
    bits = Read16(head + 24);
  } else if (infoSize >= 16) {
    if (size < 14 + std::min<size_t>(infoSize, 20)) return cutOff;
    width = static_cast<int32_t>(Read32(head + 18));
    height = static_cast<int32_t>(Read32(head + 22));
    bits = Read16(head + 28);
    if (infoSize >= 20) compression = Read32(head + 30);
  } else {
    return "a BMP with a header of an unknown kind" + expected;
  }
  const bool topDown = height < 0;
  const int64_t rows = topDown ? -height : height;
  std::string what = std::string("a ") + (topDown ? "top-down " : "") + std::to_string(width) +
                     "x" + std::to_string(rows) + ", " + std::to_string(bits) + "-bit bitmap";
  if (compression != 0) what += std::string(" compressed with ") + CompressionName(compression);
  if (width != 128 || rows != 128 || bits != 8 || compression != 0) return what + expected;
  const uint32_t offset = Read32(head + 10);
  if (offset != 1078) return what + " with its pixels at byte " + std::to_string(offset) + expected;
  // The first stored row is taken as the bottom one, as in the usual
  // bottom-up bitmap.
  if (topDown) return what + "; the cube shows it upside down";
  return {};
}
