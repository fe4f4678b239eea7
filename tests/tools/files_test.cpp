// The tools' file writer: it replaces files only with complete ones, and never
// removes or truncates what it did not create.
#include "tools/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "tools/png_write.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

using testing_support::ReadFile;
using testing_support::ScratchDir;

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

bool Write(const std::string& path, const std::string& text, std::string* error) {
  return WriteWholeFile(path, text.data(), text.size(), error);
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
  return st.st_mode;
}

// Runs `body` in a child process and returns its exit status: for limits and
// identities the test itself must not take on.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}
#endif

TEST(OutputFile, WritesNewFilesAndReplacesOldOnes) {
  ScratchDir dir;
  std::string error;
  ASSERT_TRUE(Write(dir.File("new.txt"), "fresh\n", &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("new.txt")), Bytes("fresh\n"));  // no \r added on Windows
  dir.Write("old.txt", Bytes("a longer old text"));
  ASSERT_TRUE(Write(dir.File("old.txt"), "new", &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("old.txt")), Bytes("new"));
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"new.txt", "old.txt"}));
}

TEST(OutputFile, NewFilesFollowTheUmaskAndReplacedOnesKeepTheirPermissions) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permissions (AReadOnlyFileIsLeftAsItWas)";
#else
  ScratchDir dir;
  std::string error;
  ASSERT_TRUE(Write(dir.File("new.txt"), "fresh", &error)) << error;
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(ModeOf(dir.File("new.txt")) & 0777, 0666 & ~mask);

  dir.Write("old.txt", Bytes("a longer old text"));
  ASSERT_EQ(chmod(dir.File("old.txt").c_str(), 0640), 0);
  ASSERT_TRUE(Write(dir.File("old.txt"), "new", &error)) << error;
  EXPECT_EQ(ModeOf(dir.File("old.txt")) & 07777, 0640u);
#endif
}

TEST(OutputFile, ALinkKeepsPointingAtTheNewContent) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows, and the tools do not follow them";
#else
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("real"));
  dir.Write("real/target.bin", Bytes("old"));
  std::filesystem::create_symlink("real/target.bin", dir.File("link.bin"));
  std::filesystem::create_symlink("link.bin", dir.File("link-to-link.bin"));
  std::string error;
  ASSERT_TRUE(Write(dir.File("link-to-link.bin"), "through two links", &error)) << error;
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link.bin"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link-to-link.bin"))));
  EXPECT_EQ(ReadFile(dir.File("real/target.bin")), Bytes("through two links"));
  EXPECT_EQ(Names(dir.File("real")), std::set<std::string>{"target.bin"});

  // A link to nothing yet makes the file it names.
  std::filesystem::create_symlink("real/later.bin", dir.File("dangling.bin"));
  ASSERT_TRUE(Write(dir.File("dangling.bin"), "made", &error)) << error;
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("dangling.bin"))));
  EXPECT_EQ(ReadFile(dir.File("real/later.bin")), Bytes("made"));

  std::filesystem::create_symlink("loop-b", dir.File("loop-a"));
  std::filesystem::create_symlink("loop-a", dir.File("loop-b"));
  EXPECT_FALSE(Write(dir.File("loop-a"), "x", &error));
  EXPECT_NE(error.find("loop-a"), std::string::npos) << error;
#endif
}

TEST(OutputFile, AFailedWriteLeavesTheOldFileAsItWasAndNothingElse) {
#ifdef _WIN32
  GTEST_SKIP() << "a full disk is made here with a file size limit (setrlimit, fork), POSIX only";
#else
  ScratchDir dir;
  dir.Write("good.png", Bytes("the good old picture"));
  const std::string path = dir.File("good.png");
  // No more than 4 KiB may be written by the child; a larger file fails
  // halfway, as on a full disk.
  const int status = InChild([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 3;
    const std::vector<uint8_t> big(100000, 7);
    std::string error;
    if (WriteWholeFile(path, big.data(), big.size(), &error)) return 1;
    if (error.find(path) == std::string::npos || error.find("File too large") == std::string::npos)
      return 2;
    // A PNG that cannot be finished fails the same way.
    std::vector<uint8_t> rgb(300 * 300 * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
    if (WritePng(path.c_str(), 300, 300, rgb.data(), &error)) return 4;
    return 0;
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(path), Bytes("the good old picture"));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"good.png"});
#endif
}

TEST(OutputFile, TheNullDeviceIsWrittenIntoAndNotRead) {
#ifdef _WIN32
  const std::string null = "NUL";
#else
  const std::string null = "/dev/null";
#endif
  std::string error;
  EXPECT_TRUE(Write(null, "gone", &error)) << error;
  const uint8_t pixel[3] = {1, 2, 3};
  EXPECT_TRUE(WritePng(null.c_str(), 1, 1, pixel, &error)) << error;
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(ReadWholeFile(null, 100, &bytes, &error));
  EXPECT_EQ(error, null + ": is a character device");
}

TEST(OutputFile, DeviceNodesAreWrittenIntoAndNeverRemoved) {
#ifdef _WIN32
  GTEST_SKIP()
      << "Windows has no device nodes in its folders (TheNullDeviceIsWrittenIntoAndNotRead)";
#else
  ScratchDir dir;
  const std::string full = dir.File("myfull"), null = dir.File("mynull");
  if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 ||
      mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "making device nodes needs root";
  std::string error;
  EXPECT_FALSE(Write(full, "no room", &error));
  EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
  const uint8_t pixel[3] = {1, 2, 3};
  EXPECT_FALSE(WritePng(full.c_str(), 1, 1, pixel, &error));
  EXPECT_TRUE(S_ISCHR(ModeOf(full)));
  EXPECT_TRUE(Write(null, "gone", &error)) << error;
  EXPECT_TRUE(WritePng(null.c_str(), 1, 1, pixel, &error)) << error;
  EXPECT_TRUE(S_ISCHR(ModeOf(null)));
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"myfull", "mynull"}));

  // A block device is refused before it is opened.
  if (mknod(dir.File("block").c_str(), S_IFBLK | 0600, makedev(7, 250)) == 0) {
    EXPECT_FALSE(Write(dir.File("block"), "x", &error));
    EXPECT_NE(error.find("is a block device"), std::string::npos) << error;
    EXPECT_TRUE(S_ISBLK(ModeOf(dir.File("block"))));
  }
#endif
}

// A FIFO, or on Windows a named pipe: nothing is made beside it.
TEST(OutputFile, APipeIsWrittenIntoForItsReader) {
  const std::string text(200000, 'f');  // more than a pipe holds at once
  std::vector<uint8_t> received;
  std::string error;
#ifdef _WIN32
  const std::string pipe = "\\\\.\\pipe\\kelvo-files-test-" + std::to_string(GetCurrentProcessId());
  const HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE, 1, 4096,
                                         4096, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE) << GetLastError();
  std::thread reader([&] {
    if (!ConnectNamedPipe(server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
    char buffer[8192];
    DWORD got = 0;
    while (::ReadFile(server, buffer, sizeof buffer, &got, nullptr) && got > 0)
      received.insert(received.end(), buffer, buffer + got);
  });
  EXPECT_TRUE(Write(pipe, text, &error)) << error;
  reader.join();
  CloseHandle(server);
#else
  ScratchDir dir;
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  std::thread reader([&] { received = ReadFile(pipe); });
  EXPECT_TRUE(Write(pipe, text, &error)) << error;
  reader.join();
  EXPECT_TRUE(S_ISFIFO(ModeOf(pipe)));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"pipe"});
#endif
  EXPECT_EQ(received, Bytes(text));
}

TEST(OutputFile, OpenDescriptorsAreWrittenThrough) {
  int ends[2];
#ifdef _WIN32
  // The end written to in text mode, as a console program's standard output
  // is; read as it is.
  ASSERT_EQ(_pipe(ends, 4096, _O_TEXT), 0);
  _setmode(ends[0], _O_BINARY);
#else
  ASSERT_EQ(pipe(ends), 0);
#endif
  std::string error;
  // Bytes as they are on Windows too: \n stays one byte.
  EXPECT_TRUE(Write("/dev/fd/" + std::to_string(ends[1]), "through\nthe pipe", &error)) << error;
  close(ends[1]);
  char buffer[64] = {};
  const auto got = read(ends[0], buffer, sizeof buffer);
  close(ends[0]);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "through\nthe pipe");
  EXPECT_FALSE(Write("/dev/fd/999", "closed", &error));
  EXPECT_NE(error.find("/dev/fd/999"), std::string::npos) << error;
}

TEST(OutputFile, FoldersAndMissingFoldersAreReportedAndLeftAlone) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.File("folder"));
  dir.Write("folder/inside", Bytes("kept"));
  std::string error;
  EXPECT_FALSE(Write(dir.File("folder"), "x", &error));
  EXPECT_EQ(error, "cannot write " + dir.File("folder") + ": is a folder");
  EXPECT_EQ(ReadFile(dir.File("folder/inside")), Bytes("kept"));
  EXPECT_FALSE(Write(dir.File("missing/file"), "x", &error));
  EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
  dir.Write("plain", Bytes("plain"));
  EXPECT_FALSE(Write(dir.File("plain/file"), "x", &error));
#ifdef _WIN32
  const char* throughAFile = "No such file or directory";  // what Windows says of such a path
#else
  const char* throughAFile = "Not a directory";
#endif
  EXPECT_NE(error.find(throughAFile), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir.File("plain")), Bytes("plain"));
  EXPECT_FALSE(Write("", "x", &error));
}

// In a folder its user may not write to, even a file the user may write is
// left alone: replacing it would need a new file beside it.
TEST(OutputFile, AReadOnlyFolderKeepsItsFiles) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows folders have no write permission of their own; needs setuid and fork";
#else
  ScratchDir dir;
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir.File("locked");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  dir.Write("locked/open-file", Bytes("still here"));
  ASSERT_EQ(chmod((folder + "/open-file").c_str(), 0666), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  const int status = InChild([&] {
    // Root may write anywhere: take the identity of an ordinary user.
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return 3;
    std::string error;
    if (Write(folder + "/open-file", "replaced", &error)) return 1;
    if (error.find("Permission denied") == std::string::npos) return 2;
    if (Write(folder + "/new-file", "new", &error)) return 4;
    return 0;
  });
  chmod(folder.c_str(), 0755);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(folder + "/open-file"), Bytes("still here"));
  EXPECT_EQ(Names(folder), std::set<std::string>{"open-file"});
#endif
}

TEST(OutputFile, AReadOnlyFileIsLeftAsItWas) {
#ifndef _WIN32
  GTEST_SKIP() << "root writes read-only files on POSIX systems (AReadOnlyFolderKeepsItsFiles)";
#else
  ScratchDir dir;
  dir.Write("locked", Bytes("still here"));
  ASSERT_TRUE(SetFileAttributesA(dir.File("locked").c_str(), FILE_ATTRIBUTE_READONLY));
  std::string error;
  EXPECT_FALSE(Write(dir.File("locked"), "replaced", &error));
  EXPECT_EQ(error, "cannot write " + dir.File("locked") + ": Permission denied");
  SetFileAttributesA(dir.File("locked").c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(dir.File("locked")), Bytes("still here"));
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"locked"});
#endif
}

// A file another program holds open (without letting it be deleted) cannot
// be replaced on Windows: the write fails, saying so, and the file stays whole.
TEST(OutputFile, AFileOpenElsewhereIsLeftWhole) {
#ifndef _WIN32
  GTEST_SKIP() << "POSIX systems replace open files; their readers keep the old content";
#else
  ScratchDir dir;
  dir.Write("shown.png", Bytes("the old picture"));
  const std::string path = dir.File("shown.png");
  std::string error;
  // A viewer that shares the file for reading only, and one that lets others
  // write to it as the C library's fopen does.
  for (const DWORD sharing : {DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}}) {
    const HANDLE viewer = CreateFileA(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Write(path, "the new picture", &error)) << sharing;
    EXPECT_EQ(error, "cannot write " + path + ": in use by another program");
    CloseHandle(viewer);
    EXPECT_EQ(ReadFile(path), Bytes("the old picture"));
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"shown.png"});
  }
  EXPECT_TRUE(Write(path, "the new picture", &error)) << error;
  EXPECT_EQ(ReadFile(path), Bytes("the new picture"));
#endif
}

TEST(OutputFile, AnAbandonedFileLeavesNoTrace) {
  ScratchDir dir;
  dir.Write("kept", Bytes("old"));
  {
    OutputFile file;
    std::string error;
    ASSERT_TRUE(file.Open(dir.File("kept"), &error)) << error;
    ASSERT_TRUE(file.Open(dir.File("other"), &error)) << error;  // drops the first
    EXPECT_TRUE(file.Write("half", 4));
    EXPECT_EQ(Names(dir.path()).size(), 2u);  // the old file and the new one beside it
  }
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{"kept"});
  EXPECT_EQ(ReadFile(dir.File("kept")), Bytes("old"));
}

TEST(ReadWholeFile, ReadsOnlyRegularFilesUpToItsLimit) {
  ScratchDir dir;
  dir.Write("data", Bytes("0123\r\n\x1a"
                          "789"));  // as it is, in text mode's bytes too
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir.File("data"), 10, &bytes, &error)) << error;
  EXPECT_EQ(bytes, Bytes("0123\r\n\x1a"
                         "789"));
  EXPECT_FALSE(ReadWholeFile(dir.File("data"), 9, &bytes, &error));
  EXPECT_NE(error.find("10 bytes"), std::string::npos) << error;
  EXPECT_FALSE(ReadWholeFile(dir.path(), 100, &bytes, &error));
  EXPECT_EQ(error, dir.path() + ": is a folder");
  EXPECT_FALSE(ReadWholeFile(dir.File("none"), 100, &bytes, &error));
  EXPECT_EQ(error, dir.File("none") + ": No such file or directory");
}

TEST(ReadWholeFile, FollowsLinksAndNeverWaitsOnAFifo) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no FIFOs in its folders, and its links need a privilege";
#else
  ScratchDir dir;
  dir.Write("data", Bytes("0123456789"));
  std::filesystem::create_symlink("data", dir.File("link"));
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir.File("link"), 10, &bytes, &error)) << error;
  EXPECT_EQ(bytes, Bytes("0123456789"));
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(dir.File("fifo"), 100, &bytes, &error));  // returns at once
  EXPECT_EQ(error, dir.File("fifo") + ": is a FIFO");
#endif
}

TEST(MakeFolder, MakesParentsAndRefusesFiles) {
  ScratchDir dir;
  std::string error;
  EXPECT_TRUE(MakeFolder(dir.File("a/b/c"), &error)) << error;
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  EXPECT_TRUE(MakeFolder(dir.File("a/b/c"), &error)) << error;
  dir.Write("file", Bytes("x"));
  EXPECT_FALSE(MakeFolder(dir.File("file"), &error));
  EXPECT_NE(error.find("not one"), std::string::npos) << error;
  EXPECT_FALSE(MakeFolder(dir.File("file/below"), &error));
  EXPECT_NE(error.find("file/below"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir.File("file")), Bytes("x"));
}

}  // namespace
