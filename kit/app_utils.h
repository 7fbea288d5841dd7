#pragma once

#include <QObject>
#include <QString>
#include <QWidget>
#include <functional>

#include "kit/ini_file.h"

namespace kit {

// Helpers with which the form storage talks to its settings store: default
// names, string and integer entries, keys that carry the screen resolution,
// and a form's window placement. A store is an INI file; a null store reads
// every default and writes nothing.

struct TScreenMetrics {
    int Width = 0;
    int Height = 0;
    int PixelsPerInch = 96;
};

// The primary screen's size and logical pixels per inch, or what the provider
// set with SetScreenMetricsProvider returns.
TScreenMetrics ScreenMetrics();
// Replaces the screen metrics (an empty provider restores the real ones).
void SetScreenMetricsProvider(std::function<TScreenMetrics()> Provider);

// The class name of a form; for a control, its form's class name and its own
// name run together; for another component whose owner is a form, the form's
// class name, "." and its name; otherwise its name. Empty for none.
QString DefaultSectionName(const QObject* Component);
// The program file's name without folder, its extension replaced by ".INI".
QString DefaultIniFileName();

QString StorageReadString(const TIniFile* Store, const QString& Section, const QString& Ident, const QString& Default);
// Writes Value; a value that begins and ends with the same quote character (a
// lone quote too) is wrapped in one more pair of double quotes, so that the
// read, which strips one pair, gives it back.
void StorageWriteString(TIniFile* Store, const QString& Section, const QString& Ident, const QString& Value);
int StorageReadInteger(const TIniFile* Store, const QString& Section, const QString& Ident, int Default);
void StorageWriteInteger(TIniFile* Store, const QString& Section, const QString& Ident, int Value);

// The value of Ident + "(<width>x<height>)" for the current screen, or when
// that is empty the value of Ident.
QString ReadResolutionKey(const TIniFile* Store, const QString& Section, const QString& Ident);
// Writes Value under Ident + the resolution suffix, then under Ident.
void WriteResolutionKey(TIniFile* Store, const QString& Section, const QString& Ident, const QString& Value);

// Writes "Flags", "ShowCmd" (1 normal, 2 minimised, 3 maximised),
// "PixelsPerInch", "MinMaxPos" and "NormPos" (the normal geometry of the
// window's client area as left, top, right, bottom). Where a maximised or
// minimised window lies is the window manager's affair; "MinMaxPos" is
// written as "-1,-1,-1,-1" and ignored when read.
void SaveWindowPlacement(QWidget* Form, TIniFile* Store, const QString& Section);
// Brings back the position (when stored at the same pixels per inch; a form
// of fixed size keeps its size) and the window state. A position within the
// screens taken together is kept as it is, a window over two screens too; the
// window is kept no larger than the whole desktop, one whose top edge lies
// above every screen it spans comes down onto a screen, and one that would lie
// off every screen is moved onto the nearest.
void LoadWindowPlacement(QWidget* Form, const TIniFile* Store, const QString& Section, bool LoadState,
                         bool LoadPosition);

}  // namespace kit
