#include "TDrivesFolder.h"

#include "TFileSystemFolder.h"
#include "TShellNamespace.h"

#include <QFile>
#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Mount points in mountinfo escape space, tab, newline and backslash as \ooo.
std::string DecodeOctal(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
            octal(text[i + 3])) {
            out.push_back(static_cast<char>(((text[i + 1] - '0') << 6) |
                                            ((text[i + 2] - '0') << 3) | (text[i + 3] - '0')));
            i += 3;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool IsNetworkType(std::string_view type) {
    static const std::set<std::string_view> types = {
        "nfs",  "nfs4",      "cifs",       "smb3",        "smbfs", "ncpfs", "afs",
        "ceph", "glusterfs", "fuse.sshfs", "fuse.rclone", "davfs", "9p",
    };
    return types.count(type) != 0;
}

bool IsUserVisible(const std::string& mountPoint, std::string_view type) {
    if (mountPoint == "/")
        return true;
    if (StartsWith(mountPoint, "/media/") || StartsWith(mountPoint, "/run/media/") ||
        StartsWith(mountPoint, "/mnt/"))
        return true;
    if (IsNetworkType(type))
        return !StartsWith(mountPoint, "/proc/") && !StartsWith(mountPoint, "/sys/") &&
               !StartsWith(mountPoint, "/dev/");
    return false;
}

// The mount point that owns `path` among `mounts`: the longest one equal to it or above it.
const std::string* OwningMount(const std::vector<std::string>& mounts, const std::string& path) {
    const std::string* best = nullptr;
    for (const std::string& mount : mounts) {
        bool above = path == mount ||
                     (StartsWith(path, mount) && (mount == "/" || path[mount.size()] == '/'));
        if (above && (!best || mount.size() > best->size()))
            best = &mount;
    }
    return best;
}

std::string DriveLabel(const std::string& mount) {
    if (mount == "/")
        return "File System (/)";
    std::size_t slash = mount.find_last_of('/');
    return mount.substr(slash + 1) + " (" + mount + ")";
}

} // namespace

TDrivesFolder::TDrivesFolder() = default;

TDrivesFolder::TDrivesFolder(std::vector<std::string> mountPoints)
    : Loaded(true), Mounts(std::move(mountPoints)) {}

std::vector<std::string> TDrivesFolder::ParseMountInfo(std::string_view text) {
    std::vector<std::string> result;
    std::set<std::string> seen;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        // Fields: id parent major:minor root mount-point options [optional...] - type source ...
        std::vector<std::string_view> fields;
        std::size_t f = 0;
        while (f < line.size()) {
            std::size_t space = line.find(' ', f);
            if (space == std::string_view::npos)
                space = line.size();
            if (space > f)
                fields.push_back(line.substr(f, space - f));
            f = space + 1;
        }
        if (fields.size() < 7)
            continue;
        auto dash = std::find(fields.begin() + 6, fields.end(), std::string_view("-"));
        if (dash == fields.end() || dash + 1 == fields.end())
            continue;
        std::string mountPoint = DecodeOctal(fields[4]);
        if (mountPoint.empty() || mountPoint.front() != '/')
            continue;
        if (!IsUserVisible(mountPoint, *(dash + 1)))
            continue;
        if (mountPoint == "/")
            continue; // always the first drive, listed or not
        if (seen.insert(mountPoint).second)
            result.push_back(mountPoint);
    }
    std::sort(result.begin(), result.end());
    result.insert(result.begin(), "/");
    return result;
}

std::vector<std::string> TDrivesFolder::SystemMountPoints() {
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {"/"};
    // procfs reports size 0: read until the end.
    QByteArray text = file.readAll();
    return ParseMountInfo(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

const std::vector<std::string>& TDrivesFolder::MountPoints() const {
    if (!Loaded) {
        Mounts = SystemMountPoints();
        Loaded = true;
    }
    return Mounts;
}

bool TDrivesFolder::EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const {
    items.clear();
    if (!(flags & efFolders))
        return true;
    for (const std::string& mount : MountPoints()) {
        TPidl item = TShellNamespace::MakeItem(TShellNamespace::ikDrive, mount);
        if (item)
            items.push_back(std::move(item));
    }
    return true;
}

namespace {

// The mount point of a drive item, or "" when the item is not a drive.
std::string DriveOf(PCItemIDList item) {
    if (TShellNamespace::ItemKind(item) != TShellNamespace::ikDrive)
        return {};
    std::string mount(TShellNamespace::ItemData(item));
    if (mount.empty() || mount.front() != '/' || mount.find('\0') != std::string::npos)
        return {};
    return mount;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::unique_ptr<TShellFolder> TDrivesFolder::BindToObject(PCItemIDList relative) const {
    if (!relative)
        return nullptr;
    std::string mount = DriveOf(relative);
    if (mount.empty() || !IsDirectory(mount))
        return nullptr;
    return BindRest(std::make_unique<TFileSystemFolder>(mount), relative);
}

bool TDrivesFolder::ParseDisplayName(const std::string& name, TPidl& result) const {
    if (name.empty() || name.front() != '/')
        return false;
    const std::string* mount = OwningMount(MountPoints(), name);
    if (!mount)
        return false;
    TPidl drive = TShellNamespace::MakeItem(TShellNamespace::ikDrive, *mount);
    if (!drive)
        return false;
    std::string rest = name.substr(mount->size());
    while (!rest.empty() && rest.front() == '/')
        rest.erase(0, 1);
    if (rest.empty()) {
        if (!IsDirectory(*mount))
            return false;
        result = std::move(drive);
        return true;
    }
    TPidl inside;
    if (!TFileSystemFolder(*mount).ParseDisplayName(rest, inside))
        return false;
    TPidl joined = Join(drive.Get(), inside.Get());
    if (!joined)
        return false;
    result = std::move(joined);
    return true;
}

std::string TDrivesFolder::GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0)
        return kind == dntForParsing ? std::string(TShellNamespace::ComputerParsingName)
                                     : std::string("Computer");
    if (ItemCount(relative) > 1) {
        PCItemIDList last = nullptr;
        auto parent = ParentOf(relative, last);
        return parent ? parent->GetDisplayNameOf(last, kind) : std::string();
    }
    std::string mount = DriveOf(relative);
    if (mount.empty())
        return {};
    return kind == dntForParsing ? mount : DriveLabel(mount);
}

std::uint32_t TDrivesFolder::GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const {
    if (!relative)
        return 0;
    if (ItemSizeField(relative) == 0)
        return (saFolder | saHasSubfolder | saFileSysAncestor) & mask;
    if (ItemCount(relative) > 1) {
        PCItemIDList last = nullptr;
        auto parent = ParentOf(relative, last);
        return parent ? parent->GetAttributesOf(last, mask) : 0;
    }
    std::string mount = DriveOf(relative);
    if (mount.empty() || !IsDirectory(mount))
        return 0;
    // A drive can be copied from and linked to, never renamed, moved or deleted.
    std::uint32_t attributes =
        saFolder | saFileSystem | saFileSysAncestor | saHasSubfolder | saCanLink;
    if ((mask & saCanCopy) && ::access(mount.c_str(), R_OK | X_OK) == 0)
        attributes |= saCanCopy;
    if ((mask & saReadOnly) && ::access(mount.c_str(), W_OK) != 0)
        attributes |= saReadOnly;
    return attributes & mask;
}

std::string TDrivesFolder::GetIconKeyOf(PCItemIDList relative, bool open) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0)
        return "computer";
    if (ItemCount(relative) > 1) {
        PCItemIDList last = nullptr;
        auto parent = ParentOf(relative, last);
        return parent ? parent->GetIconKeyOf(last, open) : std::string();
    }
    std::string mount = DriveOf(relative);
    if (mount.empty())
        return {};
    if (StartsWith(mount, "/media/") || StartsWith(mount, "/run/media/"))
        return "drive-removable";
    return "drive";
}

std::string TDrivesFolder::GetPathOf(PCItemIDList relative) const {
    if (!relative || ItemSizeField(relative) == 0)
        return {};
    if (ItemCount(relative) > 1) {
        PCItemIDList last = nullptr;
        auto parent = ParentOf(relative, last);
        return parent ? parent->GetPathOf(last) : std::string();
    }
    return DriveOf(relative);
}
