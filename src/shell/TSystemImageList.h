#pragma once

#include <QFileIconProvider>
#include <QIcon>
#include <vector>

// The images of the icon table (TSystemIconTable), by the same index: computer, drives, home,
// desktop and folders from QFileIconProvider (theme icons where the theme has them), files by
// their MIME type's theme icon with the provider's file icon as fallback. Images are made on
// first use and kept. User-interface thread only.
class TSystemImageList {
public:
    static TSystemImageList& Instance();

    // The icon of a table index; a null icon for -1 or an unknown index.
    QIcon Icon(int index);
    // Small icon size in pixels (16 at 1x).
    static int SmallIconSize() { return 16; }

private:
    QIcon MakeIcon(const std::string& key);

    QFileIconProvider Provider;
    std::vector<QIcon> Icons; // by index; null until made
    std::vector<bool> Made;
};
