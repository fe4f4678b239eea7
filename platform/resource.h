// What a resource script would hold, as plain tables: menus, accelerator
// tables, dialog templates and icons, looked up by name through the module
// instance. A program describes its own in these tables and hands them to
// the emulated window system as it starts (plat::core::SetModuleResources),
// which builds its menus, accelerators and dialogs from them; on Windows the
// resource compiler puts a script written from the same tables into the
// executable.
#pragma once
#include <cstdint>
#include <cstring>

#include "platform/winuser.h"

namespace plat {

// A pop-up (MF_POPUP) lists its items in popup/popupCount; any other item is a
// command with an id. flags: MF_ values (MF_POPUP, MF_CHECKED, MF_GRAYED).
struct MenuItemTemplate {
  UINT flags;
  UINT id;
  const char* text;
  const MenuItemTemplate* popup;
  uint32_t popupCount;
};

struct MenuResource {
  const char* name;
  const MenuItemTemplate* items;
  uint32_t count;
};

struct AccelResource {
  const char* name;
  const ACCEL* entries;
  uint32_t count;
};

// Positions and sizes in dialog units. id -1: a control without an id.
struct DialogItemTemplate {
  const char* windowClass;  // "STATIC" or "BUTTON"
  const char* text;
  int32_t id;
  uint32_t style;
  int16_t x, y, cx, cy;
};

struct DialogResource {
  const char* name;
  uint32_t style;
  int16_t x, y, cx, cy;
  const char* caption;
  uint16_t pointSize;
  const char* fontName;
  const DialogItemTemplate* items;
  uint32_t count;
};

// The image lives in a file of the data folder, found at run time.
struct IconResource {
  const char* name;
  const char* fileName;
};

struct ResourceModule {
  const MenuResource* menus;
  uint32_t menuCount;
  const AccelResource* accelerators;
  uint32_t accelCount;
  const DialogResource* dialogs;
  uint32_t dialogCount;
  const IconResource* icons;
  uint32_t iconCount;
};

template <typename T>
const T* FindNamedResource(const T* table, uint32_t count, const char* name) {
  if (!name) return nullptr;
  for (uint32_t i = 0; i < count; ++i)
    if (std::strcmp(table[i].name, name) == 0) return &table[i];
  return nullptr;
}

}  // namespace plat
