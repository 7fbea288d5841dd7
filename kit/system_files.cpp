#include "kit/system_files.h"

#include <QFile>
#include <string_view>

#include "platform/file_replacement.h"

namespace kit {

QString SystemErrorText(int Error) { return QString::fromLocal8Bit(platform::ErrorText(Error)); }

int ReplaceFile(const QString& FileName, const QByteArray& Content) {
    return platform::ReplaceFile(QFile::encodeName(FileName).toStdString(),
                                 std::string_view(Content.constData(), Content.size()));
}

}  // namespace kit
