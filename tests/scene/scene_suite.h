// A suite that draws the cube: the scene loaded once from the build's data
// files, and freed with the thread count given back after the last test.
#pragma once
#include <gtest/gtest.h>

#include "platform/threads.h"
#include "scene/scene.h"
#include "scene/tables.h"
#include "support/test_support.h"

class SceneSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SetAssetDirectory(testing_support::DataDir().c_str());
    ASSERT_EQ(LoadScene(), 1) << LastAssetError();
    SetAssetDirectory("");
  }
  static void TearDownTestSuite() {
    FreeSceneMemory();
    plat::SetThreadCount(plat::MachineThreads());
  }
};
