// The Windows program's resource script, read back with a small reader of
// the script language: it must hold every menu item, accelerator, dialog
// control and icon of the description the other backends use, and nothing
// else.
#include "res/rc_script.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/resource.h"
#include "res/resources.h"

namespace {

using namespace plat;

// ---- A reader of the part of the script language the writer uses ----

struct Token {
  enum Kind { kWord, kNumber, kString, kComma } kind;
  std::string text;
  long long number = 0;
  int line = 0;
};

std::vector<Token> Tokens(const std::string& script) {
  std::vector<Token> out;
  int line = 1;
  for (size_t i = 0; i < script.size();) {
    const char c = script[i];
    if (c == '\n') {
      ++line;
      ++i;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (script.compare(i, 2, "//") == 0) {
      while (i < script.size() && script[i] != '\n') ++i;
    } else if (c == ',') {
      out.push_back({Token::kComma, ",", 0, line});
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i;; ++i) {
        if (i >= script.size()) throw std::runtime_error("unterminated string");
        if (script[i] == '"') {
          if (i + 1 < script.size() && script[i + 1] == '"') {
            text += '"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        if (script[i] == '\n') throw std::runtime_error("line break in a string");
        if (script[i] != '\\') {
          text += script[i];
          continue;
        }
        const char e = script.at(++i);
        if (e == 't') {
          text += '\t';
        } else if (e == 'n') {
          text += '\n';
        } else if (e == '\\') {
          text += '\\';
        } else if (e >= '0' && e <= '7') {
          text += static_cast<char>(std::stoi(script.substr(i, 3), nullptr, 8));
          i += 2;
        } else {
          throw std::runtime_error(std::string("unknown escape \\") + e);
        }
      }
      out.push_back({Token::kString, text, 0, line});
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      size_t used = 0;
      const long long value = std::stoll(script.substr(i), &used, 0);
      out.push_back({Token::kNumber, script.substr(i, used), value, line});
      i += used;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t end = i;
      while (end < script.size() &&
             (std::isalnum(static_cast<unsigned char>(script[end])) || script[end] == '_'))
        ++end;
      out.push_back({Token::kWord, script.substr(i, end - i), 0, line});
      i = end;
    } else {
      throw std::runtime_error(std::string("stray character ") + c);
    }
  }
  return out;
}

struct ReadMenuItem {
  std::string text;
  long long id = 0;  // 0 for a pop-up
  bool popup = false, separator = false, checked = false, grayed = false, inactive = false;
  std::vector<ReadMenuItem> items;
};
struct ReadAccel {
  long long key, cmd;
  bool virtKey = false, noInvert = false, shift = false, control = false, alt = false;
};
struct ReadControl {
  std::string text, windowClass;
  long long id, style, x, y, cx, cy;
};
struct ReadDialog {
  long long x, y, cx, cy, style = 0, pointSize = 0;
  std::string caption, font;
  std::vector<ReadControl> controls;
};
struct ReadScript {
  std::vector<std::pair<std::string, std::vector<ReadMenuItem>>> menus;
  std::vector<std::pair<std::string, std::vector<ReadAccel>>> accelerators;
  std::vector<std::pair<std::string, ReadDialog>> dialogs;
  std::vector<std::pair<std::string, std::string>> icons;
};

class Reader {
 public:
  explicit Reader(const std::string& script) : tokens_(Tokens(script)) {}

  ReadScript Read() {
    ReadScript out;
    while (pos_ < tokens_.size()) {
      const std::string name = Word();
      const std::string kind = Word();
      if (kind == "MENU") {
        out.menus.emplace_back(name, MenuBlock());
      } else if (kind == "ACCELERATORS") {
        out.accelerators.emplace_back(name, AccelBlock());
      } else if (kind == "DIALOG") {
        out.dialogs.emplace_back(name, Dialog());
      } else if (kind == "ICON") {
        out.icons.emplace_back(name, String());
      } else {
        Fail("unknown resource kind " + kind);
      }
    }
    return out;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error(
        "line " + std::to_string(pos_ < tokens_.size() ? tokens_[pos_].line : -1) + ": " + what);
  }
  const Token& Next(Token::Kind kind, const char* what) {
    if (pos_ >= tokens_.size() || tokens_[pos_].kind != kind) Fail(std::string("expected ") + what);
    return tokens_[pos_++];
  }
  std::string Word() { return Next(Token::kWord, "a word").text; }
  std::string String() { return Next(Token::kString, "a string").text; }
  long long Number() { return Next(Token::kNumber, "a number").number; }
  void Comma() { Next(Token::kComma, "a comma"); }
  void Expect(const std::string& word) {
    if (Word() != word) Fail("expected " + word);
  }
  bool PeekWord(const std::string& word) const {
    return pos_ < tokens_.size() && tokens_[pos_].kind == Token::kWord &&
           tokens_[pos_].text == word;
  }
  bool PeekComma() const { return pos_ < tokens_.size() && tokens_[pos_].kind == Token::kComma; }

  std::vector<ReadMenuItem> MenuBlock() {
    Expect("BEGIN");
    std::vector<ReadMenuItem> items;
    while (!PeekWord("END")) {
      ReadMenuItem item;
      const std::string kind = Word();
      if (kind == "MENUITEM" && PeekWord("SEPARATOR")) {
        Word();
        item.separator = true;
        items.push_back(item);
        continue;
      }
      item.text = String();
      if (kind == "POPUP") {
        item.popup = true;
      } else if (kind == "MENUITEM") {
        Comma();
        item.id = Number();
      } else {
        Fail("unknown menu statement " + kind);
      }
      while (PeekComma()) {
        Comma();
        const std::string option = Word();
        if (option == "CHECKED") {
          item.checked = true;
        } else if (option == "GRAYED") {
          item.grayed = true;
        } else if (option == "INACTIVE") {
          item.inactive = true;
        } else {
          Fail("unknown menu option " + option);
        }
      }
      if (item.popup) item.items = MenuBlock();
      items.push_back(item);
    }
    Expect("END");
    return items;
  }

  std::vector<ReadAccel> AccelBlock() {
    Expect("BEGIN");
    std::vector<ReadAccel> entries;
    while (!PeekWord("END")) {
      ReadAccel a{};
      a.key = Number();
      Comma();
      a.cmd = Number();
      while (PeekComma()) {
        Comma();
        const std::string flag = Word();
        if (flag == "VIRTKEY") {
          a.virtKey = true;
        } else if (flag == "ASCII") {
          a.virtKey = false;
        } else if (flag == "NOINVERT") {
          a.noInvert = true;
        } else if (flag == "SHIFT") {
          a.shift = true;
        } else if (flag == "CONTROL") {
          a.control = true;
        } else if (flag == "ALT") {
          a.alt = true;
        } else {
          Fail("unknown accelerator flag " + flag);
        }
      }
      entries.push_back(a);
    }
    Expect("END");
    return entries;
  }

  ReadDialog Dialog() {
    ReadDialog d{};
    d.x = Number();
    Comma();
    d.y = Number();
    Comma();
    d.cx = Number();
    Comma();
    d.cy = Number();
    while (!PeekWord("BEGIN")) {
      const std::string statement = Word();
      if (statement == "STYLE") {
        d.style = Number();
      } else if (statement == "CAPTION") {
        d.caption = String();
      } else if (statement == "FONT") {
        d.pointSize = Number();
        Comma();
        d.font = String();
      } else {
        Fail("unknown dialog statement " + statement);
      }
    }
    Expect("BEGIN");
    while (!PeekWord("END")) {
      Expect("CONTROL");
      ReadControl c{};
      c.text = String();
      Comma();
      c.id = Number();
      Comma();
      c.windowClass = String();
      Comma();
      c.style = Number();
      for (long long* v : {&c.x, &c.y, &c.cx, &c.cy}) {
        Comma();
        *v = Number();
      }
      d.controls.push_back(c);
    }
    Expect("END");
    return d;
  }

  std::vector<Token> tokens_;
  size_t pos_ = 0;
};

ReadScript ReadBack(const ResourceModule& module) {
  std::string error;
  const std::string script = WriteResourceScript(module, &error);
  EXPECT_FALSE(script.empty()) << error;
  return Reader(script).Read();
}

// ---- The comparison with the description ----

void ExpectSameItems(const MenuItemTemplate* items, uint32_t count,
                     const std::vector<ReadMenuItem>& read, const std::string& where) {
  ASSERT_EQ(read.size(), count) << where;
  for (uint32_t i = 0; i < count; ++i) {
    const MenuItemTemplate& t = items[i];
    const ReadMenuItem& r = read[i];
    const std::string here = where + " / " + (t.text ? t.text : "(separator)");
    EXPECT_EQ(r.separator, (t.flags & MF_SEPARATOR) != 0) << here;
    if (r.separator) continue;
    EXPECT_EQ(r.text, t.text) << here;
    EXPECT_EQ(r.popup, (t.flags & MF_POPUP) != 0) << here;
    EXPECT_EQ(r.checked, (t.flags & MF_CHECKED) != 0) << here;
    EXPECT_EQ(r.grayed, (t.flags & MF_GRAYED) != 0) << here;
    EXPECT_EQ(r.inactive, (t.flags & MF_DISABLED) != 0) << here;
    if (r.popup)
      ExpectSameItems(t.popup, t.popupCount, r.items, here);
    else
      EXPECT_EQ(r.id, t.id) << here;
  }
}

void ExpectSameModule(const ResourceModule& m, const ReadScript& s) {
  ASSERT_EQ(s.menus.size(), m.menuCount);
  for (uint32_t i = 0; i < m.menuCount; ++i) {
    EXPECT_EQ(s.menus[i].first, m.menus[i].name);
    ExpectSameItems(m.menus[i].items, m.menus[i].count, s.menus[i].second, m.menus[i].name);
  }

  ASSERT_EQ(s.accelerators.size(), m.accelCount);
  for (uint32_t i = 0; i < m.accelCount; ++i) {
    const AccelResource& t = m.accelerators[i];
    EXPECT_EQ(s.accelerators[i].first, t.name);
    ASSERT_EQ(s.accelerators[i].second.size(), t.count);
    for (uint32_t k = 0; k < t.count; ++k) {
      const ReadAccel& r = s.accelerators[i].second[k];
      EXPECT_EQ(r.key, t.entries[k].key) << t.name << " entry " << k;
      EXPECT_EQ(r.cmd, t.entries[k].cmd) << t.name << " entry " << k;
      EXPECT_EQ(r.virtKey, (t.entries[k].fVirt & FVIRTKEY) != 0);
      EXPECT_EQ(r.noInvert, (t.entries[k].fVirt & FNOINVERT) != 0);
      EXPECT_EQ(r.shift, (t.entries[k].fVirt & FSHIFT) != 0);
      EXPECT_EQ(r.control, (t.entries[k].fVirt & FCONTROL) != 0);
      EXPECT_EQ(r.alt, (t.entries[k].fVirt & FALT) != 0);
    }
  }

  ASSERT_EQ(s.dialogs.size(), m.dialogCount);
  for (uint32_t i = 0; i < m.dialogCount; ++i) {
    const DialogResource& t = m.dialogs[i];
    const ReadDialog& r = s.dialogs[i].second;
    EXPECT_EQ(s.dialogs[i].first, t.name);
    EXPECT_EQ(r.x, t.x);
    EXPECT_EQ(r.y, t.y);
    EXPECT_EQ(r.cx, t.cx);
    EXPECT_EQ(r.cy, t.cy);
    EXPECT_EQ(r.style, t.style);
    EXPECT_EQ(r.caption, t.caption);
    EXPECT_EQ(r.pointSize, t.pointSize);
    EXPECT_EQ(r.font, t.fontName);
    ASSERT_EQ(r.controls.size(), t.count);
    for (uint32_t k = 0; k < t.count; ++k) {
      const DialogItemTemplate& c = t.items[k];
      const ReadControl& rc = r.controls[k];
      EXPECT_EQ(rc.text, c.text) << "control " << k;
      EXPECT_EQ(rc.id, c.id) << "control " << k;
      EXPECT_EQ(rc.windowClass, c.windowClass) << "control " << k;
      EXPECT_EQ(rc.style, c.style) << "control " << k;
      EXPECT_EQ(rc.x, c.x) << "control " << k;
      EXPECT_EQ(rc.y, c.y) << "control " << k;
      EXPECT_EQ(rc.cx, c.cx) << "control " << k;
      EXPECT_EQ(rc.cy, c.cy) << "control " << k;
    }
  }

  ASSERT_EQ(s.icons.size(), m.iconCount);
  for (uint32_t i = 0; i < m.iconCount; ++i) {
    EXPECT_EQ(s.icons[i].first, m.icons[i].name);
    EXPECT_EQ(s.icons[i].second, m.icons[i].fileName);
  }
}

TEST(ResourceScript, HoldsEveryItemOfTheProgramsDescription) {
  const ResourceModule& module = ProgramResources();
  // The description is not empty, so the comparison below means something.
  ASSERT_EQ(module.menuCount, 1u);
  ASSERT_EQ(module.accelCount, 1u);
  ASSERT_EQ(module.dialogCount, 1u);
  ASSERT_EQ(module.iconCount, 1u);
  ExpectSameModule(module, ReadBack(module));
}

TEST(ResourceScript, KeepsOddTextsFlagsAndNegativeNumbers) {
  static constexpr MenuItemTemplate kInner[] = {
      {MF_STRING | MF_GRAYED, 7, "Say \"hi\"\tCtrl+\\", nullptr, 0},
      {MF_SEPARATOR, 0, nullptr, nullptr, 0},
      {MF_STRING | MF_DISABLED | MF_CHECKED, 65535, "Bell\a", nullptr, 0},
  };
  static constexpr MenuItemTemplate kBar[] = {
      {MF_POPUP, 0, "&Odd", kInner, static_cast<uint32_t>(std::size(kInner))},
  };
  static constexpr ACCEL kKeys[] = {
      {FVIRTKEY | FSHIFT | FCONTROL | FALT, 0x41, 9},
      {0, 'q', 10},
  };
  static constexpr DialogItemTemplate kControls[] = {
      {"EDIT", "a \"b\" \\ c", -1, 0x50810080u, -3, 0, 1, 2},
  };
  static constexpr MenuResource kMenus[] = {{"M", kBar, 1}};
  static constexpr AccelResource kAccel[] = {{"A", kKeys, 2}};
  static constexpr DialogResource kDialogs[] = {
      {"D", 0x10CF0000u, -5, 7, 300, 200, "Caption, with a comma", 10, "Font \"X\"", kControls, 1}};
  static constexpr IconResource kIcons[] = {{"I", "some icon.ico"}, {"J", "other.ico"}};
  const ResourceModule module{kMenus, 1, kAccel, 1, kDialogs, 1, kIcons, 2};
  ExpectSameModule(module, ReadBack(module));
}

TEST(ResourceScript, RefusesWhatTheLanguageCannotHold) {
  static constexpr MenuItemTemplate kItems[] = {
      {MF_STRING | MF_BYPOSITION, 1, "Odd", nullptr, 0},
  };
  static constexpr MenuResource kMenus[] = {{"M", kItems, 1}};
  const ResourceModule menu{kMenus, 1, nullptr, 0, nullptr, 0, nullptr, 0};
  std::string error;
  EXPECT_EQ(WriteResourceScript(menu, &error), "");
  EXPECT_NE(error.find("Odd"), std::string::npos) << error;

  static constexpr ACCEL kKeys[] = {{0x80, 0x41, 1}};
  static constexpr AccelResource kAccel[] = {{"A", kKeys, 1}};
  const ResourceModule accel{nullptr, 0, kAccel, 1, nullptr, 0, nullptr, 0};
  EXPECT_EQ(WriteResourceScript(accel, &error), "");
  EXPECT_NE(error.find("accelerator"), std::string::npos) << error;
}

}  // namespace
