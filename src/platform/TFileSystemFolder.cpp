#include "TFileSystemFolder.h"

#include <QFile>
#include <QMimeDatabase>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string_view NameOf(PCItemIDList item, char kind) {
    std::uint16_t cb = ItemSizeField(item);
    if (cb < 3 || static_cast<char>(ItemBytes(item)[2]) != kind)
        return {};
    return std::string_view(reinterpret_cast<const char*>(ItemBytes(item)) + 3, cb - 3u);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

TFileSystemFolder::TFileSystemFolder(std::string path, char childKind)
    : FolderPath(std::move(path)), ChildKind(childKind) {}

std::string TFileSystemFolder::ChildPath(std::string_view name) const {
    std::string path = FolderPath;
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
    return path;
}

bool TFileSystemFolder::IsValidName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

bool TFileSystemFolder::ResolvePath(PCItemIDList relative, std::string& path,
                                    std::string& lastName) const {
    path = FolderPath;
    lastName.clear();
    if (!relative)
        return false;
    const std::uint8_t* p = ItemBytes(relative);
    char kind = ChildKind;
    while (ItemSizeField(reinterpret_cast<PCItemIDList>(p)) != 0) {
        auto item = reinterpret_cast<PCItemIDList>(p);
        std::string_view name = NameOf(item, kind);
        if (!IsValidName(name))
            return false;
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append(name);
        lastName.assign(name);
        p += ItemSizeField(item);
        kind = 'F'; // below the first level every item is a plain file-system item
    }
    return true;
}

bool TFileSystemFolder::EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const {
    return List(flags, items, nullptr);
}

bool TFileSystemFolder::EnumObjectsWithFacts(std::uint32_t flags, std::vector<TPidl>& items,
                                             std::vector<TItemFacts>& facts) const {
    return List(flags, items, &facts);
}

TItemFacts TFileSystemFolder::Examine(int dirFd, const char* name, unsigned char type) {
    // One stat against the folder's descriptor (no path walk); a link costs a second one for
    // its target, and readdir's type spares the first one for it.
    TItemFacts facts;
    facts.Known = true;
    struct stat st {};
    bool found = false;
    bool isLink = type == DT_LNK;
    if (!isLink) {
        found = ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        isLink = found && S_ISLNK(st.st_mode);
    }
    bool isFolder = found && S_ISDIR(st.st_mode);
    if (isLink) {
        struct stat target {};
        if (::fstatat(dirFd, name, &target, 0) == 0) {
            st = target;
            found = true;
            isFolder = S_ISDIR(target.st_mode);
        } else {
            // A dangling link reports itself.
            found = found || ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
            isFolder = false;
        }
    }
    if (!found)
        return facts; // gone since the listing: no attributes, as GetAttributesOf says
    facts.Attributes = saFileSystem | saCanLink;
    if (isLink)
        facts.Attributes |= saLink;
    if (isFolder)
        facts.Attributes |= saFolder | saFileSysAncestor;
    if (name[0] == '.')
        facts.Attributes |= saGhosted | saHidden;
    facts.Examined = true;
    facts.Mode = static_cast<std::uint32_t>(st.st_mode);
    facts.Size = static_cast<std::int64_t>(st.st_size);
    facts.MtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    facts.CtimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    facts.Inode = static_cast<std::uint64_t>(st.st_ino);
    return facts;
}

bool TFileSystemFolder::List(std::uint32_t flags, std::vector<TPidl>& items,
                             std::vector<TItemFacts>* facts) const {
    items.clear();
    if (facts != nullptr)
        facts->clear();
    DIR* dir = ::opendir(FolderPath.c_str());
    if (!dir)
        return false;
    const bool wantFolders = flags & efFolders;
    const bool wantFiles = flags & efNonFolders;
    const bool wantHidden = flags & efIncludeHidden;
    std::vector<std::string> names;
    std::vector<TItemFacts> found;
    while (dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (name.front() == '.' && !wantHidden)
            continue;
        TItemFacts examined;
        if (facts != nullptr)
            examined = Examine(::dirfd(dir), entry->d_name, entry->d_type);
        if (!(wantFolders && wantFiles)) {
            // Only one side is asked for: tell folders from files, following links.
            bool isFolder;
            if (examined.Known)
                isFolder = (examined.Attributes & saFolder) != 0;
            else if (entry->d_type == DT_DIR)
                isFolder = true;
            else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN)
                isFolder = IsDirectory(ChildPath(name));
            else
                isFolder = false;
            if (isFolder ? !wantFolders : !wantFiles)
                continue;
        }
        names.emplace_back(name);
        if (facts != nullptr)
            found.push_back(examined);
    }
    ::closedir(dir);
    // Byte order, mostly decided by a key of the names' first 16 bytes (a name has no NUL, so
    // the zeros after a short one order it before longer ones it starts): a folder of 20,000
    // names compares them as numbers, not as strings.
    struct TOrderKey {
        uint64_t High;
        uint64_t Low;
        size_t Index;
    };
    std::vector<TOrderKey> order(names.size());
    for (size_t i = 0; i < order.size(); ++i) {
        unsigned char first[16] = {};
        std::memcpy(first, names[i].data(), std::min<size_t>(names[i].size(), 16));
        uint64_t high = 0;
        uint64_t low = 0;
        for (int k = 0; k < 8; ++k) {
            high = high << 8 | first[k];
            low = low << 8 | first[8 + k];
        }
        order[i] = {high, low, i};
    }
    std::sort(order.begin(), order.end(), [&](const TOrderKey& a, const TOrderKey& b) {
        if (a.High != b.High)
            return a.High < b.High;
        if (a.Low != b.Low)
            return a.Low < b.Low;
        return names[a.Index] < names[b.Index];
    });
    items.reserve(names.size());
    if (facts != nullptr)
        facts->reserve(names.size());
    std::string data;
    for (const TOrderKey& key : order) {
        const size_t i = key.Index;
        data.assign(1, ChildKind);
        data.append(names[i]);
        TPidl item = TPidl::FromItemData(data.data(), data.size());
        if (!item)
            continue;
        items.push_back(std::move(item));
        if (facts != nullptr)
            facts->push_back(found[i]);
    }
    return true;
}

std::unique_ptr<TShellFolder> TFileSystemFolder::BindToObject(PCItemIDList relative) const {
    std::string path, name;
    if (!ResolvePath(relative, path, name) || name.empty() || !IsDirectory(path))
        return nullptr;
    return std::make_unique<TFileSystemFolder>(path);
}

bool TFileSystemFolder::ParseDisplayName(const std::string& name, TPidl& result) const {
    // A relative path of one or more names; "." parts and doubled slashes are skipped.
    if (name.empty() || name.front() == '/')
        return false;
    std::string data;
    std::string path = FolderPath;
    char kind = ChildKind;
    std::size_t pos = 0;
    while (pos <= name.size()) {
        std::size_t end = name.find('/', pos);
        if (end == std::string::npos)
            end = name.size();
        std::string_view part(name.data() + pos, end - pos);
        pos = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (!IsValidName(part) || part.size() > 0xFFF0)
            return false;
        std::uint16_t cb = static_cast<std::uint16_t>(part.size() + 3);
        data.push_back(static_cast<char>(cb & 0xFF));
        data.push_back(static_cast<char>(cb >> 8));
        data.push_back(kind);
        data.append(part);
        if (path.empty() || path.back() != '/')
            path.push_back('/');
        path.append(part);
        kind = 'F';
    }
    if (data.empty())
        return false;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    PItemIDList list = ItemIdAlloc(data.size() + 2);
    if (!list)
        return false;
    std::copy(data.begin(), data.end(), reinterpret_cast<char*>(ItemBytes(list)));
    result.Reset(list);
    return true;
}

std::string TFileSystemFolder::GetDisplayNameOf(PCItemIDList relative,
                                                TDisplayNameType kind) const {
    if (!relative)
        return {};
    if (ItemSizeField(relative) == 0) {
        if (kind == dntForParsing)
            return FolderPath;
        std::size_t slash = FolderPath.find_last_of('/');
        if (slash == std::string::npos || slash + 1 == FolderPath.size())
            return FolderPath;
        return FolderPath.substr(slash + 1);
    }
    std::string path, name;
    if (!ResolvePath(relative, path, name))
        return {};
    return kind == dntForParsing ? path : name;
}

void TFileSystemFolder::GetNamesOf(PCItemIDList relative, std::string& parsing,
                                   std::string& normal) const {
    if (!relative || ItemSizeField(relative) == 0) {
        TShellFolder::GetNamesOf(relative, parsing, normal);
        return;
    }
    if (!ResolvePath(relative, parsing, normal)) {
        parsing.clear();
        normal.clear();
    }
}

std::uint32_t TFileSystemFolder::GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const {
    std::string path, name;
    if (!relative || !ResolvePath(relative, path, name) || name.empty())
        return 0;
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) != 0)
        return 0;
    std::uint32_t attributes = saFileSystem | saCanLink;
    const bool isLink = S_ISLNK(lst.st_mode);
    bool isFolder = S_ISDIR(lst.st_mode);
    if (isLink) {
        attributes |= saLink;
        struct stat st {};
        isFolder = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isFolder)
        attributes |= saFolder | saFileSysAncestor;
    if (name.front() == '.')
        attributes |= saGhosted | saHidden;
    if (mask & (saCanRename | saCanDelete | saCanMove)) {
        // Renaming, deleting and moving change the parent folder's entries.
        std::string parent = path.substr(0, path.size() - name.size());
        if (parent.size() > 1)
            parent.pop_back();
        TParentRights rights = ParentRights(parent);
        bool changeable = rights.Writable;
        if (changeable && rights.Sticky) {
            // A sticky folder lets only the owners of the item or of the folder change it.
            uid_t uid = ::geteuid();
            changeable = uid == 0 || lst.st_uid == uid || rights.Owner == uid;
        }
        if (changeable)
            attributes |= saCanRename | saCanDelete | saCanMove;
    }
    if ((mask & saCanCopy) && ::access(path.c_str(), isFolder ? (R_OK | X_OK) : R_OK) == 0)
        attributes |= saCanCopy;
    if ((mask & saReadOnly) && ::access(path.c_str(), W_OK) != 0)
        attributes |= saReadOnly;
    return attributes & mask;
}

TFileSystemFolder::TParentRights TFileSystemFolder::ParentRights(const std::string& parent) const {
    using namespace std::chrono;
    const bool own = parent == FolderPath;
    long long now = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    if (own && CachedAtMs >= 0 && now - CachedAtMs < 1000)
        return CachedRights;
    TParentRights rights;
    rights.Writable = ::access(parent.c_str(), W_OK | X_OK) == 0;
    struct stat st {};
    if (::stat(parent.c_str(), &st) == 0) {
        rights.Sticky = (st.st_mode & S_ISVTX) != 0;
        rights.Owner = st.st_uid;
    }
    if (own) {
        CachedRights = rights;
        CachedAtMs = now;
    }
    return rights;
}

std::string TFileSystemFolder::GetIconKeyOf(PCItemIDList relative, bool open) const {
    std::string path, name;
    if (!relative || !ResolvePath(relative, path, name))
        return {};
    if (name.empty() || IsDirectory(path))
        return open ? "folder-open" : "folder";
    struct stat lst {};
    if (::lstat(path.c_str(), &lst) != 0)
        return {};
    // By name only: reading every file's content to guess its type would cost a disk read per row.
    static const QMimeDatabase database;
    QMimeType type = database.mimeTypeForFile(QFile::decodeName(QByteArray::fromStdString(name)),
                                              QMimeDatabase::MatchExtension);
    return "file:" + type.name().toStdString();
}

std::string TFileSystemFolder::GetPathOf(PCItemIDList relative) const {
    std::string path, name;
    if (!relative || !ResolvePath(relative, path, name))
        return {};
    return path;
}
