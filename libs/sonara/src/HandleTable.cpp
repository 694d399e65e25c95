#include "HandleTable.h"

THandleTable& THandleTable::Instance() {
    // Never destroyed: the library's unload hook empties it, whatever the order of static
    // destructors at process exit.
    static THandleTable* table = new THandleTable;
    return *table;
}

uint32_t THandleTable::Add(std::shared_ptr<THandle> handle) {
    std::lock_guard guard(Mutex);
    const uint32_t id = NextId++;
    if (NextId == 0)
        NextId = 1;
    Handles.emplace(id, std::move(handle));
    return id;
}

std::shared_ptr<THandle> THandleTable::Find(uint32_t id) {
    std::lock_guard guard(Mutex);
    const auto it = Handles.find(id);
    return it == Handles.end() ? nullptr : it->second;
}

std::shared_ptr<THandle> THandleTable::Remove(uint32_t id) {
    std::lock_guard guard(Mutex);
    const auto it = Handles.find(id);
    if (it == Handles.end())
        return nullptr;
    auto handle = std::move(it->second);
    Handles.erase(it);
    return handle;
}

std::vector<std::shared_ptr<THandle>> THandleTable::RemoveAll() {
    std::lock_guard guard(Mutex);
    std::vector<std::shared_ptr<THandle>> all;
    for (auto& [id, handle] : Handles)
        all.push_back(std::move(handle));
    Handles.clear();
    return all;
}

size_t THandleTable::Count() {
    std::lock_guard guard(Mutex);
    return Handles.size();
}

void THandleTable::ReleaseFinished() {
    std::vector<std::shared_ptr<THandle>> all;
    {
        std::lock_guard guard(Mutex);
        for (auto& [id, handle] : Handles)
            all.push_back(handle);
    }
    for (auto& handle : all)
        handle->ReleaseIfFinished();
}
