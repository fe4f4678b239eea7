// The twenty colours every palette-based Windows display keeps for itself:
// ten at the bottom of the system palette and ten at the top, as red, green,
// blue. Both the emulated screen and the Windows layer start from them.
#pragma once
#include <cstdint>

namespace plat {

constexpr uint8_t kStaticColoursLow[10][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
constexpr uint8_t kStaticColoursHigh[10][3] = {
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};

}  // namespace plat
