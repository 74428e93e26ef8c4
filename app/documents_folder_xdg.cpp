// The documents folder of a desktop following the XDG user-directory rules.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/documents_folder.h"

namespace brevant {

std::optional<std::string> DocumentsFolder() {
    FolderLookup lookup;
    lookup.environment = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
    lookup.readFile = [](const std::string& path) -> std::optional<std::string> {
        std::ifstream in(path, std::ios::binary);
        if (!in) return std::nullopt;
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    };
    lookup.isDirectory = [](const std::string& path) {
        std::error_code error;
        return std::filesystem::is_directory(path, error);
    };
    return LocateDocumentsFolder(lookup);
}

}  // namespace brevant
