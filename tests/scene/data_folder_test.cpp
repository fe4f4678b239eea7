// Where the programs find their data files when no folder is named.
#include "scene/data_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "scene/tables.h"
#include "support/test_support.h"

using testing_support::ScratchDir;

namespace {

void CopyAllData(const ScratchDir& dir) {
  for (const char* name : {"CUBE.PAL", "PALTBL1.DAT", "PALTBL2.DAT", "T1.BMP", "T2.BMP", "T3.BMP",
                           "T4.BMP", "T5.BMP", "T6.BMP"})
    dir.CopyData(name);
}

// With several folders to look in, every file comes from the first that holds
// a CUBE.PAL, of whatever kind: never some from one folder and some from the
// next. None holding one is one line naming them all.
TEST(DataFolders, TheFirstFolderWithAPaletteGivesEveryFile) {
  ScratchDir full, partial, odd;
  CopyAllData(full);
  partial.CopyData("CUBE.PAL");
  std::filesystem::create_directory(odd.File("CUBE.PAL"));
  const std::string nowhere = full.File("nowhere"), none = full.File("none");

  SetAssetFolders({nowhere, full.path(), partial.path()});
  EXPECT_EQ(LoadScene(), 1) << LastAssetError();
  SetAssetFolders({nowhere, partial.path(), full.path()});
  EXPECT_EQ(LoadScene(), 0);
  EXPECT_EQ(std::string(LastAssetError()).rfind(partial.File("PALTBL1.DAT: "), 0), 0u)
      << LastAssetError();
  SetAssetFolders({odd.path(), full.path()});
  EXPECT_EQ(LoadScene(), 0);
  EXPECT_EQ(std::string(LastAssetError()), odd.File("CUBE.PAL: is a directory"));

  SetAssetFolders({"", nowhere, none});
  ASSERT_FALSE(std::filesystem::exists("CUBE.PAL")) << "the tests' own folder has data";
  EXPECT_EQ(LoadScene(), 0);
  EXPECT_EQ(std::string(LastAssetError()), "CUBE.PAL: not found in the current directory (" +
                                               std::filesystem::current_path().string() + "), " +
                                               nowhere + " or " + none);

  // One folder named again: no search, the folder's own errors.
  SetAssetDirectory(none.c_str());
  EXPECT_EQ(LoadScene(), 0);
  EXPECT_EQ(std::string(LastAssetError()).rfind(none + "/CUBE.PAL: ", 0), 0u) << LastAssetError();
  SetAssetDirectory("");
  FreeSceneMemory();
}

// A program looks in the current directory, then beside itself: a build's
// data/ folder, an install's share/kelvo-cube (a Windows zip: the exe's own
// folder).
TEST(DataFolders, AreTheCurrentOneThenBesideTheProgram) {
  EXPECT_EQ(DataFoldersFor(""), std::vector<std::string>{""});
#ifdef _WIN32
  EXPECT_EQ(DataFoldersFor("C:\\Games\\kelvo"),
            (std::vector<std::string>{"", "C:\\Games\\kelvo", "C:\\Games\\kelvo\\data"}));
  const char* const self = "kelvo_scene_tests.exe";
#else
  EXPECT_EQ(DataFoldersFor("/opt/kelvo/bin"),
            (std::vector<std::string>{"", "/opt/kelvo/bin/data", "/opt/kelvo/share/kelvo-cube"}));
#ifdef __EMSCRIPTEN__
  const char* const self = "kelvo_scene_tests.js";  // the script Node runs
#else
  const char* const self = "kelvo_scene_tests";
#endif
#endif
  const std::string program = ProgramFolder();
  EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::path(program) / self)) << program;
  std::vector<std::string> expected = DataFoldersFor(program);
  std::erase_if(expected, [](const std::string& f) {
    return !f.empty() && std::filesystem::exists(f) && std::filesystem::equivalent(f, ".");
  });
  EXPECT_EQ(DataFolders(), expected);
}

}  // namespace
