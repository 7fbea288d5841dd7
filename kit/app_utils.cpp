#include "kit/app_utils.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <limits>

#include "kit/props_storage.h"
#include "kit/str_utils.h"

namespace kit {
namespace {

std::function<TScreenMetrics()>& MetricsProvider() {
    static std::function<TScreenMetrics()> provider;
    return provider;
}

QString ResolutionSuffix() {
    const TScreenMetrics screen = ScreenMetrics();
    return QString("(%1x%2)").arg(screen.Width).arg(screen.Height);
}

QString ClassName(const QObject* Object) {
    return QString::fromLatin1(Object->metaObject()->className()).section("::", -1);
}

bool IsForm(const QObject* Object) {
    const auto* widget = qobject_cast<const QWidget*>(Object);
    return widget != nullptr && widget->isWindow();
}

QString Rectangle(int A, int B, int C, int D) { return QString("%1,%2,%3,%4").arg(A).arg(B).arg(C).arg(D); }

// How many pixels the span [Start, Start + Size) must move to overlap the span
// [AreaStart, AreaStart + AreaSize); 0 when they overlap.
qint64 Gap(qint64 Start, qint64 Size, qint64 AreaStart, qint64 AreaSize) {
    return std::max({AreaStart + 1 - (Start + Size), Start + 1 - (AreaStart + AreaSize), qint64{0}});
}

// Start moved so that the span [Start, Start + Size) lies within the area
// span where it fits, else begins where the area does.
qint64 MoveInto(qint64 Start, qint64 Size, qint64 AreaStart, qint64 AreaSize) {
    return std::max(AreaStart, std::min(Start, AreaStart + AreaSize - Size));
}

// The geometry a window asked for at (Left, Top) with Width x Height gets on
// screens with the free areas Areas. The screens count as one desktop: the
// window is kept no larger than the box around all areas, and one that
// overlaps any screen stays where it is, a window over two screens too. One
// off every screen is moved into the nearest area (as far as it fits there,
// and no further right or down than the desktop reaches). Last, a top edge,
// where the title bar is, that lies on no screen while a screen that the
// window spans begins below it comes down to that screen's top. 64-bit,
// because the values come from a settings file that may hold any 32-bit
// numbers.
QRect PlaceOnScreen(qint64 Left, qint64 Top, qint64 Width, qint64 Height, const QList<QRect>& Areas) {
    QRect desktop;
    for (const QRect& area : Areas) {
        desktop |= area;
    }
    Width = std::clamp<qint64>(Width, 0, desktop.width());
    Height = std::clamp<qint64>(Height, 0, desktop.height());
    const auto spans = [&](const QRect& Area) { return Gap(Left, Width, Area.left(), Area.width()) == 0; };
    const auto distance = [&](const QRect& Area) {
        const auto dx = static_cast<double>(Gap(Left, Width, Area.left(), Area.width()));
        const auto dy = static_cast<double>(Gap(Top, Height, Area.top(), Area.height()));
        return dx * dx + dy * dy;
    };
    if (!Areas.isEmpty() &&
        std::none_of(Areas.begin(), Areas.end(), [&](const QRect& A) { return distance(A) == 0; })) {
        const QRect area = *std::min_element(Areas.begin(), Areas.end(),
                                             [&](const QRect& A, const QRect& B) { return distance(A) < distance(B); });
        Left = std::min(MoveInto(Left, Width, area.left(), area.width()),
                        qint64{desktop.left()} + desktop.width() - Width);
        Top = std::min(MoveInto(Top, Height, area.top(), area.height()),
                       qint64{desktop.top()} + desktop.height() - Height);
    }
    const auto holdsTop = [&](const QRect& Area) { return spans(Area) && Gap(Top, 1, Area.top(), Area.height()) == 0; };
    if (std::none_of(Areas.begin(), Areas.end(), holdsTop)) {
        qint64 below = std::numeric_limits<qint64>::max();
        for (const QRect& area : Areas) {
            if (spans(area) && area.top() > Top) {
                below = std::min<qint64>(below, area.top());
            }
        }
        Top = below == std::numeric_limits<qint64>::max() ? Top : below;
    }
    return {static_cast<int>(Left), static_cast<int>(Top), static_cast<int>(Width), static_cast<int>(Height)};
}

// The free areas of all screens.
QList<QRect> ScreenAreas() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas << screen->availableGeometry();
    }
    return areas;
}

}  // namespace

TScreenMetrics ScreenMetrics() {
    if (MetricsProvider()) {
        return MetricsProvider()();
    }
    TScreenMetrics metrics;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        metrics.Width = screen->size().width();
        metrics.Height = screen->size().height();
        metrics.PixelsPerInch = qRound(screen->logicalDotsPerInch());
    }
    return metrics;
}

void SetScreenMetricsProvider(std::function<TScreenMetrics()> Provider) { MetricsProvider() = std::move(Provider); }

QString DefaultSectionName(const QObject* Component) {
    if (Component == nullptr) {
        return {};
    }
    if (IsForm(Component)) {
        return ClassName(Component);
    }
    if (const auto* control = qobject_cast<const QWidget*>(Component)) {
        return ClassName(control->window()) + control->objectName();
    }
    const QObject* owner = ComponentOwner(Component);
    if (owner != nullptr && IsForm(owner)) {
        return QString("%1.%2").arg(ClassName(owner), Component->objectName());
    }
    return Component->objectName();
}

QString DefaultIniFileName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".INI"; }

QString StorageReadString(const TIniFile* Store, const QString& Section, const QString& Ident, const QString& Default) {
    return Store == nullptr ? Default : Store->ReadString(Section, Ident, Default);
}

void StorageWriteString(TIniFile* Store, const QString& Section, const QString& Ident, const QString& Value) {
    if (Store == nullptr) {
        return;
    }
    const bool quoted =
        !Value.isEmpty() && (Value.front() == '"' || Value.front() == '\'') && Value.back() == Value.front();
    Store->WriteString(Section, Ident, quoted ? "\"" + Value + "\"" : Value);
}

int StorageReadInteger(const TIniFile* Store, const QString& Section, const QString& Ident, int Default) {
    return Store == nullptr ? Default : Store->ReadInteger(Section, Ident, Default);
}

void StorageWriteInteger(TIniFile* Store, const QString& Section, const QString& Ident, int Value) {
    if (Store != nullptr) {
        Store->WriteInteger(Section, Ident, Value);
    }
}

QString ReadResolutionKey(const TIniFile* Store, const QString& Section, const QString& Ident) {
    const QString value = StorageReadString(Store, Section, Ident + ResolutionSuffix(), QString());
    return value.isEmpty() ? StorageReadString(Store, Section, Ident, QString()) : value;
}

void WriteResolutionKey(TIniFile* Store, const QString& Section, const QString& Ident, const QString& Value) {
    StorageWriteString(Store, Section, Ident + ResolutionSuffix(), Value);
    StorageWriteString(Store, Section, Ident, Value);
}

void SaveWindowPlacement(QWidget* Form, TIniFile* Store, const QString& Section) {
    int showCmd = 1;
    if (Form->isMinimized()) {
        showCmd = 2;
    } else if (Form->isMaximized()) {
        showCmd = 3;
    }
    const QRect normal = Form->normalGeometry().isValid() ? Form->normalGeometry() : Form->geometry();
    StorageWriteInteger(Store, Section, "Flags", 0);
    StorageWriteInteger(Store, Section, "ShowCmd", showCmd);
    StorageWriteInteger(Store, Section, "PixelsPerInch", ScreenMetrics().PixelsPerInch);
    WriteResolutionKey(Store, Section, "MinMaxPos", Rectangle(-1, -1, -1, -1));
    WriteResolutionKey(
        Store, Section, "NormPos",
        Rectangle(normal.left(), normal.top(), normal.left() + normal.width(), normal.top() + normal.height()));
}

void LoadWindowPlacement(QWidget* Form, const TIniFile* Store, const QString& Section, bool LoadState,
                         bool LoadPosition) {
    if (!LoadState && !LoadPosition) {
        return;
    }
    if (LoadPosition) {
        const QString delimiters = " ,";
        bool found = !ReadResolutionKey(Store, Section, "MinMaxPos").isEmpty();
        const QString text = ReadResolutionKey(Store, Section, "NormPos");
        const QRect current = Form->geometry();
        qint64 edges[4] = {current.left(), current.top(), qint64{current.left()} + current.width(),
                           qint64{current.top()} + current.height()};
        if (!text.isEmpty()) {
            found = true;
            for (int i = 0; i < 4; ++i) {
                bool ok = false;
                const int value = PickWord(i + 1, text, delimiters).toInt(&ok);
                edges[i] = ok ? value : edges[i];
            }
        }
        const int screenPpi = ScreenMetrics().PixelsPerInch;
        if (StorageReadInteger(Store, Section, "PixelsPerInch", screenPpi) != screenPpi) {
            found = false;
        }
        if (found) {
            if (Form->minimumSize() == Form->maximumSize()) {
                edges[2] = edges[0] + current.width();
                edges[3] = edges[1] + current.height();
            }
            if (edges[2] > edges[0]) {
                Form->setGeometry(
                    PlaceOnScreen(edges[0], edges[1], edges[2] - edges[0], edges[3] - edges[1], ScreenAreas()));
            }
        }
    }
    if (LoadState) {
        Qt::WindowStates state = Form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        switch (StorageReadInteger(Store, Section, "ShowCmd", 0)) {
            case 2:
            case 6:
            case 7:
                state |= Qt::WindowMinimized;
                break;
            case 3:
                state |= Qt::WindowMaximized;
                break;
            default:
                break;
        }
        Form->setWindowState(state);
    }
    Form->update();
}

}  // namespace kit
