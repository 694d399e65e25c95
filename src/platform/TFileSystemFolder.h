#pragma once

#include "TShellFolder.h"

#include <string>

// A folder of the file system. Its items carry their raw name bytes; names, attributes and
// capabilities come straight from the file system:
// - folder: the item (or a symbolic link's target) is a directory; link: the item is a symlink;
// - can-rename, can-delete, can-move: the folder is writable and searchable (and, in a sticky
//   folder such as /tmp, the item or the folder is the user's own);
// - can-copy: the item is readable (a folder also searchable);
// - ghosted and hidden: the name starts with ".";
// - read-only: the item is not writable.
// A folder object is used by one thread at a time.
class TFileSystemFolder : public TShellFolder {
public:
    // `path` is the folder's absolute path (bytes). Items are made with `childKind` ('F', or 'E'
    // for the desktop directory's entries on the desktop).
    explicit TFileSystemFolder(std::string path, char childKind = 'F');

    const std::string& Path() const { return FolderPath; }
    // The path of a child of this folder by name ("/" + name, without doubling the root's "/").
    std::string ChildPath(std::string_view name) const;
    // Whether a name may be an item of a file-system folder (not empty, ".", ".." or with '/').
    static bool IsValidName(std::string_view name);

    bool EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const override;
    // Examines each item once as it is listed (see Examine).
    bool EnumObjectsWithFacts(std::uint32_t flags, std::vector<TPidl>& items,
                              std::vector<TItemFacts>& facts) const override;
    std::unique_ptr<TShellFolder> BindToObject(PCItemIDList relative) const override;
    bool ParseDisplayName(const std::string& name, TPidl& result) const override;
    std::string GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const override;
    void GetNamesOf(PCItemIDList relative, std::string& parsing,
                    std::string& normal) const override;
    std::uint32_t GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const override;
    std::string GetIconKeyOf(PCItemIDList relative, bool open) const override;
    std::string GetPathOf(PCItemIDList relative) const override;

private:
    bool List(std::uint32_t flags, std::vector<TPidl>& items, std::vector<TItemFacts>* facts) const;
    // The facts of one item of the open folder `dirFd`, as GetAttributesOf would tell them.
    static TItemFacts Examine(int dirFd, const char* name, unsigned char type);

    // The full path of a relative list's item, or "" when an item is not one of this kind.
    bool ResolvePath(PCItemIDList relative, std::string& path, std::string& lastName) const;

    // Whether the items of `parent` may be renamed, moved or deleted, with the sticky-bit facts;
    // remembered for this folder's own path for a moment, since a folder of thousands of items
    // asks once per item.
    struct TParentRights {
        bool Writable = false;
        bool Sticky = false;
        unsigned Owner = 0;
    };
    TParentRights ParentRights(const std::string& parent) const;

    std::string FolderPath;
    char ChildKind;
    mutable TParentRights CachedRights;
    mutable long long CachedAtMs = -1; // steady clock; -1 when nothing is cached
};
