#pragma once

// The program's toolkit for item identifier lists: measure, copy, join, split and compare them,
// and convert between a list and the names, paths and icons the namespace gives for it.
//
// Ownership: an operation that returns a new list hands it to the caller, who releases it with
// FreePIDL (or holds it in a TPidl). No operation takes ownership of a list passed to it;
// StripLastID alone changes its argument, in place. A missing list is a null pointer.
// Used from the user-interface thread.

#include "ItemIdList.h"
#include "TPidl.h"
#include "TShellFolder.h"

#include <cstddef>
#include <string>

// Size in bytes including the terminator; 0 for a missing list.
std::size_t GetPidlSize(PCItemIDList list);
// The item after `item`, or null when `item` is the terminator.
PItemIDList NextPIDL(PItemIDList item);
PCItemIDList NextPIDL(PCItemIDList item);
// Number of items; 0 for a missing or empty list.
int PIDLCount(PCItemIDList list);
// A new zero-filled block of `size` bytes (malloc), or null.
PItemIDList CreatePIDL(std::size_t size);
// Releases the list (free) and sets the pointer to null; nothing when it is already null.
void FreePIDL(PItemIDList& list);
// A new copy of the whole list; null for a missing list.
PItemIDList CopyPIDL(PCItemIDList list);
// A new list: the items of `first` followed by the items and terminator of `second`; a missing
// first list gives a copy of `second`; null when `second` is missing or memory runs out.
PItemIDList ConcatPIDLs(PCItemIDList first, PCItemIDList second);
// Byte comparison: true when both are missing, false when only one is, else equal sizes and bytes.
bool ComparePIDLs(PCItemIDList first, PCItemIDList second);
// A new one-item list of the first item (a new empty list for an empty list; null for missing).
PItemIDList CopyFirstID(PCItemIDList list);
// A new one-item list of the last item (a new empty list for an empty list; null for missing).
PItemIDList CopyLastID(PCItemIDList list);
// A new list of all items but the last (a new empty list for a one-item or empty list; null for
// missing). The argument is not changed.
PItemIDList CopyParentPIDL(PCItemIDList list);
// Cuts the last item in place by writing a zero size over it; returns the new terminator (the
// list itself when it was empty); null for a missing list.
PItemIDList StripLastID(PItemIDList list);

// The item's name of that kind, asked of `folder` (item relative to it, absolute when `folder`
// is the desktop); "" on any failure. Bytes: file names exactly as the file system has them.
std::string GetDisplayName(const TShellFolder* folder, PCItemIDList item, TDisplayNameType kind);
// Parses `path` in `folder`; on success stores the new list in `result` (any list it held is
// released) and returns true; false otherwise. The path is bytes and is never shortened.
bool GetPIDLFromPath(const TShellFolder* folder, const std::string& path, TPidl& result);
// The file-system path of an absolute list (bytes, not shortened); "" when it has none.
std::string GetPathFromPIDL(PCItemIDList absolute);

// Icon flags: the bits that matter here. SHGFI_OPENICON asks for the open-state icon.
constexpr unsigned SHGFI_SMALLICON = 0x0001;
constexpr unsigned SHGFI_OPENICON = 0x0002;
constexpr unsigned SHGFI_ICON = 0x0100;
constexpr unsigned SHGFI_SYSICONINDEX = 0x4000;
constexpr unsigned SHGFI_PIDL = 0x0008;

// The index of the item's icon in the one icon table (TSystemIconTable, whose images
// TSystemImageList draws), or -1 when there is none.
int GetIconIndex(PCItemIDList absolute, unsigned flags);
// The small icon index and the small open-state icon index.
void GetNormalAndSelectedIcons(PCItemIDList absolute, int& normal, int& selected);
