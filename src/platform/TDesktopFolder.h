#pragma once

#include "TShellFolder.h"

#include <string>

// The root of the namespace. Its items: "Computer", the home folder ("Home") and the entries of
// the XDG desktop directory. It accepts absolute lists wherever a relative list is asked for,
// and parses absolute paths (into lists below Computer) and the "::" names of the virtual
// folders. Its own parsing name and path are the desktop directory's, when there is one.
class TDesktopFolder : public TShellFolder {
public:
    TDesktopFolder();

    bool EnumObjects(std::uint32_t flags, std::vector<TPidl>& items) const override;
    std::unique_ptr<TShellFolder> BindToObject(PCItemIDList relative) const override;
    bool ParseDisplayName(const std::string& name, TPidl& result) const override;
    std::string GetDisplayNameOf(PCItemIDList relative, TDisplayNameType kind) const override;
    std::uint32_t GetAttributesOf(PCItemIDList relative, std::uint32_t mask) const override;
    std::string GetIconKeyOf(PCItemIDList relative, bool open) const override;
    std::string GetPathOf(PCItemIDList relative) const override;
};
