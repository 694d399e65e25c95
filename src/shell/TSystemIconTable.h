#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// The one table of item icons, by index, without any drawing: each distinct icon key that the
// namespace gives ("computer", "drive", "folder", "folder-open", "file:audio/x-wav", ...) gets
// the next index and keeps it for the life of the process. TSystemImageList makes the images
// for these indices; the list rows hold only the index.
class TSystemIconTable {
public:
    static TSystemIconTable& Instance();

    // The index of a key, added when new; -1 for the empty key.
    int IndexOf(const std::string& key);
    // The key of an index; "" when out of range.
    std::string KeyAt(int index) const;
    int Count() const;

private:
    mutable std::mutex Lock;
    std::vector<std::string> Keys;
    std::unordered_map<std::string, int> Indices;
};
