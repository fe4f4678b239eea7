// The tools' files on Windows: the same promises as on POSIX systems -- an
// existing file is replaced only once its new content is complete, a device
// (NUL, CON) is written straight into -- through the C runtime and
// MoveFileExA.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "tools/files.h"

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

std::string WindowsErrorText(DWORD code) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) DeleteFileA(temporary_.c_str());
  temporary_.clear();
}

bool OutputFile::Fail(const std::string& reason, std::string* error) {
  if (error != nullptr) *error = "cannot write " + path_ + ": " + reason;
  Abandon();
  return false;
}

bool OutputFile::Open(const std::string& path, std::string* error) {
  Abandon();
  path_ = path;
  replacing_ = false;
  if (path.empty()) return Fail("no file name", error);
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Fail("is a folder", error);
  const HANDLE existing =
      CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing != INVALID_HANDLE_VALUE) {
    if (GetFileType(existing) != FILE_TYPE_DISK) {
      // A device (NUL, CON) or a pipe: written straight into.
      const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(existing), _O_WRONLY | _O_BINARY);
      if (fd < 0) {
        CloseHandle(existing);
        return Fail(ErrorText(errno), error);
      }
      stream_ = _fdopen(fd, "wb");
      if (stream_ == nullptr) {
        const int saved = errno;
        _close(fd);
        return Fail(ErrorText(saved), error);
      }
      return true;
    }
    CloseHandle(existing);
    replacing_ = true;
  } else {
    const DWORD code = GetLastError();
    // A file the user may not write stays as it is, as it would for a plain
    // open; a missing one is made.
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND)
      return Fail(WindowsErrorText(code), error);
  }

  target_ = path;
  const std::filesystem::path at = path;
  const std::filesystem::path folder = at.has_parent_path() ? at.parent_path() : ".";
  std::string name = at.filename().string();
  if (name.size() > 200) name.resize(200);
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        (folder /
         ("." + name + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt)))
            .string();
    const int fd =
        _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Fail("cannot create a new file beside it: " + ErrorText(errno), error);
    temporary_ = candidate;
    stream_ = _fdopen(fd, "wb");
    if (stream_ == nullptr) {
      const int saved = errno;
      _close(fd);
      return Fail(ErrorText(saved), error);
    }
    return true;
  }
  return Fail("cannot create a new file beside it", error);
}

bool OutputFile::Write(const void* data, size_t size) {
  if (stream_ == nullptr) return false;
  return size == 0 || std::fwrite(data, 1, size, stream_) == size;
}

bool OutputFile::Commit(std::string* error) {
  if (stream_ == nullptr) return Fail("not open", error);
  int problem = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) problem = errno != 0 ? errno : EIO;
  // The old file is only given up for one whose bytes are on the disk.
  if (problem == 0 && replacing_ && _commit(_fileno(stream_)) != 0) problem = errno;
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0 && problem == 0) problem = errno;
  if (problem != 0) return Fail(ErrorText(problem), error);
  if (!temporary_.empty()) {
    if (!MoveFileExA(temporary_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return Fail(WindowsErrorText(GetLastError()), error);
    temporary_.clear();
  }
  return true;
}

bool WriteWholeFile(const std::string& path, const void* data, size_t size, std::string* error) {
  OutputFile file;
  if (!file.Open(path, error)) return false;
  file.Write(data, size);
  return file.Commit(error);
}

bool ReadWholeFile(const std::string& path, size_t maxBytes, std::vector<uint8_t>* bytes,
                   std::string* error) {
  auto fail = [&](const std::string& reason) {
    if (error != nullptr) *error = path + ": " + reason;
    return false;
  };
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec) return fail(ec.message());
  if (std::filesystem::is_directory(status)) return fail("is a folder");
  if (!std::filesystem::is_regular_file(status)) return fail("not a regular file");
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return fail(ErrorText(errno));
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fclose(file);
    return fail(ec.message());
  }
  if (size > maxBytes) {
    std::fclose(file);
    return fail(std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) +
                " read here");
  }
  bytes->assign(static_cast<size_t>(size), 0);
  const size_t got = std::fread(bytes->data(), 1, bytes->size(), file);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return fail("read failed");
  bytes->resize(got);
  return true;
}

bool MakeFolder(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  std::error_code statError;
  const std::filesystem::file_status status = std::filesystem::status(path, statError);
  if (!statError && std::filesystem::is_directory(status)) return true;
  if (error != nullptr) {
    if (!statError && std::filesystem::exists(status)) {
      *error = "cannot use " + path + " as a folder: it exists and is not one";
    } else {
      *error = "cannot create folder " + path + ": " + (ec ? ec : statError).message();
    }
  }
  return false;
}
