// kelvo-render run as a user runs it: what it draws, what it writes, and how
// it says what went wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/sysmacros.h>
#endif

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "run_tool.h"
#include "support/test_support.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScratchDir;
using tool_run::Lines;
using tool_run::Quote;
using tool_run::Result;

// Runs kelvo-render with the given arguments (the scratch folder is only
// there for the old callers' sake).
Result Render(const ScratchDir&, const std::string& args, const tool_run::Before& before = {}) {
  return tool_run::Run(KELVO_RENDER, args, before);
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

TEST(Render, RawFrameIsTheBackBufferExactly) {
  ScratchDir dir;
  for (const std::string depth : {"8", "16", "24", "32"}) {
    SCOPED_TRACE(depth);
    const Result r =
        Render(dir, "--mode 640x480x" + depth + " --frame 0 --no-text --raw " + dir.File("f.bin"));
    ASSERT_EQ(r.status, 0) << r.errors;
    const std::vector<uint8_t> bytes = ReadFile(dir.File("f.bin"));
    const size_t bpp = std::stoul(depth) / 8;
    ASSERT_EQ(bytes.size(), 640u * 480u * bpp);
    // Frame 0 shows the front face alone: columns 224..415, rows 144..335.
    for (int y = 0; y < 480; y += 3) {
      for (int x = 0; x < 640; x += 3) {
        bool lit = false;
        for (size_t b = 0; b < bpp; ++b)
          lit |= bytes[(static_cast<size_t>(y) * 640 + x) * bpp + b] != 0;
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
  ASSERT_EQ(
      Render(dir, "--mode 320x240x16 --shading 2 --frame 25 --raw " + dir.File("a.bin")).status, 0);
  ASSERT_EQ(
      Render(dir, "--mode 320x240x16 --shading 2 --frame 25 --raw " + dir.File("b.bin")).status, 0);
  ASSERT_EQ(
      Render(dir, "--mode 320x240x16 --shading 2 --frame 26 --raw " + dir.File("c.bin")).status, 0);
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
    if (i / 640 < 40 && i % 640 < 80 && text[i] == 255)
      ++white;
    else
      ++elsewhere;
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
  ASSERT_EQ(
      Render(dir, "--mode 160x120x8 --frame 3 --frames 3 --out-dir " + dir.File("seq")).status, 0);
  EXPECT_FALSE(ReadFile(dir.File("seq/frame_00003.png")).empty());
  EXPECT_FALSE(ReadFile(dir.File("seq/frame_00005.png")).empty());
  EXPECT_TRUE(ReadFile(dir.File("seq/frame_00006.png")).empty());
}

TEST(Render, BadRequestsGiveOneLineAndAFailingStatus) {
  ScratchDir dir;
  const std::string out = " --raw " + dir.File("x.bin");
  const char* bad[] = {"",                         // nothing to write
                       "--mode 640x480x12",        // unknown depth
                       "--mode 640x480",           // malformed
                       "--mode 0x480x8",           // no pixels
                       "--mode 5000x480x8",        // too big
                       "--shading 6",              // no such mode
                       "--frame -1",               // no such frame
                       "--frames 2",               // a sequence without a folder
                       "--bogus 1",                // unknown argument
                       "--shading",                // value missing
                       "--mode 32x24x8,",          // an empty item
                       "--mode 32x24x8,32x24x12",  // one item's depth
                       "--shading 1,9",            // one item out of range
                       "--frame 1,,2",             // an empty item
                       "--mode 32x24x8,40x30x8",   // a list for one file
                       "--shading 0,1",
                       "--frame 0,5",
                       "--format raw",               // a format without a folder
                       "--format bmp --out-dir x"};  // no such format
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

// Without --assets the renderer finds its data as kelvo-cube does: in the
// current directory when it holds a CUBE.PAL, else beside the program (the
// build's data/, an install's share/kelvo-cube); nowhere is one line naming
// every place looked in.
TEST(Render, FindsItsDataAsTheProgramDoes) {
  ScratchDir dir;
  const std::string frame = " --mode 64x48x8 --frame 3 --no-text --raw ";
  ASSERT_EQ(Render(dir, "--assets " + Quote(testing_support::DataDir()) + frame +
                            Quote(dir.File("named.raw")))
                .status,
            0);
  const std::vector<uint8_t> named = ReadFile(dir.File("named.raw"));

  // Started elsewhere, the build's data/.
  Result r = Render(dir, frame + Quote(dir.File("build.raw")), {.folder = dir.path()});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(ReadFile(dir.File("build.raw")), named);

  // A folder of its own data comes first.
  ScratchDir own;
  for (const char* name : {"CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT", "T1.BMP", "T2.BMP", "T3.BMP",
                           "T4.BMP", "T5.BMP", "T6.BMP"})
    own.CopyData(name);
  own.CopyData("T2.BMP", 1500);
  r = Render(dir, frame + Quote(dir.File("own.raw")), {.folder = own.path()});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_NE(r.errors.find("T2.BMP: 1,500 of 17,462 bytes"), std::string::npos) << r.errors;

  // A copy of the program laid out as an install, and alone.
#ifdef _WIN32
  const std::string bin = ".", share = ".", name = "kelvo-render.exe";
#else
  const std::string bin = "bin", share = "share/kelvo-cube", name = "kelvo-render";
#endif
  ScratchDir prefix, alone;
  std::filesystem::create_directories(prefix.File(bin));
  std::filesystem::create_directories(prefix.File(share));
  for (const auto& entry : std::filesystem::directory_iterator(own.path()))
    std::filesystem::copy_file(entry.path(),
                               std::filesystem::path(prefix.File(share)) / entry.path().filename(),
                               std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(testing_support::DataDir() + "/T2.BMP", prefix.File(share + "/T2.BMP"),
                             std::filesystem::copy_options::overwrite_existing);
  std::filesystem::copy_file(KELVO_RENDER, prefix.File(bin + "/" + name));
  std::filesystem::copy_file(KELVO_RENDER, alone.File(name));
  r = tool_run::Run(prefix.File(bin + "/" + name), frame + Quote(dir.File("installed.raw")),
                    {.folder = dir.path()});
  ASSERT_EQ(r.status, 0) << r.errors;
  EXPECT_EQ(r.errors, "");
  EXPECT_EQ(ReadFile(dir.File("installed.raw")), named);

  r = tool_run::Run(alone.File(name), frame + Quote(dir.File("none.raw")), {.folder = dir.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.errors), 1) << r.errors;
  EXPECT_EQ(r.errors.rfind("kelvo-render: cannot start: CUBE.PAL: not found in the current "
                           "directory (",
                           0),
            0u)
      << r.errors;
  // The folder beside the program, as the system spells it.
  EXPECT_NE(r.errors.find(std::filesystem::path(alone.path()).filename().string()),
            std::string::npos)
      << r.errors;
  EXPECT_FALSE(std::filesystem::exists(dir.File("none.raw")));
}

TEST(Render, HelpGoesToStandardOutput) {
  ScratchDir dir;
  for (const char* args : {"--help", "-h", "--bogus --help"}) {
    SCOPED_TRACE(args);
    const Result r = Render(dir, args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output.rfind("Usage: kelvo-render", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("--out-dir DIR"), std::string::npos);
    EXPECT_EQ(r.errors, "");
  }
}

// The count of drawing threads, from the command line or the environment,
// never changes a byte; a count that is none is refused or warned about.
TEST(Render, AnyThreadCountDrawsTheSameFrames) {
  ScratchDir dir;
  const std::string frames =
      "--mode 320x240x8,200x3x32 --shading 3,4,5 --frame 40 --frames 2 "
      "--format raw --out-dir ";
  ASSERT_EQ(Render(dir, "--threads 1 " + frames + dir.File("one")).status, 0);
  const Result three = Render(dir, "--threads 3 " + frames + dir.File("three"));
  ASSERT_EQ(three.status, 0) << three.errors;
  const Result env =
      Render(dir, frames + dir.File("env"), {.environment = {{"KELVO_THREADS", "4"}}});
  ASSERT_EQ(env.status, 0) << env.errors;
  EXPECT_EQ(env.errors, "");
  ASSERT_EQ(Names(dir.File("one")).size(), 12u);
  for (const std::string& name : Names(dir.File("one"))) {
    const std::vector<uint8_t> one = ReadFile(dir.File("one/" + name));
    EXPECT_EQ(ReadFile(dir.File("three/" + name)), one) << name;
    EXPECT_EQ(ReadFile(dir.File("env/" + name)), one) << name;
  }

  for (const std::string bad : {"0", "65", "two", "-1"}) {
    const Result r = Render(dir, "--threads " + bad + " --raw " + dir.File("x.raw"));
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_EQ(r.errors, "kelvo-render: bad --threads '" + bad + "' (1-64) (see --help)\n");
  }
  const Result warned =
      Render(dir, "--raw " + dir.File("w.raw"), {.environment = {{"KELVO_THREADS", "lots"}}});
  EXPECT_EQ(warned.status, 0);
  EXPECT_NE(warned.errors.find("kelvo-render: warning: KELVO_THREADS='lots' is not a thread count"),
            std::string::npos)
      << warned.errors;
}

TEST(Render, CommandLineMistakesAreNamed) {
  ScratchDir dir;
  const std::string out = Quote(dir.File("x.png"));
  const std::pair<std::string, std::string> cases[] = {
      {"--bogus 1 --png " + out, "unknown argument '--bogus'"},
      {"stray --png " + out, "unknown argument 'stray'"},
      {"--png " + out + " --png " + out, "--png given twice"},
      {"--no-text --no-text --png " + out, "--no-text given twice"},
      {"--png " + out + " --shading", "missing value after --shading"},
      {"--png --raw " + out, "missing value after --png"},
      {"--png ''", "empty name after --png"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const Result r = Render(dir, args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.errors, "kelvo-render: " + message + " (see --help)\n");
  }
  EXPECT_EQ(Names(dir.path()), std::set<std::string>{});
}

TEST(Render, FileSystemErrorsAreOneLineAndStatusOne) {
  ScratchDir dir;
  dir.Write("a-file", Bytes("keep me"));
  std::filesystem::create_directory(dir.File("a-folder"));
  const std::pair<std::string, std::string> cases[] = {
      {"--out-dir " + Quote(dir.File("a-file")), "a-file"},
      {"--out-dir " + Quote(dir.File("a-file/below")), "a-file/below"},
      {"--png " + Quote(dir.File("a-folder")), "is a folder"},
      {"--raw " + Quote(dir.File("a-folder")), "is a folder"},
      {"--sheet " + Quote(dir.File("a-folder")), "is a folder"},
      {"--png " + Quote(dir.File("missing/x.png")), "No such file or directory"},
      {"--assets " + Quote(dir.File("a-file")) + " --png " + Quote(dir.File("x.png")), "a-file"},
  };
  for (const auto& [args, message] : cases) {
    SCOPED_TRACE(args);
    const Result r = Render(dir, "--mode 16x16x8 " + args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_EQ(r.errors.rfind("kelvo-render: ", 0), 0u) << r.errors;
    EXPECT_NE(r.errors.find(message), std::string::npos) << r.errors;
  }
  EXPECT_EQ(ReadFile(dir.File("a-file")), Bytes("keep me"));
  EXPECT_EQ(Names(dir.path()), (std::set<std::string>{"a-file", "a-folder"}));
  EXPECT_EQ(Names(dir.File("a-folder")), std::set<std::string>{});
}

// The disk fills up halfway (a file size limit stands in for it): the old
// picture stays as it was and nothing is left behind.
TEST(Render, AFailedWriteKeepsTheOldFile) {
#ifdef _WIN32
  GTEST_SKIP() << "the full disk is a file size limit (ulimit -f), POSIX only";
#endif
  ScratchDir dir;
  for (const char* flag : {"--png", "--raw", "--sheet"}) {
    SCOPED_TRACE(flag);
    dir.Write("old", Bytes("the old picture"));
    const Result r = Render(dir,
                            "--mode 320x240x24 --shading 3 --frame 30 " + std::string(flag) + " " +
                                Quote(dir.File("old")),
                            {.shell = "trap '' XFSZ; ulimit -f 2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.errors), 1) << r.errors;
    EXPECT_NE(r.errors.find("File too large"), std::string::npos) << r.errors;
    EXPECT_EQ(ReadFile(dir.File("old")), Bytes("the old picture"));
    EXPECT_EQ(Names(dir.path()), std::set<std::string>{"old"});
  }
  // Without the limit the same file is replaced.
  ASSERT_EQ(Render(dir, "--mode 32x24x8 --png " + Quote(dir.File("old"))).status, 0);
  EXPECT_EQ(ReadFile(dir.File("old"))[1], 'P');
}

TEST(Render, DeviceNodesAreWrittenIntoAndKept) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no device nodes in its folders";
#else
  ScratchDir dir;
  const std::string full = dir.File("myfull"), null = dir.File("mynull");
  if (mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0 ||
      mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "making device nodes needs root";
  for (const char* flag : {"--png", "--raw", "--sheet"}) {
    SCOPED_TRACE(flag);
    Result r = Render(dir, "--mode 16x16x8 " + std::string(flag) + " " + Quote(full));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errors, "kelvo-render: cannot write " + full + ": No space left on device\n");
    r = Render(dir, "--mode 16x16x8 " + std::string(flag) + " " + Quote(null));
    EXPECT_EQ(r.status, 0) << r.errors;
    struct stat st {};
    ASSERT_EQ(stat(full.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(st.st_rdev, makedev(1, 7));
    ASSERT_EQ(stat(null.c_str(), &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
#endif
}

TEST(Render, WritesToStandardOutput) {
  ScratchDir dir;
  const Result r = Render(dir, "--mode 40x30x16 --png /dev/stdout");
  ASSERT_EQ(r.status, 0) << r.errors;
  ASSERT_GT(r.output.size(), 8u);
  EXPECT_EQ(r.output.substr(1, 3), "PNG");
}

// One run over lists of modes, shading modes and starts writes exactly the
// frames that single runs write, each named by what it shows.
TEST(Render, ListsWriteRawFramesNamedByModeShadingAndFrame) {
  ScratchDir dir;
  const Result r = Render(dir,
                          "--mode 32x24x8,40x30x16 --shading 0,4 --frame 3,10 --frames 2 "
                          "--format raw --out-dir " +
                              Quote(dir.File("seq")));
  ASSERT_EQ(r.status, 0) << r.errors;
  std::set<std::string> expected;
  for (const std::string mode : {"32x24x8", "40x30x16"}) {
    for (const std::string shading : {"0", "4"}) {
      for (const std::string frame : {"00003", "00004", "00010", "00011"}) {
        const std::string name = mode + "_s" + shading + "_frame_" + frame + ".raw";
        expected.insert(name);
        const Result one = Render(dir, "--mode " + mode + " --shading " + shading + " --frame " +
                                           std::to_string(std::stoi(frame)) + " --raw " +
                                           Quote(dir.File("one.raw")));
        ASSERT_EQ(one.status, 0) << one.errors;
        EXPECT_EQ(ReadFile(dir.File("seq/" + name)), ReadFile(dir.File("one.raw"))) << name;
      }
    }
  }
  EXPECT_EQ(Names(dir.File("seq")), expected);

  // One mode and shading mode: the frame number alone names the file.
  ASSERT_EQ(
      Render(dir, "--mode 16x16x32 --frames 2 --format raw --out-dir " + Quote(dir.File("plain")))
          .status,
      0);
  EXPECT_EQ(Names(dir.File("plain")),
            (std::set<std::string>{"frame_00000.raw", "frame_00001.raw"}));
  EXPECT_EQ(ReadFile(dir.File("plain/frame_00000.raw")).size(), 16u * 16u * 4u);
}

TEST(Render, SequencesReplaceFramesThroughLinks) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows, and the tools do not follow them";
#endif
  ScratchDir dir;
  // An earlier frame is a link to a picture kept elsewhere: the picture is
  // replaced and the link kept.
  std::filesystem::create_directory(dir.File("seq"));
  dir.Write("kept.png", Bytes("old"));
  std::filesystem::create_symlink(dir.File("kept.png"), dir.File("seq/frame_00001.png"));
  ASSERT_EQ(Render(dir, "--mode 32x24x8 --frames 2 --out-dir " + Quote(dir.File("seq"))).status, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("seq/frame_00001.png")));
  EXPECT_EQ(ReadFile(dir.File("kept.png"))[1], 'P');
  EXPECT_EQ(Names(dir.File("seq")), (std::set<std::string>{"frame_00000.png", "frame_00001.png"}));
}

}  // namespace
