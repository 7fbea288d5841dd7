#pragma once

#include <QByteArray>
#include <QString>

namespace kit {

// The system's text for an errno value, in the system's language.
QString SystemErrorText(int Error);

// Replaces the whole content of FileName with Content, keeping the old file
// as it was when anything fails; 0, or the errno value of the failure.
int ReplaceFile(const QString& FileName, const QByteArray& Content);

}  // namespace kit
