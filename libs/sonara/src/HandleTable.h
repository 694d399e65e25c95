#pragma once

#include "Handle.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

// The live play handles of the process. Numbers start at 1 and are never reused.
class THandleTable {
public:
    static THandleTable& Instance();

    uint32_t Add(std::shared_ptr<THandle> handle);
    std::shared_ptr<THandle> Find(uint32_t id);
    // Takes the handle out; the caller's reference is the last one, so dropping it closes
    // the device and decoder outside the table's lock.
    std::shared_ptr<THandle> Remove(uint32_t id);
    std::vector<std::shared_ptr<THandle>> RemoveAll();
    size_t Count();
    // Releases the device and decoder of every handle whose range has played out.
    void ReleaseFinished();

private:
    std::mutex Mutex;
    std::map<uint32_t, std::shared_ptr<THandle>> Handles;
    uint32_t NextId = 1;
};
