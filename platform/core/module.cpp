// The program's module: its instance handle, and the resources the program
// hands over as it starts -- what a Windows executable carries in its
// resource section, which the core has no other way to know.
#include "platform/core/internal.h"

namespace plat::core::detail {
namespace {

// Kept across Reset: a fresh machine runs the same program.
const ResourceModule* programResources = nullptr;

}  // namespace

bool ModuleInstance(HINSTANCE instance) { return instance && instance == &Windows().module; }

const ResourceModule& Resources() {
  static constexpr ResourceModule kNone{};
  return programResources ? *programResources : kNone;
}

}  // namespace plat::core::detail

namespace plat::core {

void SetModuleResources(const ResourceModule* resources) { detail::programResources = resources; }

}  // namespace plat::core

namespace plat {

HINSTANCE GetModuleHandleA(const char* moduleName) {
  return moduleName ? nullptr : &core::detail::Windows().module;
}

}  // namespace plat
