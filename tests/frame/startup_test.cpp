// Start-up order, its failures, the exit codes and the order of shutdown.
#include "frame_fixture.h"

namespace frame_test {
namespace {

using headless::Call;
using namespace plat;

TEST_F(FrameTest, StartsInOrderAndShutsDownInOrder) {
  headless::AddStep(3, [] {
    EXPECT_EQ(active, 1);
    EXPECT_EQ(paused, 0);
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);

  const char* startOrder[] = {"RegisterClass Fake Cube",
                              "CreateWindow Fake Cube",
                              "ShowWindow 1",
                              "WM_ACTIVATEAPP 1",
                              "UpdateWindow",
                              "DirectDrawCreate",
                              "SetCooperativeLevel 0x53",
                              "DirectInputCreate 0x500",
                              "CreateDevice keyboard",
                              "SetDataFormat keyboard",
                              "SetCooperativeLevel keyboard 0x6",
                              "SetProperty buffer size 10",
                              "Acquire keyboard",
                              "EnumDisplayModes 0x0"};
  long last = -1;
  for (const char* step : startOrder) {
    const long at = TraceIndex(step, static_cast<size_t>(last + 1));
    EXPECT_GT(at, last) << step;
    last = std::max(last, at);
  }
  // Init comes after the menu is complete, and sets the first mode.
  ASSERT_GE(app.calls.size(), 3u);
  EXPECT_EQ(app.calls[0].what, "Init");
  EXPECT_GT(static_cast<long>(app.calls[0].traceAt), last);
  EXPECT_EQ(app.calls[1].what, "SetMode 640x480x8");

  const char* endOrder[] = {"Release back buffer", "Release primary surface", "Release palette",
                            "Release DirectDraw",  "Unacquire keyboard",      "Release keyboard",
                            "Release DirectInput"};
  const long quit = TraceIndex("PostQuitMessage 0");
  ASSERT_GE(quit, 0);
  last = quit;
  for (const char* step : endOrder) {
    const long at = TraceIndex(step, static_cast<size_t>(quit));
    EXPECT_GT(at, last) << step;
    last = std::max(last, at);
  }
  EXPECT_EQ(app.calls.back().what, "Shutdown");
  EXPECT_GE(static_cast<long>(app.calls.back().traceAt), last + 1);
  EXPECT_TRUE(app.devicesGoneAtShutdown);
}

TEST_F(FrameTest, TheWindowAndItsClassAreAsDescribed) {
  StartUp();
  ASSERT_NE(mainWindow, nullptr);
  EXPECT_EQ(appInstance, GetModuleHandleA(nullptr));
  EXPECT_NE(accelTable, nullptr);
  HMENU bar = GetMenu(mainWindow);
  ASSERT_EQ(GetMenuItemCount(bar), 3);
  const char* titles[] = {"&Cube", "&Options", "Modes"};
  for (UINT i = 0; i < 3; ++i) {
    char text[32] = {};
    GetMenuStringA(bar, i, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, titles[i]);
    EXPECT_NE(GetSubMenu(bar, static_cast<int32_t>(i)), nullptr);
  }
  // A second class of the same name cannot be registered: ours exists.
  WNDCLASSA again{};
  again.lpfnWndProc = MainWndProc;
  again.lpszClassName = "Fake Cube";
  EXPECT_EQ(RegisterClassA(&again), 0);
}

TEST_F(FrameTest, ANormalQuitExitsWithZero) {
  headless::AddStep(2, [] { headless::KeyPress(DIK_ESCAPE); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

struct FailureCase {
  Call call;
  const char* reason;
};

class StartupFailure : public FrameTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(StartupFailure, EndsAtOnceWithItsReason) {
  headless::Fail(GetParam().call);
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find(GetParam().reason), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  EXPECT_EQ(err.rfind("Fake Cube: start-up failed: ", 0), 0u) << err;
  // Nothing released, no Init, no Shutdown, no loop.
  EXPECT_FALSE(app.Called("Init"));
  EXPECT_FALSE(app.Called("Shutdown"));
  EXPECT_FALSE(TraceHas("Release"));
  EXPECT_FALSE(TraceHas("Unacquire"));
  EXPECT_FALSE(TraceHas("EnumDisplayModes"));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, StartupFailure,
    testing::Values(FailureCase{Call::RegisterClass, "window class"},
                    FailureCase{Call::DirectDrawCreate, "DirectDrawCreate"},
                    FailureCase{Call::SetCooperativeLevel, "SetCooperativeLevel"},
                    FailureCase{Call::DirectInputCreate, "DirectInputCreateA"},
                    FailureCase{Call::CreateDevice, "CreateDevice"},
                    FailureCase{Call::SetDataFormat, "data format"},
                    FailureCase{Call::KeyboardCooperativeLevel, "keyboard cooperative level"},
                    FailureCase{Call::SetProperty, "buffer size"}));

TEST_F(FrameTest, AFailedInitGivesTheApplicationsReason) {
  app.initResult = 0;
  app.failureText = "cannot open T4.BMP: no such file";
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Fake Cube: start-up failed: cannot open T4.BMP: no such file\n");
  EXPECT_FALSE(app.Called("Shutdown"));
  EXPECT_FALSE(TraceHas("Release"));

  // Without a reason from the application the frame still says something.
  headless::Reset();
  ResetFrameState();
  app.failureText = nullptr;
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("could not initialise"), std::string::npos);
}

TEST_F(FrameTest, AVeryLongReasonIsCutAndStillOneLine) {
  // A data folder's path can be as long as the file system allows.
  const std::string reason = "cannot open " + std::string(2000, 'd') + "/T1.BMP";
  app.initResult = 0;
  app.failureText = reason.c_str();
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 1);
  const std::string err = testing::internal::GetCapturedStderr();
  const std::string start = "Fake Cube: start-up failed: cannot open ddd";
  EXPECT_EQ(err.rfind(start, 0), 0u) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
  EXPECT_LT(err.size(), 600u);
  EXPECT_GT(err.size(), 500u);
}

TEST_F(FrameTest, AFailedAcquisitionDoesNotStopStartUpButNoKeysArrive) {
  headless::Fail(Call::Acquire);
  headless::AddStep(2, [] { headless::KeyPress(DIK_3); });
  headless::AddStep(5, [] {
    // Not acquired is not lost: no new attempt.
    EXPECT_EQ(headless::CallCount(Call::Acquire), 1u);
    headless::KeyPress(DIK_ESCAPE);
  });
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(app.keys.empty());
}

TEST_F(FrameTest, AMissingIconDoesNotStopTheProgram) {
  headless::SetDataDirectory("/nonexistent-folder");
  headless::AddStep(2, [] { headless::KeyPress(DIK_ESCAPE); });
  testing::internal::CaptureStderr();
  EXPECT_EQ(RunApplication(), 0);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("no icon AppIcon"), std::string::npos) << err;
  EXPECT_GT(app.frames, 0);
}

TEST_F(FrameTest, TheGeneratedIconLoads) {
  plat::HICON icon = LoadIconA(GetModuleHandleA(nullptr), "AppIcon");
  EXPECT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), "NoSuchIcon"), nullptr);
}

}  // namespace
}  // namespace frame_test
