#include "TEditorDocument.h"

#include "TAudioFileRule.h"
#include "TAudioLibs.h"
#include "TTagFileSession.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <sys/stat.h>
#include <typeinfo>

namespace {

QString TypeName(const std::type_info& type) {
    int status = 0;
    char* demangled = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    QString name = QString::fromLatin1(status == 0 && demangled ? demangled : type.name());
    std::free(demangled);
    return name;
}

QString ErrorText(const char* prefix, const std::exception& error) {
    return QString::fromLatin1(prefix) + TypeName(typeid(error)) + QLatin1Char('-') +
           QString::fromLocal8Bit(error.what());
}

// The save's failure box, with the tagging library's reason on a line of its own when it
// gives one.
QString CannotSaveText(const QString& reason) {
    QString text = QStringLiteral("Cannot open file to save tags. Ensure the file is not open\n"
                                  "in another application.");
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    return text;
}

} // namespace

void TEditorDocument::Clear() {
    CurrentFile.Clear();
    Modified = false;
}

bool TEditorDocument::NoteEdit() {
    if (Loading)
        return false;
    Modified = true;
    return true;
}

bool TEditorDocument::MakeWritable() const {
    struct stat status {};
    return ::stat(CurrentFile.Data(), &status) == 0 && (status.st_mode & S_IWUSR) == 0 &&
           ::chmod(CurrentFile.Data(), (status.st_mode & 07777) | S_IWUSR) == 0;
}

TEditorDocument::TLoaded TEditorDocument::Load(const std::function<void()>& whileOpen) const {
    TLoaded loaded;
    TTagFileSession session(CurrentFile);
    if (!session.Open())
        return loaded;
    loaded.Opened = true;
    try {
        loaded.Values = session.ReadValues();
        if (whileOpen)
            whileOpen();
        loaded.Format = FormatText();
        session.Close(); // nothing was changed: the result says nothing
        loaded.LengthMs = AudioLibs().SN_PlayGetLengthMsFile(CurrentFile.Data());
        loaded.Id3v1Only =
            TAudioFileRule::IsMpegSuffix(CurrentFile.Suffix()) && !session.HasId3v2();
    } catch (const std::exception& error) {
        session.Abandon();
        loaded.Error = ErrorText("Error reading tags: ", error);
    }
    return loaded;
}

std::optional<TEditorValues> TEditorDocument::ReadValues() const {
    TTagFileSession session(CurrentFile);
    if (!session.Open())
        return std::nullopt;
    TEditorValues values;
    try {
        values = session.ReadValues();
    } catch (const std::exception&) {
        session.Abandon();
        return std::nullopt;
    }
    session.Close();
    return values;
}

bool TEditorDocument::WhileOpen(const std::function<void()>& step) const {
    TTagFileSession session(CurrentFile);
    if (!session.Open())
        return false;
    step();
    session.Close(); // nothing was changed
    return true;
}

TEditorDocument::TSaved TEditorDocument::Save(const TEditorValues& values,
                                              const std::function<void(bool done)>& writing,
                                              const std::function<void()>& stored) {
    TSaved result;
    TTagFileSession session(CurrentFile);
    if (!session.Open()) {
        result.Message = CannotSaveText(session.Reason());
        return result;
    }
    if (writing)
        writing(false);
    try {
        if (const auto failure = TEditorValidation::Validate(values)) {
            result.Invalid = failure;
            result.Message = failure->Message;
        } else if (!session.Write(values)) {
            const QString reason = session.Reason();
            session.Abandon();
            result.Message = CannotSaveText(reason);
        } else if (!session.Close()) {
            result.Message = CannotSaveText(session.Reason());
        } else {
            Modified = false;
            result.Saved = true;
            if (stored)
                stored();
        }
    } catch (const std::exception& error) {
        result.Message = ErrorText("Error writing tags: ", error);
    }
    session.Abandon(); // a file still open after a failure is closed, its result ignored
    if (writing)
        writing(true);
    return result;
}

bool TEditorDocument::AddId3v2() const {
    return AudioLibs().AddId3v2(CurrentFile.Data()) != -1;
}

QString TEditorDocument::FormatText() const {
    QByteArray a(128, '\0');
    QByteArray b(128, '\0');
    if (AudioLibs().SN_GetWaveFileFormat(CurrentFile.Data(), a.data(), 128, b.data(), 128) == 0)
        return QStringLiteral("Unknown");
    a[127] = '\0';
    b[127] = '\0';
    QString text = CurrentFile.Suffix().left(3).toUpper();
    if (TAudioFileRule::IsMpegSuffix(CurrentFile.Suffix()) && AudioLibs().HasId3v2() != 0)
        text += QStringLiteral(" w/ ID3v2 ");
    return text + QStringLiteral(" File / ") + QString::fromUtf8(a.constData()) +
           QStringLiteral(" - ") + QString::fromUtf8(b.constData());
}

std::optional<QByteArray> TEditorDocument::Head(qsizetype bytes) const {
    if (CurrentFile.IsEmpty())
        return std::nullopt;
    std::FILE* file = std::fopen(CurrentFile.Data(), "rb");
    if (file == nullptr)
        return std::nullopt;
    QByteArray head(bytes, '\0');
    const std::size_t read = std::fread(head.data(), 1, std::size_t(head.size()), file);
    std::fclose(file);
    head.truncate(qsizetype(read));
    return head;
}
