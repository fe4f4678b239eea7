// The tools' file writer: it replaces files only with complete ones, and never
// removes or truncates what it did not create.
#include "tools/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "tools/png_write.h"

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

TEST(OutputFile, WritesNewFilesAndReplacesOldOnesKeepingTheirPermissions) {
  ScratchDir dir;
  std::string error;
  ASSERT_TRUE(Write(dir.File("new.txt"), "fresh", &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("new.txt")), Bytes("fresh"));
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(ModeOf(dir.File("new.txt")) & 0777, 0666 & ~mask);

  dir.Write("old.txt", Bytes("a longer old text"));
  ASSERT_EQ(chmod(dir.File("old.txt").c_str(), 0640), 0);
  ASSERT_TRUE(Write(dir.File("old.txt"), "new", &error)) << error;
  EXPECT_EQ(ReadFile(dir.File("old.txt")), Bytes("new"));
  EXPECT_EQ(ModeOf(dir.File("old.txt")) & 07777, 0640u);
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"new.txt", "old.txt"}));
}

TEST(OutputFile, ALinkKeepsPointingAtTheNewContent) {
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
}

TEST(OutputFile, AFailedWriteLeavesTheOldFileAsItWasAndNothingElse) {
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
}

TEST(OutputFile, DeviceNodesAreWrittenIntoAndNeverRemoved) {
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
}

TEST(OutputFile, AFifoIsWrittenIntoForItsReader) {
  ScratchDir dir;
  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::vector<uint8_t> received;
  std::thread reader([&] { received = ReadFile(fifo); });
  const std::string text(200000, 'f');  // more than a pipe holds at once
  std::string error;
  EXPECT_TRUE(Write(fifo, text, &error)) << error;
  reader.join();
  EXPECT_EQ(received, Bytes(text));
  EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
}

TEST(OutputFile, OpenDescriptorsAreWrittenThrough) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::string error;
  EXPECT_TRUE(Write("/dev/fd/" + std::to_string(ends[1]), "through the pipe", &error)) << error;
  close(ends[1]);
  char buffer[64] = {};
  const ssize_t got = read(ends[0], buffer, sizeof buffer);
  close(ends[0]);
  EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0), "through the pipe");
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
  EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir.File("plain")), Bytes("plain"));
  EXPECT_FALSE(Write("", "x", &error));
}

// In a folder its user may not write to, even a file the user may write is
// left alone: replacing it would need a new file beside it.
TEST(OutputFile, AReadOnlyFolderKeepsItsFiles) {
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

TEST(ReadWholeFile, ReadsOnlyRegularFilesAndNeverWaits) {
  ScratchDir dir;
  dir.Write("data", Bytes("0123456789"));
  std::filesystem::create_symlink("data", dir.File("link"));
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir.File("link"), 10, &bytes, &error)) << error;
  EXPECT_EQ(bytes, Bytes("0123456789"));
  EXPECT_FALSE(ReadWholeFile(dir.File("data"), 9, &bytes, &error));
  EXPECT_NE(error.find("10 bytes"), std::string::npos) << error;

  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(ReadWholeFile(dir.File("fifo"), 100, &bytes, &error));  // returns at once
  EXPECT_EQ(error, dir.File("fifo") + ": is a FIFO");
  EXPECT_FALSE(ReadWholeFile(dir.path(), 100, &bytes, &error));
  EXPECT_EQ(error, dir.path() + ": is a folder");
  EXPECT_FALSE(ReadWholeFile(dir.File("none"), 100, &bytes, &error));
  EXPECT_EQ(error, dir.File("none") + ": No such file or directory");
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
