// Opening the data files safely and saying what is odd about one that was
// read: used by the loaders in tables.cpp.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Opens path for reading when it is a regular file (or a link to one). On
// anything else -- a folder, a FIFO, a device, a socket, a missing file --
// returns null and sets *reason to why, without ever blocking.
std::FILE* OpenRegularFile(const std::string& path, std::string* reason);

// 17462 -> "17,462".
std::string GroupDigits(uint64_t n);

// What is wrong with a texture file's first bytes (up to the pixel array)
// for a reader that takes 128x128 8-bit pixels from byte 1078; empty when
// they describe exactly that. size is how many of head's bytes exist.
std::string TextureHeaderProblem(const uint8_t* head, size_t size);
