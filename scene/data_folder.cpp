#include "scene/data_folder.h"

#include <filesystem>
#include <system_error>

#include "scene/tables.h"

#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>

// The script Node runs, as the program's path: Node itself is
// /proc/self/exe. Empty in a browser.
// clang-format off
EM_JS(void, ScriptPath, (char* out, int size), {
  if (typeof __filename === 'string') stringToUTF8(__filename, out, size);
});
// clang-format on
#endif

std::string ProgramFolder() {
#ifdef _WIN32
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(std::string(path, length)).parent_path().string();
#elif defined(__EMSCRIPTEN__)
  char path[4096] = {};
  ScriptPath(path, sizeof path);
  return std::filesystem::path(path).parent_path().string();
#else
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path().string();
#endif
}

std::vector<std::string> DataFoldersFor(const std::string& programFolder) {
  std::vector<std::string> folders{""};
  if (programFolder.empty()) return folders;
  const std::filesystem::path program(programFolder);
#ifdef _WIN32
  folders.push_back(program.string());
  folders.push_back((program / "data").string());
#else
  folders.push_back((program / "data").string());
  // An install's data folder as its programs see it ("../share/kelvo-cube",
  // from the install's layout), so any prefix and DESTDIR work.
  folders.push_back((program / KELVO_INSTALLED_DATA).lexically_normal().string());
#endif
  return folders;
}

std::vector<std::string> DataFolders() {
  std::vector<std::string> folders = DataFoldersFor(ProgramFolder());
  // Started in its own folder (Explorer does that), the program looks there
  // once, as the current directory.
  std::erase_if(folders, [](const std::string& folder) {
    std::error_code error;
    return !folder.empty() && std::filesystem::equivalent(folder, ".", error);
  });
  return folders;
}

void UseDataFolder(const std::string& folder) {
  if (folder.empty())
    SetAssetFolders(DataFolders());
  else
    SetAssetDirectory(folder.c_str());
}
