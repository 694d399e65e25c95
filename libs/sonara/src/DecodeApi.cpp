// The decode operations of the C interface: a table of decoders by handle for callers that
// analyse audio (levels, loudness) with the same decoder and trimming as playback.
#include "sonara.h"

#include "Decoder.h"
#include "FormatProbe.h"
#include "Guarded.h"
#include "LastError.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

struct TDecodeTable {
    std::mutex Lock;
    std::map<uint32_t, std::shared_ptr<TDecoder>> Decoders;
    uint32_t Next = 1;
};

TDecodeTable& Table() {
    static TDecodeTable table;
    return table;
}

std::shared_ptr<TDecoder> Find(uint32_t handle) {
    TDecodeTable& table = Table();
    std::lock_guard<std::mutex> lock(table.Lock);
    const auto found = table.Decoders.find(handle);
    if (found == table.Decoders.end()) {
        TLastError::Set("Unknown decode handle " + std::to_string(handle));
        return nullptr;
    }
    return found->second;
}

} // namespace

uint32_t SN_DecodeOpen(const char* path, uint32_t* sampleRate, uint16_t* channels,
                       uint64_t* frames) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        const std::string file = path ? path : "";
        const TAudioFileInfo info = TFormatProbe::Probe(file);
        if (info.Kind == TAudioKind::None) {
            TLastError::Set(info.Error);
            return 0;
        }
        std::string error;
        std::shared_ptr<TDecoder> decoder = TDecoder::Create(file, info, false, error);
        if (!decoder) {
            TLastError::Set(error);
            return 0;
        }
        if (sampleRate)
            *sampleRate = static_cast<uint32_t>(decoder->SampleRate());
        if (channels)
            *channels = static_cast<uint16_t>(decoder->Channels());
        if (frames)
            *frames = info.Frames;
        TDecodeTable& table = Table();
        std::lock_guard<std::mutex> lock(table.Lock);
        uint32_t handle = table.Next++;
        if (handle == 0)
            handle = table.Next++;
        table.Decoders.emplace(handle, std::move(decoder));
        return handle;
    });
}

uint32_t SN_DecodeRead(uint32_t handle, int16_t* samples, uint32_t frames) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        if (samples == nullptr || frames == 0)
            return 0;
        const auto decoder = Find(handle);
        return decoder ? static_cast<uint32_t>(decoder->Read(samples, frames)) : 0;
    });
}

int16_t SN_DecodeSeek(uint32_t handle, uint64_t frame) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        const auto decoder = Find(handle);
        if (!decoder)
            return 1;
        if (!decoder->Seek(frame)) {
            TLastError::Set("Cannot seek to frame " + std::to_string(frame));
            return 1;
        }
        return 0;
    });
}

int16_t SN_DecodeClose(uint32_t handle) {
    return Guarded<int16_t>(1, [&]() -> int16_t {
        TDecodeTable& table = Table();
        std::lock_guard<std::mutex> lock(table.Lock);
        if (table.Decoders.erase(handle) == 0) {
            TLastError::Set("Unknown decode handle " + std::to_string(handle));
            return 1;
        }
        return 0;
    });
}
