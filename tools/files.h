// Reading and writing the tools' files without ever losing what was there.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One file being written. A regular file (new, or existing and then replaced,
// through symbolic links) is written as a new file beside it that takes its
// name only once complete, so a failed write leaves the old file as it was and
// removes nothing but the new one. A character device or a FIFO (/dev/null,
// a named pipe; NUL or a pipe on Windows) is written straight into and never
// removed; /dev/stdout, /dev/stderr and /dev/fd/N write through the descriptor
// already open, on Windows too. A folder, a block device or a socket is
// refused.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // an uncommitted file is abandoned
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::string& path, std::string* error);
  // Null until Open succeeds. Write errors are found by Commit.
  std::FILE* stream() const { return stream_; }
  bool Write(const void* data, size_t size);
  // Finishes the file; false with a one-line reason when any part failed.
  bool Commit(std::string* error);

 private:
  bool Fail(const std::string& reason, std::string* error);
  void Abandon();

  std::string path_;       // as the user named it
  std::string target_;     // the file that will take the new bytes
  std::string temporary_;  // the new file beside it; empty when writing straight
  std::FILE* stream_ = nullptr;
  bool replacing_ = false;
  unsigned mode_ = 0;  // permissions for the finished file
  int ownerUid_ = -1, ownerGid_ = -1;
};

// The whole file at once, through OutputFile.
bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* error);

// Reads a regular file (or a link to one) of at most maxBytes; anything else
// is refused without blocking ("X: is a FIFO").
bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes,
                   std::string* error);

// Makes a folder and its parents as needed; fine when it exists.
bool MakeFolder(const std::string& path, std::string* error);
