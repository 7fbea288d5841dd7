#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace kit::testing {

// A scratch folder for one test, with raw access to the files in it.
class TTempFolder {
protected:
    QString Path(const QString& Name = "settings.cfg") const { return FDir.path() + "/" + Name; }

    QByteArray ReadRaw(const QString& Name = "settings.cfg") const {
        QFile file(Path(Name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void WriteRaw(const QByteArray& Bytes, const QString& Name = "settings.cfg") const {
        QFile file(Path(Name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(Bytes);
    }

    QTemporaryDir FDir;
};

}  // namespace kit::testing
