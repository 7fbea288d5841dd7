#pragma once

#include <QByteArray>
#include <QString>

#include "platform/file_replacement.h"

namespace kit {

// The text for the failure of a file operation: the system's for an errno
// value, in the system's language, or the kit's for platform::NotRegularFile.
QString SystemErrorText(int Error);

// Replaces the whole content of FileName with Content, keeping the old file
// as it was when anything fails; 0, or the failure as SystemErrorText takes it.
int ReplaceFile(const QString& FileName, const QByteArray& Content,
                platform::ReplaceMode Mode = platform::ReplaceMode::Content);

}  // namespace kit
