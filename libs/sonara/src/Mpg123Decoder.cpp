#include "Mpg123Decoder.h"

#include "FileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

ssize_t WindowRead(void* handle, void* buffer, size_t size) {
    auto* w = static_cast<TMpg123Decoder::TWindow*>(handle);
    const int64_t left = std::max<int64_t>(0, w->End - w->Pos);
    size = static_cast<size_t>(std::min<int64_t>(left, static_cast<int64_t>(size)));
    if (size == 0)
        return 0;
    ssize_t got;
    do {
        got = ::pread(w->Fd, buffer, size, static_cast<off_t>(w->Begin + w->Pos));
    } while (got < 0 && errno == EINTR);
    if (got > 0)
        w->Pos += got;
    return got;
}

off_t WindowSeek(void* handle, off_t offset, int whence) {
    auto* w = static_cast<TMpg123Decoder::TWindow*>(handle);
    int64_t target;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = w->Pos + offset;
        break;
    case SEEK_END:
        target = (w->End - w->Begin) + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || target > w->End - w->Begin)
        return -1;
    w->Pos = target;
    return static_cast<off_t>(target);
}

} // namespace

std::unique_ptr<TDecoder> TMpg123Decoder::Open(const std::string& path, const TAudioFileInfo& info,
                                               std::string& error) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });

    std::unique_ptr<TMpg123Decoder> decoder(new TMpg123Decoder);
    uint64_t size = 0;
    std::string reason;
    decoder->Window.Fd = TFileReader::OpenRegular(path, size, reason);
    if (decoder->Window.Fd < 0) {
        error = "Cannot open \"" + path + "\": " + reason;
        return nullptr;
    }
    if (info.Kind == TAudioKind::MpegInWav) {
        decoder->Window.Begin = static_cast<int64_t>(info.DataOffset);
        decoder->Window.End = static_cast<int64_t>(info.DataOffset + info.DataSize);
    } else {
        decoder->Window.End = static_cast<int64_t>(size);
    }
    int err = MPG123_OK;
    decoder->Handle = mpg123_new(nullptr, &err);
    if (!decoder->Handle) {
        error = std::string("libmpg123 cannot start: ") + mpg123_plain_strerror(err);
        return nullptr;
    }
    mpg123_handle* mh = decoder->Handle;
    decoder->Rate = info.SampleRate;
    decoder->RateChanges = info.RateChanges;
    decoder->ChannelCount = info.Channels;
    // Only the first part's rate and channels are allowed: parts of a joined stream at other
    // rates are converted to it by libmpg123's resampling synthesis, so the device plays on.
    // Gapless: mpg123 drops the encoder delay and padding a LAME header gives, and plays on
    // past a frame count that ends too soon (files joined end to end).
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0.0);
    // Search past damage of any length for the next frame instead of giving up.
    mpg123_param(mh, MPG123_RESYNC_LIMIT, -1, 0.0);
    mpg123_format_none(mh);
    mpg123_format(mh, info.SampleRate, info.Channels == 1 ? MPG123_MONO : MPG123_STEREO,
                  MPG123_ENC_SIGNED_16);
    if (mpg123_replace_reader_handle(mh, WindowRead, WindowSeek, nullptr) != MPG123_OK ||
        mpg123_open_handle(mh, &decoder->Window) != MPG123_OK) {
        error = std::string("libmpg123 cannot open this file: ") + mpg123_strerror(mh);
        return nullptr;
    }
    return decoder;
}

TMpg123Decoder::~TMpg123Decoder() {
    if (Handle) {
        mpg123_close(Handle);
        mpg123_delete(Handle);
    }
    if (Window.Fd >= 0)
        ::close(Window.Fd);
}

uint64_t TMpg123Decoder::SeekLeadIn() const {
    // Layer III frames borrow bits from earlier ones and overlap with them, and a seek through
    // a Xing table of contents starts decoding cold.
    return 4 * 1152;
}

bool TMpg123Decoder::SeekRaw(uint64_t frame) {
    // libmpg123 counts a seek's samples at one rate; in a stream joined from parts at other
    // rates that lands in the wrong place, so the caller decodes up to the frame instead.
    if (RateChanges)
        return false;
    return mpg123_seek(Handle, static_cast<off_t>(frame), SEEK_SET) >= 0;
}

size_t TMpg123Decoder::Read(int16_t* out, size_t frames) {
    const size_t frameBytes = sizeof(int16_t) * static_cast<size_t>(ChannelCount);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    size_t total = 0;
    const size_t wanted = frames * frameBytes;
    // Only the end of the stream ends the audio: after damage mpg123 finds the next frame on
    // the following call, so errors are skipped until too many come in a row.
    constexpr int kMaxFailures = 64;
    for (int failures = 0; total < wanted && !Ended && failures < kMaxFailures;) {
        size_t done = 0;
        const int rc = mpg123_read(Handle, bytes + total, wanted - total, &done);
        total += done;
        if (rc == MPG123_DONE)
            Ended = true;
        else if (done > 0)
            failures = 0;
        else
            ++failures;
    }
    return total / frameBytes;
}
