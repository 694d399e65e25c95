#include "TFileClipboard.h"

#include <gtest/gtest.h>

#include <QMimeData>

namespace {

TEST(FileClipboardTest, CutAndCopyAreWrittenInTheFormatsFileManagersRead) {
    const QList<QByteArray> paths = {"/music/a b.wav", "/music/caf\xe9#1.wav"};
    const auto cut = TFileClipboard::MimeData(paths, true);
    EXPECT_EQ(cut->data("text/uri-list"),
              "file:///music/a%20b.wav\r\nfile:///music/caf%E9%231.wav\r\n");
    EXPECT_EQ(cut->data("x-special/gnome-copied-files"),
              "cut\nfile:///music/a%20b.wav\nfile:///music/caf%E9%231.wav");
    EXPECT_EQ(cut->data("application/x-kde-cutselection"), "1");

    const auto copy = TFileClipboard::MimeData(paths, false);
    EXPECT_TRUE(copy->data("x-special/gnome-copied-files").startsWith("copy\n"));
    EXPECT_FALSE(copy->hasFormat("application/x-kde-cutselection"));

    // Both read back to the same raw paths with their effect.
    for (const auto& [data, mode] :
         {std::pair{cut.get(), TTransferMode::Move}, std::pair{copy.get(), TTransferMode::Copy}}) {
        const auto read = TFileClipboard::Read(data);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->Paths, paths);
        EXPECT_EQ(read->Mode, mode);
    }
}

TEST(FileClipboardTest, WhatOtherProgramsPutThereIsReadByItsMarkers) {
    struct TCase {
        const char* Name;
        QList<QPair<QString, QByteArray>> Formats;
        std::optional<TTransferMode> Mode; // nothing: no file list to paste
        QList<QByteArray> Paths;
    };
    const QList<TCase> cases = {
        {"GNOME cut",
         {{"x-special/gnome-copied-files", "cut\nfile:///tmp/x.wav\n"}},
         TTransferMode::Move,
         {"/tmp/x.wav"}},
        {"GNOME copy with localhost",
         {{"x-special/gnome-copied-files", "copy\nfile://localhost/tmp/x.wav"}},
         TTransferMode::Copy,
         {"/tmp/x.wav"}},
        {"KDE cut",
         {{"text/uri-list", "file:///tmp/x.wav\r\n"}, {"application/x-kde-cutselection", "1"}},
         TTransferMode::Move,
         {"/tmp/x.wav"}},
        {"KDE copy",
         {{"text/uri-list", "file:///tmp/x.wav\r\n"}, {"application/x-kde-cutselection", "0"}},
         TTransferMode::Copy,
         {"/tmp/x.wav"}},
        {"bare list, comment and remote URI",
         {{"text/uri-list", "# from a browser\r\nhttps://example.org/a.wav\r\nfile:/tmp/y.wav"}},
         TTransferMode::Copy,
         {"/tmp/y.wav"}},
        {"text only", {{"text/plain", "/tmp/x.wav"}}, std::nullopt, {}},
        {"remote only", {{"text/uri-list", "sftp://host/tmp/x.wav\r\n"}}, std::nullopt, {}},
        {"other host", {{"text/uri-list", "file://studio2/tmp/x.wav\r\n"}}, std::nullopt, {}},
    };
    for (const TCase& c : cases) {
        QMimeData data;
        for (const auto& [type, bytes] : c.Formats)
            data.setData(type, bytes);
        const auto read = TFileClipboard::Read(&data);
        ASSERT_EQ(read.has_value(), c.Mode.has_value()) << c.Name;
        if (read) {
            EXPECT_EQ(read->Mode, *c.Mode) << c.Name;
            EXPECT_EQ(read->Paths, c.Paths) << c.Name;
        }
    }
    EXPECT_FALSE(TFileClipboard::Read(nullptr));
    EXPECT_FALSE(TFileClipboard::UriToPath("file:///a%00b"));
}

} // namespace
