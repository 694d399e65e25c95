#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the system's temporary directory, removed with its contents
// when the object goes away. Tests put every file they make in one of these.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::filesystem::path& Path() const { return Root; }
    // Full path of a file inside the folder, as UTF-8 text.
    std::string File(const std::string& name) const { return (Root / name).string(); }
    // Points HOME, XDG_CONFIG_HOME and XDG_DATA_HOME into this folder, so a test never touches
    // the user's own settings, trash or desktop entries.
    void BecomeHome() const;

private:
    std::filesystem::path Root;
};
