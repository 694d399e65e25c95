#pragma once

#include "FileIo.h"

#include <cstdint>
#include <vector>

namespace riffkit {

// TFileIo over bytes in memory: lets the fuzz targets and tests run the engine without files.
class TMemoryFileIo : public TFileIo {
public:
    explicit TMemoryFileIo(std::vector<std::uint8_t> bytes = {}) : Bytes(std::move(bytes)) {}

    const std::vector<std::uint8_t>& Data() const { return Bytes; }

    bool Read(std::uint64_t offset, void* buffer, std::size_t size) override;
    bool Write(std::uint64_t offset, const void* buffer, std::size_t size) override;
    bool Sync() override { return true; }
    std::uint64_t Size() override { return Bytes.size(); }
    bool Truncate(std::uint64_t size) override;

private:
    std::vector<std::uint8_t> Bytes;
};

} // namespace riffkit
