#pragma once

#include "ItemIdList.h"

#include <cstddef>

// Owner of one item identifier list in C++ code: frees it with the list allocator when it goes
// away, so no list leaks on an early return. Move-only. Release() hands the list back to a
// caller that takes over its ownership.
class TPidl {
public:
    TPidl() = default;
    explicit TPidl(PItemIDList owned) : List(owned) {}
    ~TPidl() { ItemIdFree(List); }
    TPidl(const TPidl&) = delete;
    TPidl& operator=(const TPidl&) = delete;
    TPidl(TPidl&& other) noexcept : List(other.List) { other.List = nullptr; }
    TPidl& operator=(TPidl&& other) noexcept;

    // A new owned copy of `list` (empty owner for null or when memory runs out).
    static TPidl Copy(PCItemIDList list);
    // A new one-item list whose item data is `data` (size bytes); empty owner when too large.
    static TPidl FromItemData(const void* data, std::size_t size);

    PItemIDList Get() const { return List; }
    explicit operator bool() const { return List != nullptr; }
    PItemIDList Release();
    void Reset(PItemIDList owned = nullptr);

private:
    PItemIDList List = nullptr;
};
