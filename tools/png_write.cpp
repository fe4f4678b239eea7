#include "tools/png_write.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "tools/files.h"

namespace {

// libpng reports errors through a callback that must not return; the message
// is kept here for the caller before jumping back.
struct PngErrorState {
  char message[200];
  OutputFile* file;
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* state = static_cast<PngErrorState*>(png_get_error_ptr(png));
  std::snprintf(state->message, sizeof state->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void OnPngWrite(png_structp png, png_bytep data, size_t size) {
  auto* state = static_cast<PngErrorState*>(png_get_io_ptr(png));
  if (!state->file->Write(data, size)) png_error(png, std::strerror(errno));
}

void OnPngFlush(png_structp) {}

// Kept free of C++ objects with destructors: a longjmp out of libpng must not
// skip any.
bool WriteRows(int width, int height, const uint8_t* rgb, PngErrorState* state) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state, OnPngError, OnPngWarning);
  if (png == nullptr) {
    std::snprintf(state->message, sizeof state->message, "out of memory");
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    std::snprintf(state->message, sizeof state->message, "out of memory");
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, state, OnPngWrite, OnPngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    png_write_row(png, rgb + stride * static_cast<size_t>(y));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool WritePng(const char* path, int width, int height, const uint8_t* rgb, std::string* error) {
  // libpng refuses larger pictures by default; say so before opening a file.
  constexpr int kMaxSide = 1000000;
  auto fail = [error](const std::string& reason) {
    if (error != nullptr) *error = reason;
    return false;
  };
  if (path == nullptr || rgb == nullptr) return fail("no path or no pixels");
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
    return fail("bad picture size " + std::to_string(width) + " x " + std::to_string(height));
  }
  OutputFile file;
  std::string reason;
  if (!file.Open(path, &reason)) return fail(reason);
  PngErrorState state{};
  state.file = &file;
  // Leaving without Commit drops the new file and nothing else.
  if (!WriteRows(width, height, rgb, &state)) {
    return fail(std::string("cannot write ") + path + ": " + state.message);
  }
  if (!file.Commit(&reason)) return fail(reason);
  return true;
}
