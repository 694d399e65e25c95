#pragma once

#include "Journal.h"
#include "MemoryFileIo.h"

#include <optional>

namespace riffkit {

// A journal held in memory: lets tests and the fuzz targets run a commit without files.
class TMemoryJournal : public TJournal {
public:
    TFileIo* Create() override {
        Data.emplace();
        return &*Data;
    }
    TFileIo* OpenExisting(std::string&) override { return Data ? &*Data : nullptr; }
    bool MakeDurable() override { return Data.has_value(); }
    bool Remove() override {
        Data.reset();
        return true;
    }

    std::optional<TMemoryFileIo> Data;
};

} // namespace riffkit
