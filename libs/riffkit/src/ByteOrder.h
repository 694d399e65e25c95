#pragma once

#include <cstdint>
#include <string>

namespace riffkit {

// Little-endian fields of RIFF headers.
class TByteOrder {
public:
    static std::uint32_t Get32(const unsigned char* p) {
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }
    static std::uint64_t Get64(const unsigned char* p) {
        return std::uint64_t(Get32(p)) | std::uint64_t(Get32(p + 4)) << 32;
    }
    static void Put32(unsigned char* p, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<unsigned char>(v >> (8 * i));
    }
    static void Put64(unsigned char* p, std::uint64_t v) {
        Put32(p, static_cast<std::uint32_t>(v));
        Put32(p + 4, static_cast<std::uint32_t>(v >> 32));
    }
    static void Append32(std::string& out, std::uint32_t v) {
        unsigned char b[4];
        Put32(b, v);
        out.append(reinterpret_cast<const char*>(b), 4);
    }
};

} // namespace riffkit
