#pragma once

#include <QDialog>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <ostream>

#include "app/app_paths.h"
#include "app/app_services.h"

namespace app::testing {

// A program folder in a temporary directory, services that record instead of
// showing boxes, and no language file loaded.
class TWindowTestBase {
public:
    TWindowTestBase();
    virtual ~TWindowTestBase();
    TWindowTestBase(const TWindowTestBase&) = delete;
    TWindowTestBase& operator=(const TWindowTestBase&) = delete;

    // Writes Text to a file under the program folder (folders made as needed).
    void WriteFile(const QString& RelativeName, const QByteArray& Text) const;
    QByteArray ReadFile(const QString& RelativeName) const;
    // Writes the language file and loads it.
    void UseLanguageFile(const QByteArray& Text) const;

    QTemporaryDir FDir;
    TAppPaths FPaths;
    TAppServices FServices;
    QStringList FErrors;      // texts of the error boxes shown
    QStringList FQuestions;   // questions asked
    bool FAnswer = true;      // the answer to every question
    QStringList FOpenedUrls;  // addresses opened
    QString FVersion = "1.1.14.016";
    // Runs in place of a modal showing; the default returns Rejected.
    std::function<int(QDialog&)> FOnModal;
};

}  // namespace app::testing

// Texts in test messages as text.
inline void PrintTo(const QString& Text, std::ostream* Stream) { *Stream << '"' << Text.toStdString() << '"'; }
