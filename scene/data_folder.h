// Where the programs look for their data files when no folder is named: the
// current directory first, as the program always did, then the folders beside
// the running executable where a build or an install keeps them.
#pragma once
#include <string>
#include <vector>

// The folder holding the running executable; empty when the system cannot
// say.
std::string ProgramFolder();

// The folders looked in, in order, for a program in programFolder: "" (the
// current directory), then on Linux programFolder/data (a build) and the
// install's share/kelvo-cube beside programFolder, on Windows programFolder
// itself (the zip) and programFolder\data. Only "" when programFolder is empty.
std::vector<std::string> DataFoldersFor(const std::string& programFolder);

// DataFoldersFor(ProgramFolder()), less any that is the current directory.
std::vector<std::string> DataFolders();

// The scene reads its files from folder, or when it is empty from the first
// of DataFolders() that holds them (tables.h: SetAssetFolders).
void UseDataFolder(const std::string& folder);
