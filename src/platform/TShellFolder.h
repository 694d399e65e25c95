#pragma once

#include "ItemIdList.h"
#include "TPidl.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The kind of name asked of a folder; the values are the name flags the folder receives.
enum TDisplayNameType : std::uint32_t {
    dntNormal = 0x0000,    // the name for display
    dntInFolder = 0x0001,  // the name relative to its parent folder
    dntForParsing = 0x8000 // full path of a file-system item, "::{...}" path of a virtual one
};

// Item attribute bits, as a folder reports them.
enum TShellAttribute : std::uint32_t {
    saCanCopy = 0x00000001,
    saCanMove = 0x00000002,
    saCanLink = 0x00000004,
    saCanRename = 0x00000010,
    saCanDelete = 0x00000020,
    saGhosted = 0x00008000, // shown faded: hidden (dot) items
    saLink = 0x00010000,    // a symbolic link
    saShare = 0x00020000,
    saReadOnly = 0x00040000,
    saHidden = 0x00080000,
    saFileSysAncestor = 0x10000000,
    saFolder = 0x20000000,
    saFileSystem = 0x40000000,
    saHasSubfolder = 0x80000000,
};

// Which items an enumeration returns.
enum TEnumFlag : std::uint32_t {
    efFolders = 0x20,
    efNonFolders = 0x40,
    efIncludeHidden = 0x80,
};

// What a listing learned of one item by examining it once, so that making its entry and the
// first read of its details need no further call on it.
struct TItemFacts {
    bool Known = false; // false: the folder told nothing; ask GetAttributesOf
    // Among saFileSystem, saCanLink, saLink, saFolder, saFileSysAncestor, saGhosted, saHidden:
    // what the examination tells. The capabilities (copy, move, rename, delete) are never
    // here: they are asked when needed.
    std::uint32_t Attributes = 0;
    // What the stat told of the item (a link's target; a dangling link itself), when
    // Examined; kept this small because a big folder's listing holds one per item.
    bool Examined = false;
    std::uint32_t Mode = 0;
    std::int64_t Size = 0;
    std::int64_t MtimeNs = 0;
    std::int64_t CtimeNs = 0;
    std::uint64_t Inode = 0;
};

// One folder of the namespace (the desktop, "Computer", a file-system folder). Items are named by
// identifier lists relative to the folder: one item for a direct child, several for a deeper
// descendant, none for the folder itself. Failures are never reported: operations return false,
// empty text, 0 or null and the caller carries on. All names and paths are bytes: file names are
// kept exactly as the file system has them (any bytes but '/' and NUL); the names of virtual
// items are UTF-8.
class TShellFolder {
public:
    virtual ~TShellFolder();

    // The folder's items, one-item lists in byte order of their names, filtered by TEnumFlag bits.
    // False when the folder cannot be read (then `items` is left empty).
    virtual bool EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const = 0;
    // The same listing with what examining each item told (facts[i] for items[i]). This
    // default examines nothing: every fact is unknown.
    virtual bool EnumObjectsWithFacts(std::uint32_t flags, std::vector<TPidl>& items,
                                      std::vector<TItemFacts>& facts) const;
    // The folder object of a descendant (relative list, at least one item); null when the item
    // is not a folder or cannot be reached.
    virtual std::unique_ptr<TShellFolder> BindToObject(PCItemIDList relative) const = 0;
    // Parses a name relative to this folder into a new relative list; false when nothing of that
    // name exists. The desktop parses absolute paths and "::" names into absolute lists.
    virtual bool ParseDisplayName(const std::string& name, TPidl& result) const = 0;
    // The name of that kind of a relative item (empty list: the folder itself); "" on failure.
    virtual std::string GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const = 0;
    // Both names a list shows of an item (dntForParsing and dntNormal) at once; a folder that
    // makes both from the same path makes it once.
    virtual void GetNamesOf(PCItemIDList relative, std::string& parsing, std::string& normal) const;
    // The attributes of a relative item among the bits of `mask`; 0 when the item cannot be had.
    virtual std::uint32_t GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const = 0;
    // The key of the item's icon in the icon table ("folder", "file:audio/x-wav", ...); "" when
    // there is none. `open` asks for the open-state icon.
    virtual std::string GetIconKeyOf(PCItemIDList relative, bool open) const = 0;
    // The file-system path of a relative item (empty list: the folder itself); "" when it has none.
    virtual std::string GetPathOf(PCItemIDList relative) const = 0;

    // Orders two relative lists item by item on their exact bytes (no case folding: two names
    // that differ only in case are two files): negative, 0 or positive.
    virtual int CompareIDs(PCItemIDList first, PCItemIDList second) const;

protected:
    // Number of items of a list (0 for null).
    static int ItemCount(PCItemIDList list);
    // A new list: the items of `first`, then those of `second`.
    static TPidl Join(PCItemIDList first, PCItemIDList second);
    // A new one-item list of the first item of `list`.
    static TPidl FirstItem(PCItemIDList list);
    // For a list of two or more items: the folder of all items but the last, and the last item
    // (pointing into `relative`); null when that folder cannot be had.
    std::unique_ptr<TShellFolder> ParentOf(PCItemIDList relative, PCItemIDList& last) const;
    // Continues a bind: `child` is the folder of the list's first item; binds the rest in it.
    static std::unique_ptr<TShellFolder> BindRest(std::unique_ptr<TShellFolder> child,
                                                  PCItemIDList relative);
};
