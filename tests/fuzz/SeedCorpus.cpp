// Writes a small seed corpus for the fuzz targets into the folder given as argument 1:
// well-formed and damaged WAV files, and the starts of MPEG files.
#include "RiffBuilder.h"

#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return 1;
    const std::string dir = argv[1];
    using B = TRiffBuilder;
    const std::string audio = B::Audio(64);
    const std::string info = B::Info({{"IART", "Artist"}, {"ICMT", "line\r\nline"}});
    const std::pair<const char*, std::string> seeds[] = {
        {"plain.wav", B().Chunk("fmt ", B::Fmt()).Chunk("data", audio).Build()},
        {"tagged.wav", B().Chunk("fmt ", B::Fmt())
                           .Chunk("DISP", B::Disp("Title"))
                           .Chunk("LIST", info)
                           .Chunk("JUNK", std::string(64, '\0'))
                           .Chunk("data", audio)
                           .Build()},
        {"after.wav", B().Chunk("fmt ", B::Fmt())
                          .Chunk("data", audio)
                          .Chunk("LIST", info)
                          .Chunk("CSET", B::Le32(65001) + B::Le32(0))
                          .Build()},
        {"odd.wav", B().Chunk("fmt ", B::Fmt())
                        .Chunk("odd ", "abc", false)
                        .Chunk("data", audio)
                        .Raw("garbage")
                        .Build()},
        {"stream.wav",
         B().Chunk("fmt ", B::Fmt()).ChunkWithSize("data", 0xFFFFFFFF, audio).Build()},
        {"rf64.wav", B("RF64")
                         .RiffSize(0xFFFFFFFF)
                         .Chunk("ds64", B::Le64(200) + B::Le64(64) + B::Le64(16) + B::Le32(0))
                         .Chunk("fmt ", B::Fmt())
                         .ChunkWithSize("data", 0xFFFFFFFF, audio)
                         .Build()},
        // A short bext before fmt, and an odd size: the WAV target writes loudness into it.
        {"bext.wav", B().Chunk("bext", std::string(348, 'b'))
                         .Chunk("fmt ", B::Fmt())
                         .Chunk("data", audio)
                         .Chunk("LIST", info)
                         .Raw(std::string(1, '\0'))
                         .Build()},
        {"replaygain.mp3",
         std::string("ID3\x03\x00\x00\x00\x00\x00\x33TXXX\x00\x00\x00\x1F\x00\x00", 20) +
             std::string(1, '\0') + "replaygain_track_gain" + std::string(1, '\0') + "+1.50 dB" +
             std::string(10, '\0') + std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x55')},
        {"id3.mp3", std::string("ID3\x03\x00\x00\x00\x00\x00\x0A", 10) + std::string(10, '\0') +
                        std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\x55')},
        {"frames.mp2", std::string("\xFF\xFD\xA4\x00", 4) + std::string(600, '\x11')},
        {"id3v1.mp3", std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0') + "TAG" +
                          std::string(125, 'a')},
    };
    for (const auto& [name, bytes] : seeds) {
        std::ofstream f(dir + "/" + name, std::ios::binary);
        f << bytes;
    }
    return 0;
}
