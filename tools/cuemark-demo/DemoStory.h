#pragma once

#include "DemoAudio.h"
#include "DemoRiff.h"

#include <QDate>

#include <string>
#include <utility>
#include <vector>

// The demo folder's story: a station's day on `day`, in about forty short files. Air dates
// are relative to that day, so the folder always has spots running now, spots that expired,
// spots starting next week and spots with a daily window.
enum class TDemoKind {
    Wav,            // PCM WAV, our keys in LIST INFO and DISP through the tagging library
    MpegWav,        // MPEG Layer II frames in a WAV (format tag 0x0050), tagged the same way
    Mp3Id3v24,      // MP3 starting with an ID3v2.4 tag, which the tagging library fills
    Mp3Id3v23,      // MP3 given an ID3v2.3 tag by the tagging library ("Add ID3v2")
    Mp3Id3v1,       // MP3 with the ID3v1 tag alone
    Mp2,            // MPEG Layer II file with an ID3v2.3 tag
    PlayoutWav,     // PCM WAV with cart and bext as a playout system writes them, no INFO
    PlayoutMpegWav, // the same around MPEG Layer II frames, with a fact chunk
};

struct TDemoFile {
    std::string Name; // relative to the demo folder; may name a sub-folder
    TDemoKind Kind = TDemoKind::Wav;
    TDemoAudio::TMelody Melody;
    // Our keys, for every kind but the playout ones.
    std::vector<std::pair<std::string, std::string>> Tags;
    // Playout files: cart and bext as delivered; the post timers are made from the intro
    // (from the start) and the segue (before the end) once the audio's length is known.
    DemoRiff::TCart Cart;
    DemoRiff::TBext Bext;
    int IntroMs = 0;
    int SegueMs = 0;
};

std::vector<TDemoFile> DemoStory(const QDate& day);
