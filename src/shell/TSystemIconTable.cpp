#include "TSystemIconTable.h"

TSystemIconTable& TSystemIconTable::Instance() {
    static TSystemIconTable table;
    return table;
}

int TSystemIconTable::IndexOf(const std::string& key) {
    if (key.empty())
        return -1;
    std::lock_guard<std::mutex> guard(Lock);
    auto found = Indices.find(key);
    if (found != Indices.end())
        return found->second;
    int index = static_cast<int>(Keys.size());
    Keys.push_back(key);
    Indices.emplace(key, index);
    return index;
}

std::string TSystemIconTable::KeyAt(int index) const {
    std::lock_guard<std::mutex> guard(Lock);
    if (index < 0 || index >= static_cast<int>(Keys.size()))
        return {};
    return Keys[static_cast<std::size_t>(index)];
}

int TSystemIconTable::Count() const {
    std::lock_guard<std::mutex> guard(Lock);
    return static_cast<int>(Keys.size());
}
