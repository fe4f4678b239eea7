#include "scene/data_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/display.h"
#include "platform/headless/headless.h"
#include "scene/cube_app.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "support/test_support.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using testing_support::ScratchDir;

namespace {

// Loads every data file from dir; the warnings of this load.
std::vector<std::string> LoadAll(const std::string& dir) {
  SetAssetDirectory(dir.c_str());
  ClearAssetWarnings();
  EXPECT_EQ(LoadPalette(), 1) << LastAssetError();
  EXPECT_EQ(LoadShadeTable(), 1) << LastAssetError();
  EXPECT_EQ(LoadBlendTable(), 1) << LastAssetError();
  EXPECT_EQ(LoadTextures(), 1) << LastAssetError();
  SetAssetDirectory("");
  FreeSceneMemory();
  return AssetWarnings();
}

void CopyAllData(const ScratchDir& dir) {
  for (const char* name : {"CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT", "T1.BMP", "T2.BMP", "T3.BMP",
                           "T4.BMP", "T5.BMP", "T6.BMP"})
    dir.CopyData(name);
}

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  bytes[at] = static_cast<uint8_t>(v);
  bytes[at + 1] = static_cast<uint8_t>(v >> 8);
}

// A bitmap file as a paint program writes it: file header, 40-byte
// information header, a colour table when there are 8 bits or fewer, pixels.
std::vector<uint8_t> Bitmap(int32_t width, int32_t height, uint32_t bits,
                            uint32_t compression = 0) {
  const uint32_t colours = bits <= 8 ? 1u << bits : 0;
  const uint32_t offset = 54 + 4 * colours;
  const uint32_t rowBytes = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
  const uint32_t rows = static_cast<uint32_t>(height < 0 ? -height : height);
  std::vector<uint8_t> bytes(offset + rowBytes * rows, 0x2A);
  bytes[0] = 'B';
  bytes[1] = 'M';
  Put32(bytes, 2, static_cast<uint32_t>(bytes.size()));
  Put32(bytes, 6, 0);
  Put32(bytes, 10, offset);
  Put32(bytes, 14, 40);
  Put32(bytes, 18, static_cast<uint32_t>(width));
  Put32(bytes, 22, static_cast<uint32_t>(height));
  Put16(bytes, 26, 1);
  Put16(bytes, 28, bits);
  Put32(bytes, 30, compression);
  Put32(bytes, 34, rowBytes * rows);
  Put32(bytes, 46, colours);
  return bytes;
}

TEST(DataFileText, CountsHaveThousandsSeparators) {
  EXPECT_EQ(GroupDigits(0), "0");
  EXPECT_EQ(GroupDigits(768), "768");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(17462), "17,462");
  EXPECT_EQ(GroupDigits(65536), "65,536");
  EXPECT_EQ(GroupDigits(1234567), "1,234,567");
}

TEST(DataFileWarnings, TheGeneratedFilesGiveNone) {
  EXPECT_EQ(LoadAll(testing_support::DataDir()), std::vector<std::string>{});
}

TEST(DataFileWarnings, LongerFilesWithTheRightHeaderGiveNone) {
  ScratchDir dir;
  CopyAllData(dir);
  for (const char* name : {"CUBE.PAL", "PALTBL1.DAT", "T2.BMP"}) {
    std::vector<uint8_t> bytes = testing_support::ReadFile(dir.File(name));
    bytes.resize(bytes.size() + 1000, 7);
    dir.Write(name, bytes);
  }
  // A paint program's own 128x128 8-bit bitmap has just the layout read.
  dir.Write("T3.BMP", Bitmap(128, 128, 8));
  EXPECT_EQ(LoadAll(dir.path()), std::vector<std::string>{});
}

TEST(DataFileWarnings, ShortFilesAreNamedWithWhatIsBlack) {
  ScratchDir dir;
  CopyAllData(dir);
  dir.Write("CUBE.PAL", std::vector<uint8_t>(10, 0x55));
  dir.Write("PALTBL1.DAT", std::vector<uint8_t>(300, 0x66));
  dir.Write("PALTBL2.DAT", {});
  dir.CopyData("T1.BMP", 100);
  dir.CopyData("T6.BMP", 1078 + 130);
  const std::string at = dir.path() + "/";
  EXPECT_EQ(LoadAll(dir.path()),
            (std::vector<std::string>{
                at + "CUBE.PAL: 10 of 768 bytes; the rest of the palette is black",
                at + "PALTBL1.DAT: 300 of 65,536 bytes; the rest of the 8-bit shading table is "
                     "black",
                at + "PALTBL2.DAT: 0 of 65,536 bytes; the 8-bit blending table is black",
                at + "T1.BMP: 100 of 17,462 bytes; the texture is black",
                at + "T6.BMP: 1,208 of 17,462 bytes; the rest of the texture is black",
            }));
}

TEST(DataFileWarnings, TexturesOfAnotherLayoutAreNamedWithWhatTheyAre) {
  ScratchDir dir;
  CopyAllData(dir);
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
  std::vector<uint8_t> longPng = png;
  longPng.resize(20000, 0x11);
  dir.Write("T1.BMP", Bitmap(256, 256, 24));
  dir.Write("T2.BMP", Bitmap(16, 16, 8));
  dir.Write("T3.BMP", longPng);
  dir.Write("T4.BMP", Bitmap(128, 128, 8, 1));
  dir.Write("T5.BMP", Bitmap(128, -128, 8));
  std::vector<uint8_t> moved = Bitmap(128, 128, 8);
  Put32(moved, 10, 1162);
  dir.Write("T6.BMP", moved);
  const std::string at = dir.path() + "/";
  const std::string reads = "; the cube reads 128x128 8-bit pixels at byte 1078";
  EXPECT_EQ(LoadAll(dir.path()),
            (std::vector<std::string>{
                at + "T1.BMP: a 256x256, 24-bit bitmap" + reads,
                at + "T2.BMP: a 16x16, 8-bit bitmap" + reads +
                    " (the file has 1,334 of 17,462 bytes; the rest of the texture is black)",
                at + "T3.BMP: a PNG image, not a BMP" + reads,
                at + "T4.BMP: a 128x128, 8-bit bitmap compressed with RLE8" + reads,
                at + "T5.BMP: a top-down 128x128, 8-bit bitmap; the cube shows it upside down",
                at + "T6.BMP: a 128x128, 8-bit bitmap with its pixels at byte 1162" + reads,
            }));
}

TEST(DataFileWarnings, HeadersThatAreNotBitmapsAtAll) {
  const std::string reads = "; the cube reads 128x128 8-bit pixels at byte 1078";
  const auto problem = [](std::vector<uint8_t> bytes) {
    return TextureHeaderProblem(bytes.data(), bytes.size());
  };
  EXPECT_EQ(problem({0xFF, 0xD8, 0xFF, 0xE0}), "a JPEG image, not a BMP" + reads);
  EXPECT_EQ(problem({'G', 'I', 'F', '8', '9', 'a'}), "a GIF image, not a BMP" + reads);
  EXPECT_EQ(problem({'h', 'e', 'l', 'l', 'o'}), "not a BMP file" + reads);
  EXPECT_EQ(problem({'B'}), "not a BMP file" + reads);
  EXPECT_EQ(problem({'B', 'M', 0, 0}), "a BMP cut off inside its header" + reads);
  std::vector<uint8_t> cut = Bitmap(128, 128, 8);
  cut.resize(30);
  EXPECT_EQ(problem(cut), "a BMP cut off inside its header" + reads);
  std::vector<uint8_t> odd = Bitmap(128, 128, 8);
  Put32(odd, 14, 7);
  EXPECT_EQ(problem(odd), "a BMP with a header of an unknown kind" + reads);
  // The old 12-byte header keeps its sizes in 16 bits.
  std::vector<uint8_t> core(1078, 0);
  core[0] = 'B';
  core[1] = 'M';
  Put32(core, 10, 1078);
  Put32(core, 14, 12);
  Put16(core, 18, 128);
  Put16(core, 20, 128);
  Put16(core, 22, 1);
  Put16(core, 24, 8);
  EXPECT_EQ(problem(core), "");
  Put16(core, 24, 4);
  EXPECT_EQ(problem(core), "a 128x128, 4-bit bitmap" + reads);
  EXPECT_EQ(problem(Bitmap(128, 128, 8)), "");
}

TEST(DataFileWarnings, AreKeptForTheLatestLoadOfEachFile) {
  ScratchDir dir;
  CopyAllData(dir);
  dir.CopyData("T2.BMP", 2000);
  EXPECT_EQ(LoadAll(dir.path()).size(), 1u);
  dir.CopyData("T2.BMP");
  SetAssetDirectory(dir.path().c_str());
  ASSERT_EQ(LoadTextures(), 1);
  EXPECT_TRUE(AssetWarnings().empty());
  dir.Write("CUBE.PAL", {1, 2, 3});
  ASSERT_EQ(LoadPalette(), 1);
  EXPECT_EQ(AssetWarnings().size(), 1u);
  ClearAssetWarnings();
  EXPECT_TRUE(AssetWarnings().empty());
  SetAssetDirectory("");
  FreeSceneMemory();
}

class CubeAppStart : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    ASSERT_TRUE(CreateDisplayDevice(nullptr));
#ifdef __EMSCRIPTEN__
    GTEST_SKIP() << "standard error cannot be captured under Node (no dup2 of it)";
#endif
  }
  void TearDown() override {
    ReleaseDisplayDevice();
    app.Shutdown();
    SetAssetDirectory("");
  }
  // Runs Init on dir's files; what it wrote on standard error.
  std::string StartOn(const std::string& dir, int32_t* result) {
    SetAssetDirectory(dir.c_str());
    testing::internal::CaptureStderr();
    *result = app.Init();
    return testing::internal::GetCapturedStderr();
  }
  CubeApp app;
};

TEST_F(CubeAppStart, WritesEachWarningOnceAndStillStarts) {
  ScratchDir dir;
  CopyAllData(dir);
  dir.CopyData("T3.BMP", 5000);
  dir.Write("PALTBL2.DAT", std::vector<uint8_t>(65535, 1));
  int32_t result = 0;
  const std::string printed = StartOn(dir.path(), &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(printed, "warning: " + dir.path() +
                         "/PALTBL2.DAT: 65,535 of 65,536 bytes; the rest of the 8-bit blending "
                         "table is black\n"
                         "warning: " +
                         dir.path() +
                         "/T3.BMP: 5,000 of 17,462 bytes; the rest of the texture "
                         "is black\n");
}

TEST_F(CubeAppStart, GoodFilesStartWithoutAWord) {
  int32_t result = 0;
  EXPECT_EQ(StartOn(testing_support::DataDir(), &result), "");
  EXPECT_EQ(result, 1);
}

TEST_F(CubeAppStart, WarnsAboutWhatWasReadBeforeAMissingFile) {
  ScratchDir dir;
  CopyAllData(dir);
  dir.Write("CUBE.PAL", std::vector<uint8_t>(700, 1));
  std::filesystem::remove(dir.File("T4.BMP"));
  int32_t result = 1;
  const std::string printed = StartOn(dir.path(), &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(printed, "warning: " + dir.path() +
                         "/CUBE.PAL: 700 of 768 bytes; the rest of the palette is black\n");
  ASSERT_NE(app.initError, nullptr);
  EXPECT_EQ(std::string(app.initError),
            dir.path() +
                "/T4.BMP: " + std::make_error_code(std::errc::no_such_file_or_directory).message());
}

#if defined(__unix__) || defined(__APPLE__)

// Opens the FIFO for writing if the test has not finished in time, which
// releases a reader stuck in opening it; the test then fails instead of
// hanging.
class FifoWatchdog {
 public:
  explicit FifoWatchdog(std::string fifo) : fifo_(std::move(fifo)), thread_([this] { Watch(); }) {}
  ~FifoWatchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool fired() const { return fired_; }

 private:
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done_) {
      if (wake_.wait_for(lock, std::chrono::seconds(5), [this] { return done_; })) return;
      fired_ = true;
      const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
  }
  std::string fifo_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};
#endif

TEST(DataFileKinds, OnlyRegularFilesAreReadAndNothingBlocks) {
#if defined(__EMSCRIPTEN__)
  GTEST_SKIP() << "no FIFOs or sockets through Node's file system "
                  "(ADirectoryInPlaceOfADataFileStopsTheStartWithItsName runs)";
#elif !defined(__unix__) && !defined(__APPLE__)
  GTEST_SKIP() << "no FIFOs, sockets or device links in this system's folders "
                  "(ADirectoryInPlaceOfADataFileStopsTheStartWithItsName runs)";
#else
  ScratchDir dir;
  CopyAllData(dir);
  const std::string at = dir.path() + "/";
  std::filesystem::remove(dir.File("CUBE.PAL"));
  std::filesystem::create_directory(dir.File("CUBE.PAL"));
  std::filesystem::remove(dir.File("PALTBL1.DAT"));
  ASSERT_EQ(::mkfifo(dir.File("PALTBL1.DAT").c_str(), 0600), 0);
  std::filesystem::remove(dir.File("PALTBL2.DAT"));
  std::filesystem::create_symlink("/dev/null", dir.File("PALTBL2.DAT"));
  std::filesystem::remove(dir.File("T1.BMP"));
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir.File("T1.BMP");
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

  SetAssetDirectory(dir.path().c_str());
  {
    FifoWatchdog watchdog(dir.File("PALTBL1.DAT"));
    EXPECT_EQ(LoadPalette(), 0);
    EXPECT_EQ(std::string(LastAssetError()), at + "CUBE.PAL: is a directory");
    EXPECT_EQ(LoadShadeTable(), 0);
    EXPECT_EQ(std::string(LastAssetError()),
              at + "PALTBL1.DAT: is a FIFO (named pipe), not a file");
    EXPECT_EQ(LoadBlendTable(), 0);
    EXPECT_EQ(std::string(LastAssetError()), at + "PALTBL2.DAT: is a character device, not a file");
    EXPECT_EQ(LoadTextures(), 0);
    EXPECT_EQ(std::string(LastAssetError()), at + "T1.BMP: is a socket, not a file");
    EXPECT_FALSE(watchdog.fired()) << "a load blocked on the FIFO";
  }
  ::close(sock);

  // A link to a regular file is read; a link to nothing is missing.
  std::filesystem::remove(dir.File("T1.BMP"));
  std::filesystem::create_symlink(testing_support::DataDir() + "/T1.BMP", dir.File("T1.BMP"));
  std::filesystem::rename(dir.File("T2.BMP"), dir.File("moved.BMP"));
  std::filesystem::create_symlink(dir.File("moved.BMP"), dir.File("T2.BMP"));
  EXPECT_EQ(LoadTextures(), 1) << LastAssetError();
  EXPECT_TRUE(AssetWarnings().empty());
  std::filesystem::remove(dir.File("moved.BMP"));
  EXPECT_EQ(LoadTextures(), 0);
  EXPECT_EQ(std::string(LastAssetError()),
            at + "T2.BMP: " + std::make_error_code(std::errc::no_such_file_or_directory).message());
  SetAssetDirectory("");
  FreeSceneMemory();
#endif
}

TEST_F(CubeAppStart, ADirectoryInPlaceOfADataFileStopsTheStartWithItsName) {
  ScratchDir dir;
  CopyAllData(dir);
  std::filesystem::remove(dir.File("T5.BMP"));
  std::filesystem::create_directory(dir.File("T5.BMP"));
  int32_t result = 1;
  EXPECT_EQ(StartOn(dir.path(), &result), "");
  EXPECT_EQ(result, 0);
  ASSERT_NE(app.initError, nullptr);
  EXPECT_EQ(std::string(app.initError), dir.path() + "/T5.BMP: is a directory");
  EXPECT_EQ(headless::CurrentMode().width, 0u);
}

}  // namespace
