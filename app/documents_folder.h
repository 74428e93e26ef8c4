#pragma once
// Where the user's documents live, which is where the update log goes.

#include <functional>
#include <optional>
#include <string>

namespace brevant {

// What the lookup may ask of the system, so the rules can be tested without touching it.
struct FolderLookup {
    std::function<std::optional<std::string>(const char* name)> environment;
    std::function<std::optional<std::string>(const std::string& path)> readFile;
    std::function<bool(const std::string& path)> isDirectory;
};

// Desktop rules: $XDG_DOCUMENTS_DIR if set; else XDG_DOCUMENTS_DIR of user-dirs.dirs (in
// $XDG_CONFIG_HOME, else ~/.config); else ~/Documents if it exists; else the home folder.
std::optional<std::string> LocateDocumentsFolder(const FolderLookup& lookup);

// The same rules against the real system (or the platform's own documents folder).
std::optional<std::string> DocumentsFolder();

// Full path of the update log in the documents folder, or nothing.
std::optional<std::string> UpdateLogPath();

}  // namespace brevant
