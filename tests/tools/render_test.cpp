#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScratchDir;

struct Result {
  int status = -1;
  std::string errors;
};

// Runs kelvo-render with the given arguments; its standard error is kept.
Result Render(const ScratchDir& dir, const std::string& args) {
  const std::string errFile = dir.File("stderr.txt");
  const std::string command = std::string(KELVO_RENDER) + " " + args + " 2>" + errFile;
  const int raw = std::system(command.c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  const std::vector<uint8_t> err = ReadFile(errFile);
  r.errors.assign(err.begin(), err.end());
  return r;
}

int Lines(const std::string& text) {
  int n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

TEST(Render, RawFrameIsTheBackBufferExactly) {
  ScratchDir dir;
  for (const std::string depth : {"8", "16", "24", "32"}) {
    SCOPED_TRACE(depth);
    const Result r = Render(dir, "--mode 640x480x" + depth + " --frame 0 --no-text --raw " +
                                     dir.File("f.bin"));
    ASSERT_EQ(r.status, 0) << r.errors;
    const std::vector<uint8_t> bytes = ReadFile(dir.File("f.bin"));
    const size_t bpp = std::stoul(depth) / 8;
    ASSERT_EQ(bytes.size(), 640u * 480u * bpp);
    // Frame 0 shows the front face alone: columns 224..415, rows 144..335.
    for (int y = 0; y < 480; y += 3) {
      for (int x = 0; x < 640; x += 3) {
        bool lit = false;
        for (size_t b = 0; b < bpp; ++b) lit |= bytes[(static_cast<size_t>(y) * 640 + x) * bpp + b] != 0;
        const bool inside = x >= 224 && x < 416 && y >= 144 && y < 336;
        if (inside) {
          ASSERT_TRUE(lit) << x << "," << y;
        } else {
          ASSERT_FALSE(lit) << x << "," << y;
        }
      }
    }
  }
}

TEST(Render, FramesTurnAndRepeatExactly) {
  ScratchDir dir;
  ASSERT_EQ(Render(dir, "--mode 320x240x16 --shading 2 --frame 25 --raw " + dir.File("a.bin")).status, 0);
  ASSERT_EQ(Render(dir, "--mode 320x240x16 --shading 2 --frame 25 --raw " + dir.File("b.bin")).status, 0);
  ASSERT_EQ(Render(dir, "--mode 320x240x16 --shading 2 --frame 26 --raw " + dir.File("c.bin")).status, 0);
  EXPECT_EQ(ReadFile(dir.File("a.bin")), ReadFile(dir.File("b.bin")));
  EXPECT_NE(ReadFile(dir.File("a.bin")), ReadFile(dir.File("c.bin")));
}

TEST(Render, TheFrameRateTextIsDrawnUnlessLeftOut) {
  ScratchDir dir;
  ASSERT_EQ(Render(dir, "--frame 0 --raw " + dir.File("text.bin")).status, 0);
  ASSERT_EQ(Render(dir, "--frame 0 --no-text --raw " + dir.File("plain.bin")).status, 0);
  const std::vector<uint8_t> text = ReadFile(dir.File("text.bin"));
  const std::vector<uint8_t> plain = ReadFile(dir.File("plain.bin"));
  ASSERT_EQ(text.size(), plain.size());
  int white = 0, elsewhere = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == plain[i]) continue;
    if (i / 640 < 40 && i % 640 < 80 && text[i] == 255) ++white;
    else ++elsewhere;
  }
  EXPECT_GT(white, 20);  // "0 FPS" in the palette's white, top left
  EXPECT_EQ(elsewhere, 0);
}

TEST(Render, WritesPicturesAndSequences) {
  ScratchDir dir;
  ASSERT_EQ(Render(dir, "--mode 200x150x24 --png " + dir.File("one.png")).status, 0);
  const std::vector<uint8_t> png = ReadFile(dir.File("one.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png[1], 'P');
  EXPECT_EQ(png[2], 'N');
  EXPECT_EQ(png[19], 200);  // width in the header
  EXPECT_EQ(png[23], 150);
  ASSERT_EQ(Render(dir, "--mode 160x120x8 --frame 3 --frames 3 --out-dir " + dir.File("seq")).status, 0);
  EXPECT_FALSE(ReadFile(dir.File("seq/frame_00003.png")).empty());
  EXPECT_FALSE(ReadFile(dir.File("seq/frame_00005.png")).empty());
  EXPECT_TRUE(ReadFile(dir.File("seq/frame_00006.png")).empty());
}

TEST(Render, BadRequestsGiveOneLineAndAFailingStatus) {
  ScratchDir dir;
  const std::string out = " --raw " + dir.File("x.bin");
  const char* bad[] = {"",                                 // nothing to write
                       "--mode 640x480x12",                // unknown depth
                       "--mode 640x480",                   // malformed
                       "--mode 0x480x8",                   // no pixels
                       "--mode 5000x480x8",                // too big
                       "--shading 6",                      // no such mode
                       "--frame -1",                       // no such frame
                       "--frames 2",                       // a sequence without a folder
                       "--bogus 1",                        // unknown argument
                       "--shading"};                       // value missing
  for (const char* args : bad) {
    SCOPED_TRACE(args);
    const Result r = Render(dir, std::string(args) + (std::string(args).empty() ? "" : out));
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_NE(r.errors.find("kelvo-render: "), std::string::npos);
  }
}

TEST(Render, MissingDataIsNamed) {
  ScratchDir dir;
  Result r = Render(dir, "--assets " + dir.File("nowhere") + " --raw " + dir.File("x.bin"));
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(Lines(r.errors), 1);
  EXPECT_NE(r.errors.find("nowhere"), std::string::npos);

  ScratchDir assets;
  for (const char* name : {"CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT", "T1.BMP", "T2.BMP"})
    assets.CopyData(name);
  r = Render(dir, "--assets " + assets.path() + " --raw " + dir.File("x.bin"));
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(Lines(r.errors), 1);
  EXPECT_NE(r.errors.find("T3.BMP"), std::string::npos) << r.errors;
}

}  // namespace
