#include "kit/system_files.h"

#include <QFile>
#include <string_view>

#include "kit/resource_strings.h"

namespace kit {

QString SystemErrorText(int Error) {
    if (Error == platform::NotRegularFile) {
        return ResourceString("it is not a regular file");
    }
    // The C library's catalog is bound to deliver UTF-8 (see InitResourceStrings).
    return QString::fromUtf8(platform::ErrorText(Error));
}

int ReplaceFile(const QString& FileName, const QByteArray& Content, platform::ReplaceMode Mode) {
    return platform::ReplaceFile(QFile::encodeName(FileName).toStdString(),
                                 std::string_view(Content.constData(), Content.size()), Mode);
}

}  // namespace kit
