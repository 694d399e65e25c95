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

// The fmt chunk's fields, as far as the chunk holds them.
struct TWavFmt {
    uint32_t ChunkSize = 0;
    uint16_t Tag = 0; // as written (0xFFFE for extensible)
    uint16_t Channels = 0;
    uint32_t Rate = 0;
    uint16_t BlockAlign = 0;
    uint16_t Bits = 0;
    uint16_t SamplesPerBlock = 0; // IMA/MS ADPCM and GSM: the field after the extra size
    uint16_t Coefficients = 0;    // MS ADPCM
    uint8_t SubFormat[16] = {};   // extensible: the sub-format GUID
};

// The fmt tag and data chunk position of a RIFF/WAVE or RF64 file.
struct TRiffLayout {
    bool HasFmt = false;
    uint16_t FormatTag = 0; // the sub-format's tag for extensible files
    uint16_t BlockAlign = 0;
    TWavFmt Fmt;
    bool HasData = false;
    uint64_t DataOffset = 0;
    uint64_t DataSize = 0;
    uint32_t FactSamples = 0; // the fact chunk's sample count; 0 when absent
    // Something before the audio that libsndfile's header reader treats in its own way (an
    // unnamed chunk, a list or smpl/acid chunk it steps through elsewhere, a second fmt, a
    // fact or PEAK chunk it refuses): only libsndfile itself can then say what it makes of
    // the file.
    bool Unusual = false;
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

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

void ReadFmt(const TFileReader& file, uint64_t at, uint32_t size, TWavFmt& fmt) {
    uint8_t body[40] = {};
    file.ReadAt(at, body, std::min<uint64_t>(size, sizeof body));
    fmt.ChunkSize = size;
    fmt.Tag = Le16(body);
    fmt.Channels = Le16(body + 2);
    fmt.Rate = Le32(body + 4);
    fmt.BlockAlign = Le16(body + 12);
    fmt.Bits = Le16(body + 14);
    fmt.SamplesPerBlock = Le16(body + 18);
    fmt.Coefficients = Le16(body + 20);
    std::memcpy(fmt.SubFormat, body + 24, 16);
}

bool IdIs(uint32_t id, const char* name) {
    uint8_t b[4];
    std::memcpy(b, name, 4);
    return id == Le32(b);
}

// Where libsndfile's header reader leaves off after a LIST (or bare INFO) chunk of length
// bytes whose body starts at body, or 0 where this cannot say. Its reader steps through the
// sub-chunks, each padded to an even size, and goes to the list's end when one does not fit
// what is left (a last text whose pad the list's size leaves out, a sub-chunk running past
// the list); but fewer than 8 bytes left at a sub-chunk's header are read as one, past the
// list's end.
uint64_t ListEnd(const TFileReader& file, uint64_t body, uint32_t length) {
    const auto le32At = [&](uint64_t at, uint32_t& value) {
        uint8_t b[4];
        if (file.ReadAt(at, b, 4) != 4)
            return false;
        value = Le32(b);
        return true;
    };
    if (length < 4 || body + length > file.Size())
        return 0;
    const uint64_t end = body + length;
    if (length <= 8) // its reader takes the list type and skips the rest
        return end;
    uint32_t read = 0;
    while (read < length) {
        uint32_t id = 0, size = 0;
        if (length - read < 8 || !le32At(body + read, id))
            return 0;
        read += 4;
        if (IdIs(id, "adtl") || IdIs(id, "INFO"))
            continue;
        if (IdIs(id, "exif") || IdIs(id, "data"))
            return 0;
        if (id == 0 || IdIs(id, "DISP") || IdIs(id, "ltxt") || IdIs(id, "note"))
            return end; // the rest is skipped
        if (!le32At(body + read, size))
            return 0;
        read += 4;
        if (IdIs(id, "labl")) { // the cue point's id comes first
            if (size < 4)
                return 0;
            size -= 4;
            read += 4;
        }
        if (size == 0xFFFFFFFFu || read > length)
            return 0;
        size += size & 1;
        if (size > length - read)
            return end;
        read += size;
    }
    return end;
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
        const bool printable =
            std::all_of(h, h + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; });
        // libsndfile skips the pad byte after an odd size as this walk does, but steps
        // through a list's sub-chunks itself and reads no further than its first fmt's body.
        if (!printable)
            layout.Unusual = true;
        if (std::memcmp(h, "LIST", 4) == 0 || std::memcmp(h, "INFO", 4) == 0) {
            if (ListEnd(file, pos + 8, static_cast<uint32_t>(size)) != pos + 8 + size)
                layout.Unusual = true;
        } else if (std::memcmp(h, "fmt ", 4) == 0 && layout.HasFmt) {
            layout.Unusual = true;
        } else if (std::memcmp(h, "smpl", 4) == 0) {
            // Its smpl and acid readers take the pad byte themselves, then the pad is skipped
            // again; a body shorter than their fixed fields is read past.
            const bool bare = size == 36 && Le32Of(file, pos + 8 + 28) == 0; // no loops
            if ((size & 1) || (size < 40 && !bare))
                layout.Unusual = true;
        } else if (std::memcmp(h, "acid", 4) == 0) {
            if ((size & 1) || size < 24)
                layout.Unusual = true;
        } else if (std::memcmp(h, "ds64", 4) == 0) {
            uint8_t body[16];
            if (file.ReadAt(pos + 8, body, 16) == 16)
                ds64Data = Le64(body + 8);
        } else if (std::memcmp(h, "fmt ", 4) == 0 && size >= 2 && !layout.HasFmt) {
            // Only the first fmt chunk counts (a second one is Unusual above).
            ReadFmt(file, pos + 8, static_cast<uint32_t>(size), layout.Fmt);
            layout.HasFmt = true;
            layout.FormatTag = layout.Fmt.Tag;
            if (size >= 14)
                layout.BlockAlign = layout.Fmt.BlockAlign;
            if (layout.FormatTag == 0xFFFE && size >= 26) // extensible: the sub-format's tag
                layout.FormatTag = Le16(layout.Fmt.SubFormat);
        } else if (std::memcmp(h, "fact", 4) == 0) {
            if (size >= 4)
                layout.FactSamples = Le32Of(file, pos + 8);
            else
                layout.Unusual = true;
        } else if (std::memcmp(h, "PEAK", 4) == 0) {
            if (!layout.HasFmt || size != 8 + 8 * uint64_t(layout.Fmt.Channels))
                layout.Unusual = true;
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
            layout.Unusual = true; // audio before its format
        }
        pos += 8 + size + (size & 1);
    }
    return layout;
}

// The GUID of a WAVEFORMATEXTENSIBLE sub-format is the format tag followed by this.
constexpr uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                   0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// The subtype, channels, rate and frames libsndfile reports for a plain RIFF/WAVE file, worked
// out from the fmt chunk and the data size alone. False where the file is anything but a
// well-formed file of a coding this knows, and then libsndfile is asked.
bool WavFromHeaders(const TFileReader& file, const TRiffLayout& layout, TAudioFileInfo& info) {
    const TWavFmt& fmt = layout.Fmt;
    if (!layout.HasFmt || !layout.HasData || layout.Unusual || fmt.ChunkSize < 16 ||
        fmt.Channels == 0 || fmt.Channels > 1024 || fmt.Rate == 0 || fmt.Rate > 0x7FFFFFFFu ||
        layout.DataOffset > file.Size())
        return false;
    // Audio that starts as another container (WavPack, Ogg) is refused by libsndfile.
    uint8_t start[4] = {};
    if (file.ReadAt(layout.DataOffset, start, 4) == 4 &&
        (std::memcmp(start, "wvpk", 4) == 0 || std::memcmp(start, "OggS", 4) == 0))
        return false;
    // The audio's bytes: the data chunk's size, but no more than the file holds. libsndfile's
    // GSM and MS ADPCM readers also count the pad byte after an odd size.
    const uint64_t held = file.Size() - layout.DataOffset;
    const uint64_t bytes = std::min(layout.DataSize, held);
    const uint64_t padded = bytes + ((layout.DataSize < held && (layout.DataSize & 1)) ? 1 : 0);
    const uint64_t channels = fmt.Channels;
    const uint64_t byteWidth = (uint64_t(fmt.Bits) + 7) / 8;
    int subtype = 0;
    uint64_t frames = 0;
    const auto pcmSubtype = [&]() -> int {
        switch (byteWidth) {
        case 1:
            return SF_FORMAT_PCM_U8;
        case 2:
            return SF_FORMAT_PCM_16;
        case 3:
            return SF_FORMAT_PCM_24;
        case 4:
            return SF_FORMAT_PCM_32;
        default:
            return 0;
        }
    };
    uint16_t tag = fmt.Tag;
    if (tag == 0xFFFE) {
        if (fmt.ChunkSize < 40 || fmt.BlockAlign == 0 ||
            std::memcmp(fmt.SubFormat + 2, kGuidTail, sizeof kGuidTail) != 0)
            return false;
        tag = Le16(fmt.SubFormat);
        if (tag != 0x0001 && tag != 0x0003 && tag != 0x0006 && tag != 0x0007)
            return false;
    }
    switch (tag) {
    case 0x0001: // PCM; 24 bits in 4-byte blocks is a fmt libsndfile second-guesses
        if (fmt.Bits == 24 && fmt.BlockAlign == 4 * channels && fmt.Tag == 0x0001)
            return false;
        subtype = pcmSubtype();
        if (subtype == 0)
            return false;
        frames = bytes / (byteWidth * channels);
        break;
    case 0x0003: // IEEE float
        if (fmt.Bits != 32 && fmt.Bits != 64)
            return false;
        subtype = fmt.Bits == 64 ? SF_FORMAT_DOUBLE : SF_FORMAT_FLOAT;
        frames = bytes / (byteWidth * channels);
        break;
    case 0x0006:
    case 0x0007:
    case 0x0101: // IBM mu-law
    case 0x0102: // IBM A-law
        if (fmt.BlockAlign == 0)
            return false;
        subtype = (tag == 0x0006 || tag == 0x0102) ? SF_FORMAT_ALAW : SF_FORMAT_ULAW;
        frames = bytes / channels;
        break;
    case 0x0011: { // IMA ADPCM: the last block counts whole
        const uint64_t block = fmt.BlockAlign;
        if (fmt.ChunkSize < 20 || fmt.Bits != 4 || channels > 2 || block <= 4 * channels ||
            fmt.SamplesPerBlock != 2 * (block - 4 * channels) / channels + 1)
            return false;
        subtype = SF_FORMAT_IMA_ADPCM;
        frames = uint64_t(fmt.SamplesPerBlock) * ((bytes + block - 1) / block);
        break;
    }
    case 0x0002: { // Microsoft ADPCM: whole blocks only
        const uint64_t block = fmt.BlockAlign;
        if (fmt.ChunkSize < 22 + 4 * uint64_t(std::min<uint16_t>(fmt.Coefficients, 7)) ||
            fmt.Bits != 4 || channels > 2 || block <= 6 * channels ||
            fmt.SamplesPerBlock != 2 * (block - 6 * channels) / channels)
            return false;
        subtype = SF_FORMAT_MS_ADPCM;
        frames = uint64_t(fmt.SamplesPerBlock) * (padded / block);
        break;
    }
    case 0x0031: // GSM 6.10: 320 samples in 65 bytes, the last block counts whole
        if (fmt.ChunkSize < 20 || channels != 1 || fmt.BlockAlign != 65 ||
            fmt.SamplesPerBlock != 320)
            return false;
        subtype = SF_FORMAT_GSM610;
        frames = 320 * ((padded + 64) / 65);
        break;
    default:
        return false;
    }
    const bool blockCoded = subtype == SF_FORMAT_GSM610 || subtype == SF_FORMAT_IMA_ADPCM ||
                            subtype == SF_FORMAT_MS_ADPCM;
    // Block codings decode whole blocks; the fact chunk says where the audio ends inside the
    // last one.
    if (blockCoded && layout.FactSamples > 0 && layout.FactSamples < frames)
        frames = layout.FactSamples;
    info.Kind = TAudioKind::Sndfile;
    info.SampleRate = static_cast<int>(fmt.Rate);
    info.Channels = static_cast<int>(fmt.Channels);
    info.Frames = frames;
    info.TextA = TFormatProbe::SndfileCodingText(subtype);
    info.TextB = ChannelText(info.SampleRate, info.Channels);
    info.HeaderPatches = layout.Patches;
    return true;
}

// Asks libsndfile, on the descriptor already open. factSamples: the WAV fact chunk's count,
// or 0.
bool ProbeSndfile(const TFileReader& reader, const std::vector<THeaderPatch>& patches,
                  uint32_t factSamples, TAudioFileInfo& info) {
    SF_INFO sfInfo{};
    {
        TSndfileFile file;
        std::string error;
        if (!file.OpenBorrowed(reader.Descriptor(), reader.Size(), patches, sfInfo, error)) {
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
    TFileReader file(path);
    if (!file.IsOpen()) {
        TAudioFileInfo info;
        info.Error = "Cannot open \"" + path + "\": " + file.Error();
        return info;
    }
    return Probe(file);
}

TAudioFileInfo TFormatProbe::Probe(const TFileReader& file) {
    TAudioFileInfo info;
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
        if (head[1] != 'F' && WavFromHeaders(file, layout, info))
            return info;
        ProbeSndfile(file, layout.Patches, layout.FactSamples, info);
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
    if (!known || !ProbeSndfile(file, {}, 0, info))
        info.Error = "The file is not a recognised audio file";
    return info;
}
