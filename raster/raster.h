// The software rasteriser: one face drawer per pixel depth, span fillers per
// shading mode, chosen through tables once per face.
#pragma once
#include <cstdint>

struct Vector3 {
  double x;
  double y;  // depth
  double z;  // up
};

using FaceDrawer = void (*)(int32_t faceIndex);
using SpanFiller = void (*)(int32_t faceIndex);

extern int32_t spanTop;
extern int32_t spanBottom;
extern Vector3 uVector;
extern Vector3 vVector;
extern Vector3 wVector;
extern double inclineSlope;
extern int32_t flatLevel;

// Pixels stored since the last reset, counted per span: the benchmark's
// measure of work, never read by the rasteriser itself.
extern uint64_t drawnPixelCount;

extern const FaceDrawer FaceDrawers[4];
extern const SpanFiller SpanFillers8[5];
extern const SpanFiller SpanFillers16[5];
extern const SpanFiller SpanFillers24[4];
extern const SpanFiller SpanFillers32[4];

void FillEdge(int32_t* buffer, double startValue, int32_t startIndex, double endValue,
              int32_t endIndex);
void FillEdgeBytes(int8_t* buffer, double startValue, int32_t startIndex, double endValue,
                   int32_t endIndex);

void DrawFace8(int32_t faceIndex);
void DrawFace16(int32_t faceIndex);
void DrawFace24(int32_t faceIndex);
void DrawFace32(int32_t faceIndex);
void FillPlain8(int32_t faceIndex);
void FillFlat8(int32_t faceIndex);
void FillGouraud8(int32_t faceIndex);
void FillPhong8(int32_t faceIndex);
void FillBlend8(int32_t faceIndex);
void FillPlain16(int32_t faceIndex);
void FillFlat16(int32_t faceIndex);
void FillGouraud16(int32_t faceIndex);
void FillPhong16(int32_t faceIndex);
void FillBlend16(int32_t faceIndex);
void FillPlain24(int32_t faceIndex);
void FillFlat24(int32_t faceIndex);
void FillGouraud24(int32_t faceIndex);
void FillPhong24(int32_t faceIndex);
void FillPlain32(int32_t faceIndex);
void FillFlat32(int32_t faceIndex);
void FillGouraud32(int32_t faceIndex);
void FillPhong32(int32_t faceIndex);

void DrawFaceInclined8(int32_t faceIndex);
void DrawFaceInclined16(int32_t faceIndex);
void FillInclinedRows8(int32_t faceIndex);
void FillInclinedColumns8(int32_t faceIndex);
void FillInclinedRows16(int32_t faceIndex);
void FillInclinedColumns16(int32_t faceIndex);
