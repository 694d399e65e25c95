#include "TTagFileSession.h"

#include "TAudioLibs.h"
#include "TagCatalogue.h"

#include <QByteArray>

namespace {

QString LibraryReason() {
    return QString::fromUtf8(TagLastError());
}

} // namespace

TTagFileSession::TTagFileSession(TFilePath path) : FilePath(std::move(path)) {}

TTagFileSession::~TTagFileSession() {
    Abandon();
}

bool TTagFileSession::Open() {
    LastReason.clear();
    if (Opened)
        return true;
    if (AudioLibs().OpenWavFile(FilePath.Data(), 0, 0) != 0) {
        LastReason = LibraryReason();
        return false;
    }
    Opened = true;
    return true;
}

QString TTagFileSession::ReadText(const TTagKeyInfo& key) const {
    if (!Opened)
        return QString();
    QByteArray buffer(BufferSize, '\0');
    if (key.IsChunk)
        AudioLibs().GetChunkInfo(key.Key, buffer.data(), BufferSize);
    else
        AudioLibs().GetTagInfo(key.Key, buffer.data(), BufferSize);
    buffer[BufferSize - 1] = '\0';
    return QString::fromUtf8(buffer.constData());
}

TEditorValues TTagFileSession::ReadValues() const {
    return TEditorValues::FromStored([this](const TTagKeyInfo& key) { return ReadText(key); });
}

bool TTagFileSession::HasId3v2() const {
    return AudioLibs().HasId3v2() != 0;
}

bool TTagFileSession::Write(const TEditorValues& values) {
    LastReason.clear();
    if (!Opened) {
        LastReason = QStringLiteral("the file is not open");
        return false;
    }
    for (const TTagWrite& write : values.Writes()) {
        const QByteArray key = write.Key.toLatin1();
        const QByteArray text = write.Text.toUtf8();
        if (text.size() > MaxValueBytes) {
            LastReason = write.Key +
                         QStringLiteral(": the value is longer than %1 bytes").arg(MaxValueBytes);
            return false;
        }
        int16_t result = 0;
        switch (write.Op) {
        case TTagWrite::TOp::SetChunk:
            result =
                AudioLibs().SetChunkInfo(key.constData(), text.constData(), uint16_t(text.size()));
            break;
        case TTagWrite::TOp::SetTag:
            result =
                AudioLibs().SetTagInfo(key.constData(), text.constData(), uint16_t(text.size()));
            break;
        case TTagWrite::TOp::Remove:
            AudioLibs().RemoveTag(key.constData()); // removing an absent key is no failure
            break;
        }
        if (result != 0) {
            LastReason = write.Key + QStringLiteral(": the value was refused");
            return false;
        }
    }
    return true;
}

bool TTagFileSession::Close() {
    LastReason.clear();
    if (!Opened)
        return true;
    Opened = false;
    if (AudioLibs().CloseWavFile() != 0) {
        LastReason = LibraryReason();
        return false;
    }
    return true;
}

void TTagFileSession::Abandon() {
    if (!Opened)
        return;
    Opened = false;
    AudioLibs().CloseWavFile();
}
