#include "FormatProbe.h"

#include "FileReader.h"
#include "MpegMeter.h"
#include "SndfileFile.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

uint32_t Le32(const uint8_t* p) {
    return (uint32_t(p[3]) << 24) | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

uint64_t Le64(const uint8_t* p) {
    return Le32(p) | (uint64_t(Le32(p + 4)) << 32);
}

uint32_t Le32Of(const TFileReader& file, uint64_t offset) {
    uint8_t b[4] = {};
    file.ReadAt(offset, b, 4);
    return Le32(b);
}

std::string ChannelText(int rate, int channels) {
    std::string text = std::to_string(rate) + " Hz ";
    if (channels == 1)
        return text + "Mono";
    if (channels == 2)
        return text + "Stereo";
    return text + std::to_string(channels) + " channels";
}

// The fmt tag and data chunk position of a RIFF/WAVE or RF64 file.
struct TRiffLayout {
    bool HasFmt = false;
    uint16_t FormatTag = 0;
    uint16_t BlockAlign = 0;
    bool HasData = false;
    uint64_t DataOffset = 0;
    uint64_t DataSize = 0;
    uint32_t FactSamples = 0; // the fact chunk's sample count; 0 when absent
    // Header fields to read differently (a data size a recorder never filled in).
    std::vector<THeaderPatch> Patches;
};

// Whether 8 bytes look like the header of a chunk that fits in the bytes left.
bool LooksLikeChunk(const uint8_t* h, uint64_t left) {
    const bool printable = std::all_of(h, h + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
    return printable && 8 + uint64_t(Le32(h + 4)) <= left;
}

// A data size of 0 (a recorder stopped before it wrote the size) or 0xFFFFFFFF (a streaming
// writer's "unknown") in plain RIFF: when audio rather than another chunk follows, the data
// runs to the end of the file in whole blocks.
bool DataSizeUnset(const TFileReader& file, uint64_t dataOffset, uint32_t size, bool rf64) {
    if (rf64 || (size != 0 && size != 0xFFFFFFFFu) || dataOffset >= file.Size())
        return false;
    if (size == 0xFFFFFFFFu)
        return true;
    uint8_t next[8];
    const uint64_t left = file.Size() - dataOffset;
    return left < 8 || file.ReadAt(dataOffset, next, 8) != 8 || !LooksLikeChunk(next, left);
}

TRiffLayout WalkRiff(const TFileReader& file, bool rf64) {
    TRiffLayout layout;
    uint64_t ds64Data = 0;
    uint64_t pos = 12;
    for (int guard = 0; guard < 4096 && pos + 8 <= file.Size(); ++guard) {
        uint8_t h[8];
        if (file.ReadAt(pos, h, 8) != 8)
            break;
        uint64_t size = Le32(h + 4);
        if (std::memcmp(h, "ds64", 4) == 0) {
            uint8_t body[16];
            if (file.ReadAt(pos + 8, body, 16) == 16)
                ds64Data = Le64(body + 8);
        } else if (std::memcmp(h, "fmt ", 4) == 0 && size >= 2) {
            uint8_t body[26] = {};
            const size_t got = file.ReadAt(pos + 8, body, std::min<uint64_t>(size, sizeof body));
            layout.HasFmt = got >= 2;
            layout.FormatTag = static_cast<uint16_t>(body[0] | (body[1] << 8));
            if (got >= 14)
                layout.BlockAlign = static_cast<uint16_t>(body[12] | (body[13] << 8));
            if (layout.FormatTag == 0xFFFE && got >= 26) // extensible: the sub-format's tag
                layout.FormatTag = static_cast<uint16_t>(body[24] | (body[25] << 8));
        } else if (std::memcmp(h, "fact", 4) == 0 && size >= 4) {
            layout.FactSamples = Le32Of(file, pos + 8);
        } else if (std::memcmp(h, "data", 4) == 0) {
            layout.HasData = true;
            layout.DataOffset = pos + 8;
            layout.DataSize = (rf64 && size == 0xFFFFFFFFu) ? ds64Data : size;
            if (DataSizeUnset(file, layout.DataOffset, static_cast<uint32_t>(size), rf64)) {
                uint64_t real = file.Size() - layout.DataOffset;
                if (layout.BlockAlign > 1)
                    real -= real % layout.BlockAlign;
                real = std::min<uint64_t>(real, 0xFFFFFFF0u - layout.DataOffset);
                layout.DataSize = real;
                layout.Patches.push_back({pos + 4, static_cast<uint32_t>(real)});
                const uint32_t riffSize = Le32Of(file, 4);
                if (riffSize < layout.DataOffset + real - 8 || riffSize == 0xFFFFFFFFu)
                    layout.Patches.push_back(
                        {4, static_cast<uint32_t>(layout.DataOffset + real - 8)});
                size = real;
            }
            if (layout.HasFmt)
                break;
        }
        pos += 8 + size + (size & 1);
    }
    return layout;
}

// factSamples: the WAV fact chunk's count, or 0.
bool ProbeSndfile(const std::string& path, const std::vector<THeaderPatch>& patches,
                  uint32_t factSamples, TAudioFileInfo& info) {
    SF_INFO sfInfo{};
    {
        TSndfileFile file;
        std::string error;
        if (!file.Open(path, patches, sfInfo, error)) {
            info.Error = error;
            return false;
        }
    }
    if ((sfInfo.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG || sfInfo.samplerate <= 0 ||
        sfInfo.channels <= 0) {
        info.Error = "The audio format is not supported";
        return false;
    }
    info.Kind = TAudioKind::Sndfile;
    info.SampleRate = sfInfo.samplerate;
    info.Channels = sfInfo.channels;
    info.Frames = sfInfo.frames > 0 ? static_cast<uint64_t>(sfInfo.frames) : 0;
    // Block codings (GSM, ADPCM) decode whole blocks; the fact chunk says where the audio
    // ends inside the last one.
    const int subtype = sfInfo.format & SF_FORMAT_SUBMASK;
    const bool blockCoded = subtype == SF_FORMAT_GSM610 || subtype == SF_FORMAT_IMA_ADPCM ||
                            subtype == SF_FORMAT_MS_ADPCM;
    if (blockCoded && factSamples > 0 && factSamples < info.Frames)
        info.Frames = factSamples;
    info.TextA = TFormatProbe::SndfileCodingText(sfInfo.format);
    info.TextB = ChannelText(sfInfo.samplerate, sfInfo.channels);
    info.HeaderPatches = patches;
    return true;
}

} // namespace

uint32_t TAudioFileInfo::LengthMs() const {
    if (SampleRate <= 0)
        return 0;
    const uint64_t ms = Frames * 1000 / static_cast<uint64_t>(SampleRate);
    return ms > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(ms);
}

std::string TFormatProbe::SndfileCodingText(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return "PCM 8 bit";
    case SF_FORMAT_PCM_16:
        return "PCM 16 bit";
    case SF_FORMAT_PCM_24:
        return "PCM 24 bit";
    case SF_FORMAT_PCM_32:
        return "PCM 32 bit";
    case SF_FORMAT_FLOAT:
        return "IEEE float 32 bit";
    case SF_FORMAT_DOUBLE:
        return "IEEE float 64 bit";
    case SF_FORMAT_ULAW:
        return "u-Law 8 bit";
    case SF_FORMAT_ALAW:
        return "A-Law 8 bit";
    case SF_FORMAT_IMA_ADPCM:
        return "IMA ADPCM 4 bit";
    case SF_FORMAT_MS_ADPCM:
        return "Microsoft ADPCM 4 bit";
    case SF_FORMAT_GSM610:
        return "GSM 6.10";
    case SF_FORMAT_G721_32:
        return "G.721 ADPCM 32 kbps";
    default:
        break;
    }
    SF_FORMAT_INFO formatInfo{};
    formatInfo.format = format & SF_FORMAT_SUBMASK;
    if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &formatInfo, sizeof formatInfo) == 0 &&
        formatInfo.name)
        return formatInfo.name;
    return "Unknown coding";
}

TAudioFileInfo TFormatProbe::Probe(const std::string& path) {
    TAudioFileInfo info;
    TFileReader file(path);
    if (!file.IsOpen()) {
        info.Error = "Cannot open \"" + path + "\": " + file.Error();
        return info;
    }
    uint8_t head[12] = {};
    const size_t got = file.ReadAt(0, head, sizeof head);
    const bool riff = got == 12 && std::memcmp(head + 8, "WAVE", 4) == 0 &&
                      (std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0);
    if (riff) {
        const TRiffLayout layout = WalkRiff(file, head[1] == 'F');
        if (layout.HasFmt && (layout.FormatTag == 0x0050 || layout.FormatTag == 0x0055)) {
            if (!layout.HasData) {
                info.Error = "The WAV file has no data chunk";
                return info;
            }
            if (TMpegMeter::Measure(file, layout.DataOffset, layout.DataOffset + layout.DataSize,
                                    false, info)) {
                info.Kind = TAudioKind::MpegInWav;
            }
            return info;
        }
        ProbeSndfile(path, layout.Patches, layout.FactSamples, info);
        return info;
    }
    if (TMpegMeter::Measure(file, 0, file.Size(), true, info)) {
        info.Kind = TAudioKind::Mpeg;
        return info;
    }
    // Other containers libsndfile reads (AIFF, FLAC, Ogg, AU, CAF), known by their magic;
    // anything else is left alone rather than handed to libsndfile's own MPEG sniffing.
    info = TAudioFileInfo{};
    static const char* const kMagics[] = {"FORM", "fLaC", "OggS", ".snd", "caff", "RIFX"};
    const bool known =
        got >= 4 && std::any_of(std::begin(kMagics), std::end(kMagics),
                                [&](const char* m) { return std::memcmp(head, m, 4) == 0; });
    if (!known || !ProbeSndfile(path, {}, 0, info))
        info.Error = "The file is not a recognised audio file";
    return info;
}
