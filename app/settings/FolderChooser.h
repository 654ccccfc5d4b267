#pragma once

#include <optional>
#include <string>

// Lets the user choose a folder (the folder picker in the dialog).
class FolderChooser {
public:
    virtual ~FolderChooser() = default;
    // Starts at `current` (the working directory when empty). Returns the
    // chosen folder without a trailing separator ("/" for the root), or
    // nullopt when the user cancelled.
    virtual std::optional<std::string> ChooseFolder(const std::string& current) = 0;
};
