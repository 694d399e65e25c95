#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and atomic whole-file writes shared by the settings stores.
namespace TFileText {

// The file's bytes; empty when it is missing or unreadable.
QByteArray ReadAll(const QString& path);
// Writes the bytes to a temporary file in the same folder (created when missing)
// and renames it over `path`. False on any failure; the old file is then intact.
bool WriteAtomically(const QString& path, const QByteArray& bytes);

} // namespace TFileText
