#include "RiffBuilder.h"

#include <fstream>

TRiffBuilder& TRiffBuilder::Chunk(const std::string& id, const std::string& payload, bool pad) {
    Body += id.substr(0, 4);
    Body += Le32(static_cast<std::uint32_t>(payload.size()));
    Body += payload;
    if (pad && (payload.size() & 1))
        Body += '\0';
    return *this;
}

TRiffBuilder& TRiffBuilder::ChunkWithSize(const std::string& id, std::uint32_t sizeField,
                                          const std::string& payload) {
    Body += id.substr(0, 4);
    Body += Le32(sizeField);
    Body += payload;
    return *this;
}

TRiffBuilder& TRiffBuilder::Raw(const std::string& bytes) {
    Body += bytes;
    return *this;
}

TRiffBuilder& TRiffBuilder::RiffSize(std::uint32_t size) {
    HasRiffSize = true;
    RiffSizeValue = size;
    return *this;
}

std::string TRiffBuilder::Build() const {
    std::string out = Form.substr(0, 4);
    out += Le32(HasRiffSize ? RiffSizeValue : static_cast<std::uint32_t>(Body.size() + 4));
    out += Type.substr(0, 4);
    out += Body;
    return out;
}

bool TRiffBuilder::WriteTo(const std::string& path) const {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    const std::string bytes = Build();
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

std::string TRiffBuilder::Fmt(int channels, int sampleRate, int bits) {
    const int block = channels * bits / 8;
    std::string p;
    p += std::string("\x01\x00", 2);
    p += std::string(1, static_cast<char>(channels)) + '\0';
    p += Le32(static_cast<std::uint32_t>(sampleRate));
    p += Le32(static_cast<std::uint32_t>(sampleRate * block));
    p += std::string(1, static_cast<char>(block)) + '\0';
    p += std::string(1, static_cast<char>(bits)) + '\0';
    return p;
}

std::string TRiffBuilder::Info(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string p = "INFO";
    for (const auto& [key, value] : items) {
        std::string v = value + '\0';
        p += key.substr(0, 4) + Le32(static_cast<std::uint32_t>(v.size())) + v;
        if (v.size() & 1)
            p += '\0';
    }
    return p;
}

std::string TRiffBuilder::Disp(const std::string& text, std::uint32_t type) {
    return Le32(type) + text + '\0';
}

std::string TRiffBuilder::Audio(std::size_t size, std::uint32_t seed) {
    std::string out(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& c : out) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return out;
}

std::string TRiffBuilder::Le32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i)
        s[i] = static_cast<char>(v >> (8 * i));
    return s;
}

std::string TRiffBuilder::Le64(std::uint64_t v) {
    return Le32(static_cast<std::uint32_t>(v)) + Le32(static_cast<std::uint32_t>(v >> 32));
}
