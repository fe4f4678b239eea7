// Command ids of the menu and accelerators, shared by the frame and the scene.
#pragma once
#include <cstdint>

constexpr uint32_t kCmdAbout = 1;
constexpr uint32_t kCmdExit = 2;
constexpr uint32_t kCmdNoShading = 40001;
constexpr uint32_t kCmdGouraudShading = 40003;
constexpr uint32_t kCmdPhongShading = 40004;
constexpr uint32_t kCmdFlatShading = 40005;
constexpr uint32_t kCmdTransparency = 40006;
constexpr uint32_t kCmdInclinedMapping = 40007;
// The "Modes" items are numbered from here, one per listed mode.
constexpr uint32_t kCmdFirstMode = 100;
constexpr uint32_t kCmdLastMode = 199;
