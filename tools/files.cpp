#include "tools/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace {

std::string ErrorText(int error) { return std::strerror(error); }

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// The descriptor that /dev/stdout, /dev/stderr, /dev/fd/N or
// /proc/self/fd/N stand for, or -1. Their links name pipes and terminals
// that are no paths, so they are written through the descriptor itself.
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

mode_t NewFileMode() {
  static const mode_t mask = [] {
    const mode_t m = umask(022);
    umask(m);
    return m;
  }();
  return 0666 & ~mask;
}

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Abandon() {
  if (stream_ != nullptr) std::fclose(stream_);
  stream_ = nullptr;
  if (!temporary_.empty()) unlink(temporary_.c_str());
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
  ownerUid_ = ownerGid_ = -1;
  if (path.empty()) return Fail("no file name", error);

  // Follow links ourselves: the file a link names is replaced, not the link.
  std::filesystem::path at = path;
  for (int hops = 0;; ++hops) {
    if (hops > 40) return Fail(ErrorText(ELOOP), error);
    if (const int alias = DescriptorAlias(at.string()); alias >= 0) {
      const int fd = fcntl(alias, F_DUPFD_CLOEXEC, 3);
      if (fd < 0) return Fail(ErrorText(errno), error);
      stream_ = fdopen(fd, "wb");  // "w" on an open descriptor truncates nothing
      if (stream_ == nullptr) {
        close(fd);
        return Fail(ErrorText(errno), error);
      }
      return true;
    }
    struct stat st {};
    if (lstat(at.c_str(), &st) != 0) {
      if (errno != ENOENT) return Fail(ErrorText(errno), error);
      mode_ = NewFileMode();
      break;  // a new file; a missing folder shows when it is created
    }
    if (S_ISLNK(st.st_mode)) {
      std::error_code ec;
      const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
      if (ec) return Fail(ec.message(), error);
      at = next.is_absolute() ? next : at.parent_path() / next;
      continue;
    }
    if (S_ISREG(st.st_mode)) {
      // A file the user may not write stays as it is, as it would for a
      // plain open.
      if (access(at.c_str(), W_OK) != 0) return Fail(ErrorText(errno), error);
      replacing_ = true;
      mode_ = st.st_mode & 07777;
      ownerUid_ = static_cast<int>(st.st_uid);
      ownerGid_ = static_cast<int>(st.st_gid);
      break;
    }
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
      // Written straight into; a FIFO waits for its reader, as with any
      // program. Nothing is created, so nothing is removed on failure.
      const int fd = open(at.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
      if (fd < 0) return Fail(ErrorText(errno), error);
      stream_ = fdopen(fd, "wb");
      if (stream_ == nullptr) {
        close(fd);
        return Fail(ErrorText(errno), error);
      }
      return true;
    }
    return Fail(std::string("is ") + KindOf(st.st_mode), error);
  }

  target_ = at.string();
  std::string name = at.filename().string();
  if (name.size() > 200) name.resize(200);  // room for the suffix within NAME_MAX
  const std::filesystem::path folder = at.has_parent_path() ? at.parent_path() : ".";
  std::string pattern = (folder / ("." + name + ".XXXXXX")).string();
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return Fail("cannot create a new file beside it: " + ErrorText(errno), error);
  temporary_ = pattern;
  if (replacing_ &&
      (static_cast<uid_t>(ownerUid_) != geteuid() || static_cast<gid_t>(ownerGid_) != getegid())) {
    // Only root may give the file back to its owner; others keep their own.
    [[maybe_unused]] const int ignored =
        fchown(fd, static_cast<uid_t>(ownerUid_), static_cast<gid_t>(ownerGid_));
  }
  stream_ = fdopen(fd, "wb");
  if (stream_ == nullptr) {
    const int saved = errno;
    close(fd);
    return Fail(ErrorText(saved), error);
  }
  return true;
}

bool OutputFile::Write(const void* data, size_t size) {
  if (stream_ == nullptr) return false;
  return size == 0 || std::fwrite(data, 1, size, stream_) == size;
}

bool OutputFile::Commit(std::string* error) {
  if (stream_ == nullptr) return Fail("not open", error);
  const int fd = fileno(stream_);
  int problem = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) problem = errno != 0 ? errno : EIO;
  if (problem == 0 && !temporary_.empty()) {
    if (fchmod(fd, static_cast<mode_t>(mode_)) != 0) problem = errno;
    // The old file is only given up for one whose bytes are on the disk.
    if (problem == 0 && replacing_ && fsync(fd) != 0) problem = errno;
  }
  const int closed = std::fclose(stream_);
  stream_ = nullptr;
  if (closed != 0 && problem == 0) problem = errno;
  if (problem != 0) return Fail(ErrorText(problem), error);
  if (!temporary_.empty()) {
    if (rename(temporary_.c_str(), target_.c_str()) != 0) return Fail(ErrorText(errno), error);
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
  // Non-blocking, so that a FIFO is named instead of waited on.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return fail(ErrorText(errno));
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    const int saved = errno;
    close(fd);
    return fail(ErrorText(saved));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return fail(std::string("is ") + KindOf(st.st_mode));
  }
  if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    close(fd);
    return fail(std::to_string(st.st_size) + " bytes, more than the " + std::to_string(maxBytes) +
                " read here");
  }
  bytes->assign(static_cast<size_t>(st.st_size), 0);
  size_t done = 0;
  while (done < bytes->size()) {
    const ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int saved = errno;
      close(fd);
      return fail(ErrorText(saved));
    }
    if (got == 0) break;  // shrank while being read
    done += static_cast<size_t>(got);
  }
  bytes->resize(done);
  close(fd);
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
