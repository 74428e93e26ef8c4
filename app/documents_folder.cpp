#include "app/documents_folder.h"

#include <sstream>

#include "app/update_log.h"

namespace brevant {

namespace {

std::optional<std::string> NonEmpty(std::optional<std::string> value) {
    if (value && value->empty()) return std::nullopt;
    return value;
}

// The value of XDG_DOCUMENTS_DIR in a user-dirs.dirs text: a quoted path, absolute or
// relative to $HOME, written as "$HOME/...".
std::optional<std::string> DocumentsEntry(const std::string& text, const std::string& home) {
    std::istringstream lines(text);
    std::string line;
    std::optional<std::string> found;
    while (std::getline(lines, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.compare(start, key.size(), key) != 0) continue;
        std::string value = line.substr(start + key.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' ' || value.back() == '\t')) value.pop_back();
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
        value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        } else if (value.empty() || value.front() != '/') {
            continue;  // only absolute or $HOME-relative paths are valid there
        }
        found = value;  // the last assignment wins, as when the file is sourced
    }
    return found;
}

}  // namespace

std::optional<std::string> LocateDocumentsFolder(const FolderLookup& lookup) {
    if (auto direct = NonEmpty(lookup.environment("XDG_DOCUMENTS_DIR"))) return direct;
    const std::optional<std::string> home = NonEmpty(lookup.environment("HOME"));
    std::optional<std::string> configHome = NonEmpty(lookup.environment("XDG_CONFIG_HOME"));
    if (!configHome && home) configHome = *home + "/.config";
    if (configHome) {
        if (auto text = lookup.readFile(*configHome + "/user-dirs.dirs")) {
            if (auto entry = DocumentsEntry(*text, home.value_or(""))) {
                if (!entry->empty()) return entry;
            }
        }
    }
    if (!home) return std::nullopt;
    if (lookup.isDirectory(*home + "/Documents")) return *home + "/Documents";
    return home;
}

std::optional<std::string> UpdateLogPath() {
    std::optional<std::string> folder = DocumentsFolder();
    if (!folder) return std::nullopt;
    if (folder->back() != '/' && folder->back() != '\\') *folder += '/';
    return *folder + kUpdateLogFileName;
}

}  // namespace brevant
