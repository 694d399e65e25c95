#include "TDesktopFolder.h"

#include "TDrivesFolder.h"
#include "TFileSystemFolder.h"
#include "TShellNamespace.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using NS = TShellNamespace;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

PCItemIDList Rest(PCItemIDList list) {
    return reinterpret_cast<PCItemIDList>(ItemBytes(list) + ItemSizeField(list));
}

// The folder that answers for a list below the desktop, and the part of the list it answers
// for: the drives folder or the home folder for what lies below them, the desktop directory for
// its entries (whole list). Null when the list starts with no known item or names the
// Computer/Home item alone (the desktop answers for those itself).
std::unique_ptr<TShellFolder> Delegate(PCItemIDList relative, PCItemIDList& rest) {
    switch (NS::ItemKind(relative)) {
    case NS::ikComputer:
        if (NS::ItemData(relative).empty() && ItemSizeField(Rest(relative)) != 0) {
            rest = Rest(relative);
            return std::make_unique<TDrivesFolder>();
        }
        return nullptr;
    case NS::ikHome: {
        std::string home = NS::HomePath();
        if (NS::ItemData(relative).empty() && ItemSizeField(Rest(relative)) != 0 && !home.empty()) {
            rest = Rest(relative);
            return std::make_unique<TFileSystemFolder>(home);
        }
        return nullptr;
    }
    case NS::ikDesktopEntry: {
        std::string desktop = NS::DesktopPath();
        if (desktop.empty())
            return nullptr;
        rest = relative;
        return std::make_unique<TFileSystemFolder>(desktop, NS::ikDesktopEntry);
    }
    default:
        return nullptr;
    }
}

// Whether the list is the Computer or the Home item alone.
bool IsAlone(PCItemIDList relative, char kind) {
    return NS::ItemKind(relative) == kind && NS::ItemData(relative).empty() &&
           ItemSizeField(Rest(relative)) == 0;
}

} // namespace

TDesktopFolder::TDesktopFolder() = default;

bool TDesktopFolder::EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const {
    items.clear();
    if (flags & efFolders) {
        if (TPidl computer = NS::MakeItem(NS::ikComputer, {}))
            items.push_back(std::move(computer));
        if (IsDirectory(NS::HomePath()))
            if (TPidl home = NS::MakeItem(NS::ikHome, {}))
                items.push_back(std::move(home));
    }
    std::string desktop = NS::DesktopPath();
    if (!desktop.empty()) {
        std::vector<TPidl> entries;
        if (TFileSystemFolder(desktop, NS::ikDesktopEntry).EnumObjects(flags, entries))
            for (TPidl& entry : entries)
                items.push_back(std::move(entry));
    }
    return true;
}

std::unique_ptr<TShellFolder> TDesktopFolder::BindToObject(PCItemIDList relative) const {
    if (!relative)
        return nullptr;
    if (ItemSizeField(relative) == 0)
        return std::make_unique<TDesktopFolder>();
    if (IsAlone(relative, NS::ikComputer))
        return std::make_unique<TDrivesFolder>();
    if (IsAlone(relative, NS::ikHome)) {
        std::string home = NS::HomePath();
        return IsDirectory(home) ? std::make_unique<TFileSystemFolder>(home) : nullptr;
    }
    PCItemIDList rest = nullptr;
    auto folder = Delegate(relative, rest);
    return folder ? folder->BindToObject(rest) : nullptr;
}

bool TDesktopFolder::ParseDisplayName(const std::string& name, TPidl& result) const {
    if (name.empty())
        return false;
    if (name == NS::DesktopParsingName) {
        PItemIDList empty = ItemIdAlloc(2);
        if (!empty)
            return false;
        result.Reset(empty);
        return true;
    }
    if (name == NS::ComputerParsingName) {
        TPidl computer = NS::DrivesLocation();
        if (!computer)
            return false;
        result = std::move(computer);
        return true;
    }
    if (name.front() == '/') {
        // Absolute paths: "." and empty parts dropped, ".." taken back by name, then placed
        // under the drive that holds them.
        std::vector<std::string> parts;
        std::size_t pos = 1;
        while (pos <= name.size()) {
            std::size_t end = name.find('/', pos);
            if (end == std::string::npos)
                end = name.size();
            std::string part = name.substr(pos, end - pos);
            pos = end + 1;
            if (part.empty() || part == ".")
                continue;
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
                continue;
            }
            parts.push_back(std::move(part));
        }
        std::string path(1, '/');
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i)
                path.push_back('/');
            path.append(parts[i]);
        }
        TPidl inDrives;
        if (!TDrivesFolder().ParseDisplayName(path, inDrives))
            return false;
        TPidl joined = Join(NS::DrivesLocation().Get(), inDrives.Get());
        if (!joined)
            return false;
        result = std::move(joined);
        return true;
    }
    // A name relative to the desktop: an entry of the desktop directory.
    std::string desktop = NS::DesktopPath();
    return !desktop.empty() &&
           TFileSystemFolder(desktop, NS::ikDesktopEntry).ParseDisplayName(name, result);
}

std::string TDesktopFolder::GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0) {
        if (kind != dntForParsing)
            return "Desktop";
        std::string desktop = NS::DesktopPath();
        return desktop.empty() ? std::string(NS::DesktopParsingName) : desktop;
    }
    if (IsAlone(relative, NS::ikComputer))
        return TDrivesFolder(std::vector<std::string>{}).GetDisplayNameOf(Rest(relative), kind);
    if (IsAlone(relative, NS::ikHome))
        return kind == dntForParsing ? NS::HomePath() : std::string("Home");
    PCItemIDList rest = nullptr;
    auto folder = Delegate(relative, rest);
    return folder ? folder->GetDisplayNameOf(rest, kind) : std::string();
}

std::uint32_t TDesktopFolder::GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const {
    if (!relative)
        return 0;
    const std::uint32_t virtualFolder = saFolder | saHasSubfolder | saFileSysAncestor;
    if (ItemSizeField(relative) == 0)
        return (virtualFolder | (NS::DesktopPath().empty() ? 0u : saFileSystem)) & mask;
    if (IsAlone(relative, NS::ikComputer))
        return virtualFolder & mask;
    if (IsAlone(relative, NS::ikHome)) {
        std::string home = NS::HomePath();
        if (!IsDirectory(home))
            return 0;
        std::uint32_t attributes = virtualFolder | saFileSystem | saCanLink;
        if ((mask & saCanCopy) && ::access(home.c_str(), R_OK | X_OK) == 0)
            attributes |= saCanCopy;
        return attributes & mask;
    }
    PCItemIDList rest = nullptr;
    auto folder = Delegate(relative, rest);
    return folder ? folder->GetAttributesOf(rest, mask) : 0;
}

std::string TDesktopFolder::GetIconKeyOf(PCItemIDList relative, bool open) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0)
        return "desktop";
    if (IsAlone(relative, NS::ikComputer))
        return "computer";
    if (IsAlone(relative, NS::ikHome))
        return "home";
    PCItemIDList rest = nullptr;
    auto folder = Delegate(relative, rest);
    return folder ? folder->GetIconKeyOf(rest, open) : std::string();
}

std::string TDesktopFolder::GetPathOf(PCItemIDList relative) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0)
        return NS::DesktopPath();
    if (IsAlone(relative, NS::ikComputer))
        return {};
    if (IsAlone(relative, NS::ikHome))
        return NS::HomePath();
    PCItemIDList rest = nullptr;
    auto folder = Delegate(relative, rest);
    return folder ? folder->GetPathOf(rest) : std::string();
}
