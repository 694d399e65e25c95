#pragma once

#include "ItemIdList.h"
#include "TPidl.h"
#include "TShellFolder.h"

#include <memory>
#include <string>
#include <string_view>

// The namespace that stands in for the shell's: the desktop is the root; its items are "Computer"
// (the drives: "/" and the user-visible mounts), the home folder and the entries of the XDG
// desktop directory; below them the file system.
//
// Item data: one kind byte followed by the item's bytes:
//   'C'            Computer (no bytes)
//   'H'            the home folder (no bytes)
//   'E' + name     an entry of the desktop directory (raw name bytes)
//   'D' + path     a drive below Computer (its mount point, absolute)
//   'F' + name     a file-system item inside a file-system folder (raw name bytes)
// so every file name round-trips unchanged, and the same item always has the same bytes.
class TShellNamespace {
public:
    enum TItemKind : char {
        ikComputer = 'C',
        ikHome = 'H',
        ikDesktopEntry = 'E',
        ikDrive = 'D',
        ikFileSystem = 'F',
    };

    // Parsing names of the virtual folders.
    static constexpr std::string_view ComputerParsingName =
        "::{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    // The desktop's parsing name when there is no desktop directory of its own.
    static constexpr std::string_view DesktopParsingName =
        "::{00021400-0000-0000-C000-000000000046}";

    // The root folder. Cheap to make; home and desktop directory are looked up when needed.
    static std::unique_ptr<TShellFolder> DesktopFolder();
    // The absolute list of "Computer" (the drives folder).
    static TPidl DrivesLocation();
    // The file-system path of an absolute list; "" for Computer, for the desktop without a
    // desktop directory, and for lists that name nothing.
    static std::string PathFromIDList(PCItemIDList absolute);

    // $HOME ("" when unset). The desktop directory from the XDG user dirs; "" when it does not
    // exist or is the home folder itself (whose entries are not put on the desktop).
    static std::string HomePath();
    static std::string DesktopPath();

    // A new one-item list of that kind and bytes.
    static TPidl MakeItem(TItemKind kind, std::string_view bytes);
    // The kind byte of an item (0 for the terminator) and its bytes behind the kind.
    static char ItemKind(PCItemIDList item);
    static std::string_view ItemData(PCItemIDList item);
};
