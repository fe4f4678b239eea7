// The resource script of the Windows program, written from the one
// description every backend uses, so that the two never drift apart.
#pragma once
#include <string>

#include "platform/resource.h"

// The whole script: every menu, accelerator table, dialog and icon of the
// module, with numbers where the SDK has names (no header is needed). An
// icon names its file alone; the resource compiler finds it through its
// include path. Empty, with *error set, for a description the script
// language cannot hold (an unknown menu flag, say).
std::string WriteResourceScript(const plat::ResourceModule& module, std::string* error);
