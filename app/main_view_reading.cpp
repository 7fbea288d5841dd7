// The main window's reading: the polling timer and the reading loop behind
// it, the card list's rows and calculated column, Save as, the
// notification-area icon with its animation, and the busy strip.
#include <QBuffer>
#include <QCoreApplication>
#include <QImageWriter>
#include <QPainter>
#include <array>

#include "app/app_icon.h"
#include "app/localization.h"
#include "app/main_view_form.h"
#include "app/named.h"
#include "app/options_form.h"
#include "app/reading_loop.h"
#include "kit/gif_frame_source.h"

namespace app {
namespace {

// The busy strip's picture, a light band running along a blue strip, as
// form data: the GIF's length and the GIF.
const unsigned char BusyStripForm[] = {
#include "busy_strip_form.inc"
};

// The icon's animation: the program's icon with its signal light stepping
// through three colours.
constexpr std::array<QRgb, 3> SignalColours = {0xFF60C060, 0xFFF0E040, 0xFFE06040};
// The icon's animation interval in milliseconds.
constexpr quint16 TrayInterval = 800;

// An icon file (.ico) of the program's icon at 16 and 32 pixels, with its
// signal light in Light (none: as drawn).
QByteArray IconFile(std::optional<QRgb> Light) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    for (const int size : {16, 32}) {
        QImage image = AppIcon().pixmap(size, size).toImage();
        if (Light) {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor::fromRgba(*Light));
            const qreal unit = size / 16.0;
            painter.drawEllipse(QPointF(12 * unit, 11 * unit), 1.6 * unit, 1.6 * unit);
        }
        writer.write(image);
    }
    return bytes;
}

kit::TIcon MakeIcon(std::optional<QRgb> Light) {
    kit::TIcon icon;
    icon.LoadFromBytes(IconFile(Light));
    return icon;
}

}  // namespace

// The window as the reading loop sees it.
class TMainViewForm::TReadingWindow final : public app::TReadingWindow {
public:
    explicit TReadingWindow(TMainViewForm& Form)
        : FForm(Form), FCardLabelColour(Form.CardCodesLabel->palette().color(QPalette::Window)) {}

    std::uint8_t Mode() const override { return FForm.Mode(); }
    void SetMode(std::uint8_t Mode) override { FForm.SetMode(Mode); }
    QString CurrentSerial() const override { return FForm.CurrentReaderSerial(); }
    void AddCardRow(const QDateTime& Time, const TCardCode& Code) override { FForm.AddCardEvent(Time, Code); }
    void HighlightCardCount(bool On) override {
        QPalette palette = FForm.CardCodesLabel->palette();
        palette.setColor(QPalette::Window, On ? QColor(Qt::red) : FCardLabelColour);
        FForm.CardCodesLabel->setPalette(palette);
        FForm.CardCodesLabel->repaint();
    }
    void SetPollingTimer(bool Enabled) override {
        if (Enabled) {
            FForm.ProxyTimer->start();
        } else {
            FForm.ProxyTimer->stop();
        }
    }
    void ShowErrorBox(const QString& Text) override { FForm.FServices.ShowError(Text); }
    void ProcessMessages() override { QCoreApplication::processEvents(); }
    QString MiscText(const QString& Key, const QString& Default) const override {
        return TLocalization::Misc(Key, Default);
    }
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
    TCardOutputOptions OutputOptions() const override {
        return {TOptions::PlaySound(), TOptions::CopyToTextBox(), TOptions::CodeFormat(), TOptions::EndOfLine(),
                TOptions::CopyToClipboard()};
    }
    bool SaveToFile() const override { return TOptions::SaveToFile(); }
    QString FileName() const override { return TOptions::FileName(); }

private:
    TMainViewForm& FForm;
    QColor FCardLabelColour;
};

// Built and torn down here, where the reading loop's types are complete.
TMainViewForm::TMainViewForm(const TAppPaths& Paths, TAppServices& Services, QWidget* Parent)
    : QMainWindow(Parent), FPaths(Paths), FServices(Services) {
    CreateComponents();
    CreateReadingComponents();
    ConnectCommands();
}

TMainViewForm::~TMainViewForm() {
    // The grids go before the tables they show.
    delete DBGrid1;
    delete DBGrid2;
}

void TMainViewForm::CreateReadingComponents() {
    EventsMemoryData.OnCalcFields = [this](kit::TDataSet& Events) {
        Events.FieldByName("CardCode40Hex")
            .SetAsString(FServices.Readers->CardCodeToHex(Events.FieldByName("CardCode").AsString(), 0));
    };

    ProxyTimer = Named(new QTimer(this), "ProxyTimer");
    ProxyTimer->setInterval(ProxyTimerInterval);

    auto gif = std::make_unique<kit::TGIFImage>();
    QByteArray form = QByteArray::fromRawData(reinterpret_cast<const char*>(BusyStripForm), sizeof BusyStripForm);
    QBuffer formStream(&form);
    formStream.open(QIODevice::ReadOnly);
    gif->ReadFormData(formStream);
    GIFAnimator1->SetAlign(kit::TGIFAnimator::alTop);
    GIFAnimator1->SetAutoSize(false);
    GIFAnimator1->SetStretch(true);
    GIFAnimator1->SetTransparent(false);
    GIFAnimator1->SetAsyncDrawing(true);
    GIFAnimator1->SetImage(std::make_unique<kit::TGIFFrameSource>(std::move(gif)));
    GIFAnimator1->setFixedHeight(2);
    GIFAnimator1->setVisible(false);

    TrayIcon1 = Named(new kit::TTrayIcon(
                          this, FServices.OpenTrayBackend ? FServices.OpenTrayBackend() : kit::MakeSystemTrayBackend()),
                      "TrayIcon1");
    TrayIcon1->SetHint("Talvo Zintareko");
    TrayIcon1->SetIcon(MakeIcon(std::nullopt));
    for (const QRgb light : SignalColours) {
        const kit::TIcon frame = MakeIcon(light);
        TrayIcon1->Icons().Add(&frame);
    }
    TrayIcon1->SetInterval(TrayInterval);
    TrayIcon1->SetPopupMenu(PopupMenu1);
    TrayIcon1->Loaded();

    FOutputs = std::make_unique<TServiceCardOutputs>(FServices);
    FReadingWindow = std::make_unique<TReadingWindow>(*this);
    FReading = std::make_unique<TReadingLoop>(*FReadingWindow, *FServices.Readers, *FOutputs, *FServices.Clock,
                                              FPaths.DataFolder);
}

void TMainViewForm::SetBusyAnimation(bool On) {
    FBusyAnimation = On;
    GIFAnimator1->SetAnimate(On);
    GIFAnimator1->setVisible(On);
    TrayIcon1->SetAnimated(On);
}

void TMainViewForm::ReadOneCardToolButtonClick() {
    SetMode(ModeReadingOne);
    FReading->StartReading();
}

void TMainViewForm::ReadMultipleCardsToolButtonClick() {
    SetMode(ModeReadingMultiple);
    FReading->StartReading();
}

void TMainViewForm::StopReadingToolButtonClick() { FReading->StopReading(); }

void TMainViewForm::ProxyTimerTimer() { FReading->ProxyTimerTimer(); }

bool TMainViewForm::TimerBusy() const { return FReading->TimerBusy(); }

bool TMainViewForm::CsvFileOpen() const { return FReading->CsvFileOpen(); }

void TMainViewForm::AddCardEvent(const QDateTime& Time, const TCardCode& Code) {
    EventsMemoryData.Append();
    EventsMemoryData.FieldByName("DateTime").SetAsDateTime(Time);
    EventsMemoryData.FieldByName("CardCode").SetAsString(Code.Full);
    EventsMemoryData.FieldByName("CardCode26").SetAsString(Code.Code24);
    EventsMemoryData.FieldByName("CardCode8and16").SetAsString(Code.Code8and16);
    EventsMemoryData.Post();
    UpdateCardCount();
}

QString TMainViewForm::CurrentCsvLine() {
    const auto text = [this](const char* Field) { return EventsMemoryData.FieldByName(Field).AsString(); };
    return CsvLine(EventsMemoryData.FieldByName("DateTime").AsDateTime(),
                   {text("CardCode"), text("CardCode26"), text("CardCode8and16"), text("CardCode40Hex")});
}

QStringList TMainViewForm::CardListLines() {
    QStringList lines;
    lines.reserve(EventsMemoryData.RecordCount());
    ForEachRow(EventsMemoryData, [this, &lines] { lines << CurrentCsvLine(); });
    return lines;
}

void TMainViewForm::SaveAsToolButtonClick() {
    const QString fileName = FServices.AskSaveFileName(this, SaveDialog1);
    if (fileName.isEmpty()) {
        return;
    }
    try {
        SaveCsvFile(fileName, CardListLines());
    } catch (const std::exception& Error) {
        FReading->ShowSavingError(QString::fromUtf8(Error.what()));
    }
}

}  // namespace app
