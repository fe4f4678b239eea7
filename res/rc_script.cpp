#include "res/rc_script.h"

#include <cstdio>

#include "platform/hex.h"

namespace {

using namespace plat;

// A string literal of the script language: quotes doubled, the rest escaped
// as in C.
std::string Quote(const char* text) {
  std::string out = "\"";
  for (const char* p = text ? text : ""; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '"') {
      out += "\"\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      out += octal;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Number(int64_t value) { return std::to_string(value); }

bool WriteMenuItems(const MenuItemTemplate* items, uint32_t count, const std::string& indent,
                    std::string& out, std::string* error) {
  out += indent + "BEGIN\n";
  for (uint32_t i = 0; i < count; ++i) {
    const MenuItemTemplate& item = items[i];
    if (item.flags & MF_SEPARATOR) {
      out += indent + "    MENUITEM SEPARATOR\n";
      continue;
    }
    std::string options;
    UINT known = MF_POPUP;
    if (item.flags & MF_CHECKED) options += ", CHECKED";
    if (item.flags & MF_GRAYED) options += ", GRAYED";
    if (item.flags & MF_DISABLED) options += ", INACTIVE";
    known |= MF_CHECKED | MF_GRAYED | MF_DISABLED;
    if (item.flags & ~known) {
      *error = std::string("menu item ") + Quote(item.text) + " has flags " + Hex(item.flags, 8) +
               " that a resource script cannot hold";
      return false;
    }
    if (item.flags & MF_POPUP) {
      out += indent + "    POPUP " + Quote(item.text) + options + "\n";
      if (!WriteMenuItems(item.popup, item.popupCount, indent + "    ", out, error)) return false;
    } else {
      out += indent + "    MENUITEM " + Quote(item.text) + ", " + Number(item.id) + options + "\n";
    }
  }
  out += indent + "END\n";
  return true;
}

bool WriteAccelerators(const AccelResource& table, std::string& out, std::string* error) {
  out += std::string(table.name) + " ACCELERATORS\nBEGIN\n";
  for (uint32_t i = 0; i < table.count; ++i) {
    const ACCEL& a = table.entries[i];
    const unsigned known = FVIRTKEY | FNOINVERT | FSHIFT | FCONTROL | FALT;
    if (a.fVirt & ~known) {
      *error = std::string("accelerator ") + Number(i) + " of " + table.name + " has flags " +
               Hex(a.fVirt, 8) + " that a resource script cannot hold";
      return false;
    }
    // Without VIRTKEY the key is a character code, which a number states too.
    out += "    " + Hex(a.key, 8) + ", " + Number(a.cmd) + ", " +
           ((a.fVirt & FVIRTKEY) ? "VIRTKEY" : "ASCII");
    if (a.fVirt & FNOINVERT) out += ", NOINVERT";
    if (a.fVirt & FSHIFT) out += ", SHIFT";
    if (a.fVirt & FCONTROL) out += ", CONTROL";
    if (a.fVirt & FALT) out += ", ALT";
    out += "\n";
  }
  out += "END\n";
  return true;
}

void WriteDialog(const DialogResource& d, std::string& out) {
  out += std::string(d.name) + " DIALOG " + Number(d.x) + ", " + Number(d.y) + ", " + Number(d.cx) +
         ", " + Number(d.cy) + "\n";
  out += "STYLE " + Hex(d.style, 8) + "\n";
  if (d.caption) out += "CAPTION " + Quote(d.caption) + "\n";
  if (d.fontName) out += "FONT " + Number(d.pointSize) + ", " + Quote(d.fontName) + "\n";
  out += "BEGIN\n";
  for (uint32_t i = 0; i < d.count; ++i) {
    const DialogItemTemplate& c = d.items[i];
    out += "    CONTROL " + Quote(c.text) + ", " + Number(c.id) + ", " + Quote(c.windowClass) +
           ", " + Hex(c.style, 8) + ", " + Number(c.x) + ", " + Number(c.y) + ", " + Number(c.cx) +
           ", " + Number(c.cy) + "\n";
  }
  out += "END\n";
}

}  // namespace

std::string WriteResourceScript(const ResourceModule& module, std::string* error) {
  std::string scratch;
  if (!error) error = &scratch;
  error->clear();
  std::string out =
      "// The resources of kelvo-cube.exe, written at build time by kelvo-gen-rc from\n"
      "// the description in res/resources.cpp. Styles, keys and flags are numbers.\n";
  for (uint32_t i = 0; i < module.menuCount; ++i) {
    const MenuResource& m = module.menus[i];
    out += "\n";
    out += m.name;
    out += " MENU\n";
    if (!WriteMenuItems(m.items, m.count, "", out, error)) return {};
  }
  for (uint32_t i = 0; i < module.accelCount; ++i) {
    out += "\n";
    if (!WriteAccelerators(module.accelerators[i], out, error)) return {};
  }
  for (uint32_t i = 0; i < module.dialogCount; ++i) {
    out += "\n";
    WriteDialog(module.dialogs[i], out);
  }
  if (module.iconCount) out += "\n";
  for (uint32_t i = 0; i < module.iconCount; ++i)
    out += std::string(module.icons[i].name) + " ICON " + Quote(module.icons[i].fileName) + "\n";
  return out;
}
