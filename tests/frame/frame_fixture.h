// A stand-in application for testing the frame without the scene, and a
// fixture that gives every test a fresh machine and fresh frame state.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/ddapp.h"
#include "app/display.h"
#include "app/frame_rate.h"
#include "app/keyboard.h"
#include "app/window.h"
#include "platform/headless/headless.h"
#include "platform/winuser.h"
#include "res/resources.h"

namespace frame_test {

struct Call {
  std::string what;
  size_t traceAt;  // platform trace length when it happened
};

class FakeApp : public DDApp {
 public:
  FakeApp() : DDApp("Fake Cube") {}

  int32_t Init() override {
    Record("Init");
    if (!initResult) {
      initError = failureText;
      return 0;
    }
    paletteSource = palette;
    return firstMode ? SetMode(640, 480, 8) : 1;
  }
  void Shutdown() override {
    Record("Shutdown");
    devicesGoneAtShutdown = ddraw == nullptr && keyboard == nullptr && dinput == nullptr;
  }
  int32_t SetMode(int32_t w, int32_t h, int32_t bpp) override {
    Record("SetMode " + std::to_string(w) + "x" + std::to_string(h) + "x" + std::to_string(bpp));
    return DDApp::SetMode(w, h, bpp);
  }
  void RenderFrame() override {
    ++frames;
    if (onRender) onRender();
  }
  void OnKeyEvent(const KeyEvent* event) override { keys.push_back(*event); }
  plat::LRESULT HandleMessage(plat::HWND window, plat::UINT message, plat::WPARAM wParam,
                              plat::LPARAM lParam) override {
    if (message == plat::WM_COMMAND) commands.push_back(plat::LowWord(wParam));
    if (message == plat::WM_DESTROY) Record("WM_DESTROY");
    return plat::DefWindowProcA(window, message, wParam, lParam);
  }

  void Record(const std::string& what) { calls.push_back({what, headless::Trace().size()}); }
  bool Called(const std::string& what) const {
    return std::any_of(calls.begin(), calls.end(), [&](const Call& c) { return c.what == what; });
  }

  int32_t initResult = 1;
  bool firstMode = true;
  const char* failureText = nullptr;
  uint8_t palette[768] = {};
  int frames = 0;
  std::function<void()> onRender;
  std::vector<KeyEvent> keys;
  std::vector<uint32_t> commands;
  std::vector<Call> calls;
  bool devicesGoneAtShutdown = false;
};

// Index of the first trace line starting with prefix at or after `from`, or
// -1 when there is none.
inline long TraceIndex(const std::string& prefix, size_t from = 0) {
  const auto& t = headless::Trace();
  for (size_t i = from; i < t.size(); ++i)
    if (t[i].rfind(prefix, 0) == 0) return static_cast<long>(i);
  return -1;
}

inline bool TraceHas(const std::string& prefix) { return TraceIndex(prefix) >= 0; }

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headless::Reset();
    ResetFrameState();
    headless::SetModuleResources(&ProgramResources());
    headless::SetDataDirectory(KELVO_DATA_DIR);
    headless::SetIdleLimit(2000);
  }
  void TearDown() override {
    EXPECT_EQ(headless::UnlockedWrites(), 0u) << "written through a lock's address after Unlock";
    headless::Reset();
    ResetFrameState();
    theApp = nullptr;
  }

  // Start-up as WinMain does it, up to and with Init, without the loop.
  void StartUp() {
    ASSERT_EQ(CreateMainWindow(plat::GetModuleHandleA(nullptr), nullptr, "", plat::SW_SHOWNORMAL),
              1)
        << StartupFailure();
    ASSERT_EQ(app.Init(), 1);
  }
  // Runs the whole program with the steps added so far; WinMain's result.
  int32_t Run() {
    char commandLine[] = "";
    return WinMain(plat::GetModuleHandleA(nullptr), nullptr, commandLine, plat::SW_SHOWNORMAL);
  }

  FakeApp app;
};

}  // namespace frame_test
