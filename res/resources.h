// The program's menu, accelerators, About box and icon, described once: the
// emulated window system is handed this description as the program starts,
// and the Windows build's resource script is written from it.
#pragma once

#include "platform/resource.h"

const plat::ResourceModule& ProgramResources();
