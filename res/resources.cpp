// The program's menu, accelerators, About box and icon: the one description
// every backend builds them from.
#include <iterator>

#include "platform/resource.h"
#include "res/resource_ids.h"

namespace {

using namespace plat;

constexpr MenuItemTemplate kCubeItems[] = {
    {MF_STRING, kCmdAbout, "&About...\tF1", nullptr, 0},
    {MF_STRING, kCmdExit, "E&xit\tF12", nullptr, 0},
};

// Position in this pop-up equals the shading mode; the ids are not in order.
constexpr MenuItemTemplate kOptionsItems[] = {
    {MF_STRING | MF_CHECKED, kCmdNoShading, "&No shading\t1", nullptr, 0},
    {MF_STRING, kCmdFlatShading, "&Flat shading\t2", nullptr, 0},
    {MF_STRING, kCmdGouraudShading, "&Goraud shading\t3", nullptr, 0},
    {MF_STRING, kCmdPhongShading, "&Phong shading\t4", nullptr, 0},
    {MF_STRING, kCmdTransparency, "&Transparency\t5", nullptr, 0},
    {MF_STRING, kCmdInclinedMapping, "&Inclined mapping\t6", nullptr, 0},
};

constexpr MenuItemTemplate kAppMenu[] = {
    {MF_POPUP, 0, "&Cube", kCubeItems, static_cast<uint32_t>(std::size(kCubeItems))},
    {MF_POPUP, 0, "&Options", kOptionsItems, static_cast<uint32_t>(std::size(kOptionsItems))},
};

// No F12 entry: the menu's "F12" is only a label.
constexpr ACCEL kAppAccel[] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, kCmdExit},
    {FVIRTKEY | FNOINVERT, VK_F1, kCmdAbout},
};

constexpr DialogItemTemplate kAboutItems[] = {
    {"STATIC", "DirectDraw Textured Cube Demo", -1, WS_CHILD | WS_VISIBLE | SS_CENTER | WS_GROUP,
     25, 6, 93, 8},
    {"STATIC", "AppIcon", -1, WS_CHILD | WS_VISIBLE | SS_ICON, 62, 20, 18, 20},
    {"BUTTON", "OK", IDOK, WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 56, 62,
     32, 14},
};

constexpr MenuResource kMenus[] = {
    {"AppMenu", kAppMenu, static_cast<uint32_t>(std::size(kAppMenu))},
};
constexpr AccelResource kAccelerators[] = {
    {"AppAccel", kAppAccel, static_cast<uint32_t>(std::size(kAppAccel))},
};
constexpr DialogResource kDialogs[] = {
    {"AppAbout", WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 22, 17, 145, 82,
     "About Textured Cube", 8, "MS Sans Serif", kAboutItems,
     static_cast<uint32_t>(std::size(kAboutItems))},
};
// 32 x 32 pixels in 16 colours, made by the build into the data folder.
constexpr IconResource kIcons[] = {
    {"AppIcon", "AppIcon.ico"},
};

constexpr ResourceModule kModule = {
    kMenus,        static_cast<uint32_t>(std::size(kMenus)),
    kAccelerators, static_cast<uint32_t>(std::size(kAccelerators)),
    kDialogs,      static_cast<uint32_t>(std::size(kDialogs)),
    kIcons,        static_cast<uint32_t>(std::size(kIcons)),
};

}  // namespace

const plat::ResourceModule& ProgramResources() { return kModule; }
