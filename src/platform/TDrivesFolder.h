#pragma once

#include "TShellFolder.h"

#include <string>
#include <vector>

// "Computer": the drives of this machine. They are "/" and the mounts a user would look for:
// removable media (/media/..., /run/media/...), mounts under /mnt and network file systems.
// Drive items carry their mount point; below a drive is the file system.
class TDrivesFolder : public TShellFolder {
public:
    // Reads /proc/self/mountinfo when the drives are first needed.
    TDrivesFolder();
    // A folder over a given drive list (tests).
    explicit TDrivesFolder(std::vector<std::string> mountPoints);

    // The user-visible mount points of a mountinfo text: "/" first, then the others in byte
    // order, each once; octal escapes (\040 for a space) decoded.
    static std::vector<std::string> ParseMountInfo(std::string_view text);
    // The drives of this machine now.
    static std::vector<std::string> SystemMountPoints();

    const std::vector<std::string>& MountPoints() const;

    bool EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const override;
    std::unique_ptr<TShellFolder> BindToObject(PCItemIDList relative) const override;
    // Accepts an absolute path: the drive with the longest mount point above it, then the rest
    // of the path inside that drive.
    bool ParseDisplayName(const std::string& name, TPidl& result) const override;
    std::string GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const override;
    std::uint32_t GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const override;
    std::string GetIconKeyOf(PCItemIDList relative, bool open) const override;
    std::string GetPathOf(PCItemIDList relative) const override;

private:
    mutable bool Loaded = false;
    mutable std::vector<std::string> Mounts;
};
