// The tools' files, one set of rules on every system. What differs between
// POSIX systems and Windows is the few calls in namespace os: what a path
// names, making the new file, putting it on the disk and in place.
#include "tools/files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

// What a path names, a link not followed.
struct Found {
  enum Kind { kMissing, kLink, kRegular, kStream, kRefused } kind = kMissing;
  std::string what;             // kRefused: "a folder", "a block device"
  std::FILE* stream = nullptr;  // kStream: open for writing
  unsigned mode = 0;            // POSIX: permissions of the finished file
  int uid = -1, gid = -1;       // POSIX, kRegular: its owner
};

namespace os {

#ifdef _WIN32

// The C library's words where it has some, as on other systems.
std::string WindowsErrorText(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ErrorText(ENOENT);
    case ERROR_ACCESS_DENIED: return ErrorText(EACCES);
    case ERROR_SHARING_VIOLATION: return "in use by another program";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ErrorText(ENOSPC);
  }
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

const char* KindOf(DWORD type) {
  if (type == FILE_TYPE_CHAR) return "a character device";
  if (type == FILE_TYPE_PIPE) return "a pipe";
  return "not a regular file";
}

// A stream on a handle, which it then owns; the handle is closed on failure.
std::FILE* StreamOn(HANDLE handle, bool write, std::string* reason) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle),
                                 (write ? _O_WRONLY : _O_RDONLY) | _O_BINARY);
  if (fd < 0) {
    *reason = ErrorText(errno);
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE* stream = _fdopen(fd, write ? "wb" : "rb");
  if (stream == nullptr) {
    *reason = ErrorText(errno);
    _close(fd);
  }
  return stream;
}

bool Examine(const std::string& path, Found* found, std::string* reason) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      found->kind = Found::kMissing;  // a missing folder shows when the file is made
      return true;
    }
    // A folder cannot be opened for writing; a read-only or locked file is
    // left as it is, as it would be for a plain open.
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      found->kind = Found::kRefused;
      found->what = "a folder";
      return true;
    }
    *reason = WindowsErrorText(code);
    return false;
  }
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    // Read-only is refused even where the system would let us (Wine as root).
    BY_HANDLE_FILE_INFORMATION info{};
    const bool readOnly = GetFileInformationByHandle(handle, &info) &&
                          (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    CloseHandle(handle);
    if (readOnly) {
      *reason = ErrorText(EACCES);
      return false;
    }
    found->kind = Found::kRegular;
    return true;
  }
  // A device (NUL, CON) or a pipe: written straight into.
  found->kind = Found::kStream;
  found->stream = StreamOn(handle, true, reason);
  return found->stream != nullptr;
}

std::FILE* OpenDescriptor(int fd, std::string* reason) {
  const int copy = _dup(fd);
  if (copy < 0) {
    *reason = ErrorText(errno);
    return nullptr;
  }
  // Bytes as they are: a descriptor in text mode would turn \n into \r\n.
  _setmode(copy, _O_BINARY);
  std::FILE* stream = _fdopen(copy, "wb");
  if (stream == nullptr) {
    *reason = ErrorText(errno);
    _close(copy);
  }
  return stream;
}

std::FILE* CreateBeside(const std::string& base, std::string* made, std::string* reason) {
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate =
        base + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    const int fd =
        _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
              _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      *reason = ErrorText(errno);
      return nullptr;
    }
    *made = candidate;  // removed by the caller on failure
    std::FILE* stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
      *reason = ErrorText(errno);
      _close(fd);
    }
    return stream;
  }
  *reason = ErrorText(EEXIST);
  return nullptr;
}

// The new file made ready to take the old one's place.
bool Settle(std::FILE* stream, bool replacing, unsigned, int, int, std::string* reason) {
  // The old file is only given up for one whose bytes are on the disk.
  if (replacing && _commit(_fileno(stream)) != 0) {
    *reason = ErrorText(errno);
    return false;
  }
  return true;
}

bool Replace(const std::string& from, const std::string& to, std::string* reason) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  const DWORD code = GetLastError();
  // The old file was writable when opened: what denies its replacing now is
  // another program holding it open.
  *reason = WindowsErrorText(code == ERROR_ACCESS_DENIED ? ERROR_SHARING_VIOLATION : code);
  return false;
}

std::FILE* OpenToRead(const std::string& path, uint64_t* size, std::string* reason) {
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    *reason = WindowsErrorText(GetLastError());
    return nullptr;
  }
  const DWORD type = GetFileType(handle);
  BY_HANDLE_FILE_INFORMATION info{};
  if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
    *reason = std::string("is ") + KindOf(type);
  } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
    *reason = "is a folder";
  } else {
    *size = static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    return StreamOn(handle, false, reason);
  }
  CloseHandle(handle);
  return nullptr;
}

#else

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

mode_t NewFileMode() {
#ifdef __EMSCRIPTEN__
  // emscripten's umask is its own and starts at 0777, which would leave new
  // files with no permissions at all: the user's is Node's (in a browser,
  // the usual one).
  // clang-format off
  static const mode_t mask = static_cast<mode_t>(EM_ASM_INT({
    return typeof process === 'object' && process.umask ? process.umask() : 0o22;
  }));
  // clang-format on
#else
  static const mode_t mask = [] {
    const mode_t m = umask(022);
    umask(m);
    return m;
  }();
#endif
  return 0666 & ~mask;
}

// A stream on a descriptor, which it then owns; closed on failure.
std::FILE* StreamOn(int fd, const char* mode, std::string* reason) {
  if (fd < 0) {
    *reason = ErrorText(errno);
    return nullptr;
  }
  std::FILE* stream = fdopen(fd, mode);
  if (stream == nullptr) {
    *reason = ErrorText(errno);
    close(fd);
  }
  return stream;
}

bool Examine(const std::string& path, Found* found, std::string* reason) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      *reason = ErrorText(errno);
      return false;
    }
    found->kind = Found::kMissing;  // a missing folder shows when the file is made
    found->mode = NewFileMode();
    return true;
  }
  if (S_ISLNK(st.st_mode)) {
    found->kind = Found::kLink;
  } else if (S_ISREG(st.st_mode)) {
    // A file the user may not write stays as it is, as it would for a plain
    // open.
    if (access(path.c_str(), W_OK) != 0) {
      *reason = ErrorText(errno);
      return false;
    }
    found->kind = Found::kRegular;
    found->mode = st.st_mode & 07777;
    found->uid = static_cast<int>(st.st_uid);
    found->gid = static_cast<int>(st.st_gid);
  } else if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
    // Written straight into; a FIFO waits for its reader, as with any program.
    found->kind = Found::kStream;
    found->stream = StreamOn(open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY), "wb", reason);
    return found->stream != nullptr;
  } else {
    found->kind = Found::kRefused;
    found->what = KindOf(st.st_mode);
  }
  return true;
}

std::FILE* OpenDescriptor(int fd, std::string* reason) {
  // "w" on an open descriptor truncates nothing.
  return StreamOn(fcntl(fd, F_DUPFD_CLOEXEC, 3), "wb", reason);
}

std::FILE* CreateBeside(const std::string& base, std::string* made, std::string* reason) {
  std::string pattern = base + ".XXXXXX";
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd >= 0) *made = pattern;
  return StreamOn(fd, "wb", reason);
}

// The new file made ready to take the old one's place: its permissions and
// owner.
bool Settle(std::FILE* stream, bool replacing, unsigned mode, int uid, int gid,
            std::string* reason) {
  const int fd = fileno(stream);
  if (replacing && (static_cast<uid_t>(uid) != geteuid() || static_cast<gid_t>(gid) != getegid())) {
    // Only root may give the file back to its owner; others keep their own.
    [[maybe_unused]] const int ignored =
        fchown(fd, static_cast<uid_t>(uid), static_cast<gid_t>(gid));
  }
  // The old file is only given up for one whose bytes are on the disk.
  if (fchmod(fd, static_cast<mode_t>(mode)) != 0 || (replacing && fsync(fd) != 0)) {
    *reason = ErrorText(errno);
    return false;
  }
  return true;
}

bool Replace(const std::string& from, const std::string& to, std::string* reason) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  *reason = ErrorText(errno);
  return false;
}

std::FILE* OpenToRead(const std::string& path, uint64_t* size, std::string* reason) {
  // Non-blocking, so that a FIFO is named instead of waited on.
  std::FILE* stream =
      StreamOn(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY), "rb", reason);
  if (stream == nullptr) return nullptr;
  struct stat st {};
  if (fstat(fileno(stream), &st) != 0) {
    *reason = ErrorText(errno);
  } else if (!S_ISREG(st.st_mode)) {
    *reason = std::string("is ") + KindOf(st.st_mode);
  } else {
    *size = static_cast<uint64_t>(st.st_size);
    return stream;
  }
  std::fclose(stream);
  return nullptr;
}

#endif

}  // namespace os

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or
// /proc/self/fd/N stand for, or -1. Their links name pipes and terminals
// that are no paths (and Windows has none of them), so they are written
// through the descriptor itself.
int DescriptorAlias(std::string_view path) {
  if (path == "/dev/stdout") return 1;
  if (path == "/dev/stderr") return 2;
  for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"}) {
    if (path.substr(0, prefix.size()) != prefix) continue;
    const std::string_view number = path.substr(prefix.size());
    int fd = -1;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), fd);
    if (error == std::errc() && end == number.data() + number.size() && fd >= 0) return fd;
  }
  return -1;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) std::remove(temporary_.c_str());
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

  // Follow links ourselves: the file a link names is replaced, not the link.
  std::filesystem::path at = path;
  std::string reason;
  Found found;
  for (int hops = 0;; ++hops) {
    if (hops > 40) return Fail(ErrorText(ELOOP), error);
    if (const int alias = DescriptorAlias(at.string()); alias >= 0) {
      stream_ = os::OpenDescriptor(alias, &reason);
      return stream_ != nullptr || Fail(reason, error);
    }
    found = Found();
    if (!os::Examine(at.string(), &found, &reason)) return Fail(reason, error);
    if (found.kind == Found::kStream) {
      stream_ = found.stream;  // nothing is made, so nothing is removed on failure
      return true;
    }
    if (found.kind == Found::kRefused) return Fail("is " + found.what, error);
    if (found.kind != Found::kLink) break;
    std::error_code ec;
    const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
    if (ec) return Fail(ec.message(), error);
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  replacing_ = found.kind == Found::kRegular;
  mode_ = found.mode;
  ownerUid_ = found.uid;
  ownerGid_ = found.gid;

  target_ = at.string();
  std::string name = at.filename().string();
  if (name.size() > 200) name.resize(200);  // room for the suffix within NAME_MAX
  const std::filesystem::path folder = at.has_parent_path() ? at.parent_path() : ".";
  stream_ = os::CreateBeside((folder / ("." + name)).string(), &temporary_, &reason);
  if (stream_ == nullptr) return Fail("cannot create a new file beside it: " + reason, error);
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (stream_ == nullptr) return false;
  return size == 0 || std::fwrite(data, 1, size, stream_) == size;
}

bool OutputFile::Commit(std::string* error) {
  if (stream_ == nullptr) return Fail("not open", error);
  std::string reason;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) {
    reason = ErrorText(errno != 0 ? errno : EIO);
  } else if (!temporary_.empty()) {
    os::Settle(stream_, replacing_, mode_, ownerUid_, ownerGid_, &reason);
  }
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0 && reason.empty()) reason = ErrorText(errno);
  if (!reason.empty()) return Fail(reason, error);
  if (!temporary_.empty()) {
    if (!os::Replace(temporary_, target_, &reason)) return Fail(reason, error);
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
  std::string reason;
  uint64_t size = 0;
  std::FILE* file = os::OpenToRead(path, &size, &reason);
  if (file == nullptr) return fail(reason);
  if (size > maxBytes) {
    std::fclose(file);
    return fail(std::to_string(size) + " bytes, more than the " + std::to_string(maxBytes) +
                " read here");
  }
  bytes->assign(static_cast<size_t>(size), 0);
  // Fewer bytes when the file shrank while being read.
  bytes->resize(std::fread(bytes->data(), 1, bytes->size(), file));
  const bool failed = std::ferror(file) != 0;
  const int saved = errno;
  std::fclose(file);
  if (failed) return fail(ErrorText(saved));
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
