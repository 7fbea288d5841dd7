#include "app/main_view_form.h"

#include <QCloseEvent>
#include <QScopeGuard>
#include <QScreen>
#include <QWindowStateChangeEvent>

#include "app/about_box.h"
#include "app/localization.h"
#include "app/options_form.h"
#include "app/select_lang_form.h"
#include "app/window_position.h"

namespace app {
namespace {

constexpr const char* Section = "MainViewForm";

QString Tr(const char* Key, const QString& Default) { return TLocalization::Translate(Section, Key, Default); }

// The label of the reader row numbered Number (from 1).
QString DeviceLabel(qsizetype Number) {
    return TLocalization::Misc("Device", "Device") + " " + QString::number(Number);
}

void TranslateAction(QAction* Action, const char* Key) { Action->setText(Tr(Key, Action->text())); }

void TranslateMenu(QMenu* Menu, const char* Key) { Menu->setTitle(Tr(Key, Menu->title())); }

QString WithoutLeadingBlanks(const QString& Text) {
    qsizetype start = 0;
    while (start < Text.size() && Text[start] == ' ') {
        ++start;
    }
    return Text.mid(start);
}

// A list label shows one blank before its text; the text it shows now,
// without that blank, is the default.
void TranslateListLabel(QLabel* Label, const char* Key) {
    Label->setText(" " + WithoutLeadingBlanks(Tr(Key, WithoutLeadingBlanks(Label->text()))));
}

}  // namespace

void TMainViewForm::ConnectCommands() {
    const auto bind = [this](QObject* Sender, void (TMainViewForm::*Handler)()) {
        if (auto* button = qobject_cast<QToolButton*>(Sender)) {
            connect(button, &QToolButton::clicked, this, Handler);
        } else {
            connect(qobject_cast<QAction*>(Sender), &QAction::triggered, this, Handler);
        }
    };
    bind(RefreshListToolButton, &TMainViewForm::RefreshListToolButtonClick);
    bind(RefreshListMeuItem, &TMainViewForm::RefreshListToolButtonClick);
    bind(ClearListToolButton, &TMainViewForm::ClearListToolButtonClick);
    bind(ClearListMenuItem, &TMainViewForm::ClearListToolButtonClick);
    bind(OptionsMenuItem, &TMainViewForm::OptionsMenuItemClick);
    bind(SelectLanguageMenuItem, &TMainViewForm::SelectLanguageExecute);
    bind(About1, &TMainViewForm::About1Click);
    bind(Talvohomepage1, &TMainViewForm::Talvohomepage1Click);
    bind(Exit1, &TMainViewForm::Exit1Click);
    bind(ShowZintareko1, &TMainViewForm::ShowZintareko1Click);
    bind(ReadOneCardToolButton, &TMainViewForm::ReadOneCardToolButtonClick);
    bind(ReadOneCardMenuItem, &TMainViewForm::ReadOneCardToolButtonClick);
    bind(ReadMultipleCardsToolButton, &TMainViewForm::ReadMultipleCardsToolButtonClick);
    bind(ReadMultipleCardsMenuItem, &TMainViewForm::ReadMultipleCardsToolButtonClick);
    bind(Readmultiplecards1, &TMainViewForm::ReadMultipleCardsToolButtonClick);
    bind(StopReadingToolButton, &TMainViewForm::StopReadingToolButtonClick);
    bind(StopReadingMenuItem, &TMainViewForm::StopReadingToolButtonClick);
    bind(Stopreading1, &TMainViewForm::StopReadingToolButtonClick);
    bind(SaveAsToolButton, &TMainViewForm::SaveAsToolButtonClick);
    bind(SaveAsMenuItem, &TMainViewForm::SaveAsToolButtonClick);
    connect(ProxyTimer, &QTimer::timeout, this, &TMainViewForm::ProxyTimerTimer);
}

void TMainViewForm::Guarded(const std::function<void()>& Command) {
    try {
        Command();
    } catch (const std::exception& Error) {
        FServices.ShowError(QString::fromUtf8(Error.what()));
    }
}

void TMainViewForm::showEvent(QShowEvent* Event) {
    // Centred on the screen at the first showing, unless it was placed before.
    if (!FShownBefore && !testAttribute(Qt::WA_Moved)) {
        const QScreen* screen = this->screen();
        if (screen != nullptr) {
            CentreWindow(*this, screen->availableGeometry());
        }
    }
    FShownBefore = true;
    QMainWindow::showEvent(Event);
    FormShow();
}

void TMainViewForm::FormShow() {
    Guarded([this] { InitializeForm(); });
}

void TMainViewForm::InitializeForm() {
    if (FInitialized) {
        return;
    }
    TranslateForm();
    SetMode(ModeIdle);
    // A refresh that fails still leaves the count label set and the window
    // set up; its error passes on.
    const auto finish = qScopeGuard([this] {
        UpdateCardCount();
        FInitialized = true;
    });
    RefreshReaderList();
}

void TMainViewForm::UpdateCaption() {
    const QString version = FServices.AppVersion();
    const QString title = Tr("Self", "Talvo Zintareko");
    setWindowTitle(version.isEmpty() ? title : title + " " + version);
}

void TMainViewForm::TranslateForm() {
    UpdateCaption();
    TranslateMenu(File1, "File");
    TranslateAction(RefreshListMeuItem, "RefreshList");
    TranslateMenu(Help1, "Help");
    TranslateAction(About1, "About");
    TranslateAction(Talvohomepage1, "TalvoHomePage");
    TranslateAction(ReadMultipleCardsMenuItem, "ReadMultiple");
    TranslateAction(StopReadingMenuItem, "StopReading");
    TranslateAction(ReadOneCardMenuItem, "ReadOneCard");
    TranslateAction(Exit1, "Exit");
    TranslateMenu(ools1, "Tools");
    TranslateAction(OptionsMenuItem, "Options");
    TranslateAction(ClearListMenuItem, "ClearList");
    TranslateAction(SaveAsMenuItem, "SaveAs");
    TranslateAction(SelectLanguageMenuItem, "SelectLanguage");
    TranslateAction(Hideafterminimize1, "HideAfterMinimize");
    TranslateAction(ShowZintareko1, "OpenZintarekoProgram");
    Readmultiplecards1->setText(ReadMultipleCardsMenuItem->text());
    Stopreading1->setText(StopReadingMenuItem->text());
    TranslateListLabel(CardCodesLabel, "CardCodes");
    TranslateListLabel(ReaderListLabel, "ReaderList");
    const std::pair<QToolButton*, QAction*> twins[] = {
        {RefreshListToolButton, RefreshListMeuItem},
        {ClearListToolButton, ClearListMenuItem},
        {ReadMultipleCardsToolButton, ReadMultipleCardsMenuItem},
        {ReadOneCardToolButton, ReadOneCardMenuItem},
        {StopReadingToolButton, StopReadingMenuItem},
        {SaveAsToolButton, SaveAsMenuItem},
    };
    for (const auto& [button, item] : twins) {
        button->setText(item->text());
    }
    SaveDialog1.Filter = Tr("SaveDialogFilter", SaveDialog1.Filter);
    SaveDialog1.Title = Tr("SaveDialogTitle", SaveDialog1.Title);
    for (const auto& [table, prefix] : {std::pair{&ReadersMemoryData, QString("DBGrid1Column")},
                                        std::pair{&EventsMemoryData, QString("DBGrid2Column")}}) {
        for (int i = 0; i < table->FieldCount(); ++i) {
            kit::TField& field = table->Fields(i);
            field.SetDisplayLabel(TLocalization::Translate(Section, prefix + QString::number(i), field.DisplayLabel()));
        }
    }
    DBGrid1->Model().Refresh();
    DBGrid2->Model().Refresh();
}

void TMainViewForm::ShowModeStatus() {
    const auto reading = [this](const QString& Text) {
        const kit::TField* device = ReadersMemoryData.IsEmpty() ? nullptr : &ReadersMemoryData.FieldByName("Device");
        return Text + "  (" + (device != nullptr ? device->AsString() : QString()) + ")";
    };
    QString text;
    switch (FMode) {
        case ModeIdle:
            text = TLocalization::Misc("Ready", "Ready");
            break;
        case ModeRefreshing:
            text = "Refreshing reader list...";
            break;
        case ModeReadingOne:
            text = reading(TLocalization::Misc("ReadingOneCard", "Reading one card..."));
            break;
        case ModeReadingMultiple:
            text = reading(TLocalization::Misc("ReadingMultipleCards", "Reading multiple cards..."));
            if (TOptions::SaveToFile()) {
                text +=
                    " [" + TLocalization::Misc("SavingToCSV", "Saving to CSV file:") + " " + TOptions::FileName() + "]";
            }
            break;
        default:
            return;
    }
    FStatusPanel->setText(text);
    FStatusPanel->repaint();
}

void TMainViewForm::SetMode(std::uint8_t Mode) {
    FMode = Mode;
    ShowModeStatus();
    if (Mode == ModeIdle || Mode == ModeReadingOne || Mode == ModeReadingMultiple) {
        SetBusyAnimation(Mode != ModeIdle);
    }
    UpdateControls();
}

void TMainViewForm::UpdateControls() {
    const bool idle = FMode == ModeIdle;
    const bool readers = ReadersMemoryData.RecordCount() > 0;
    const bool events = EventsMemoryData.RecordCount() > 0;
    RefreshListToolButton->setEnabled(idle);
    ReadOneCardToolButton->setEnabled(readers && idle);
    ReadMultipleCardsToolButton->setEnabled(readers && idle);
    StopReadingToolButton->setEnabled(readers && (FMode == ModeReadingOne || FMode == ModeReadingMultiple));
    ClearListToolButton->setEnabled(events);
    SaveAsToolButton->setEnabled(events && idle);
    OptionsMenuItem->setEnabled(idle);
    DBGrid1->setEnabled(idle);
    const std::pair<QAction*, QToolButton*> twins[] = {
        {Readmultiplecards1, ReadMultipleCardsToolButton},
        {ReadMultipleCardsMenuItem, ReadMultipleCardsToolButton},
        {Stopreading1, StopReadingToolButton},
        {StopReadingMenuItem, StopReadingToolButton},
        {RefreshListMeuItem, RefreshListToolButton},
        {ReadOneCardMenuItem, ReadOneCardToolButton},
        {ClearListMenuItem, ClearListToolButton},
        {SaveAsMenuItem, SaveAsToolButton},
    };
    for (const auto& [item, button] : twins) {
        item->setEnabled(button->isEnabled());
    }
    DBGrid1->repaint();
    repaint();
}

void TMainViewForm::RefreshReaderList() {
    SetMode(ModeRefreshing);
    try {
        FillReaderList();
    } catch (...) {
        SetMode(ModeIdle);
        throw;
    }
    SetMode(ModeIdle);
}

QString TMainViewForm::CurrentReaderSerial() const {
    return ReadersMemoryData.IsEmpty() ? QString() : ReadersMemoryData.FieldByName("SerialNumber").AsString();
}

void TMainViewForm::FillReaderList() {
    // A reader that fails must not hide the others: every reader that could
    // be listed is shown, and the errors are raised together at the end.
    QStringList errors;
    const auto attempt = [&errors](const std::function<void()>& Step) {
        try {
            Step();
        } catch (const std::exception& Error) {
            errors << QString::fromUtf8(Error.what());
        }
    };
    QStringList serials, descriptions, ports;
    int listed = 0;
    attempt([&] { listed = FServices.Readers->ListReaders(serials, descriptions, ports); });
    if (listed != 0) {
        return;
    }
    ReadersMemoryData.ClearTable();
    for (qsizetype i = 0; i < serials.size(); ++i) {
        QString info = "UNKNOWN";
        attempt([&] { info = FServices.Readers->GetReaderInfo(serials[i], descriptions.value(i)); });
        ReadersMemoryData.Append();
        ReadersMemoryData.FieldByName("Device").SetAsString(DeviceLabel(i + 1));
        ReadersMemoryData.FieldByName("SerialNumber").SetAsString(serials[i]);
        ReadersMemoryData.FieldByName("COM").SetAsString(ports.value(i));
        ReadersMemoryData.FieldByName("DeviceDescription").SetAsString(descriptions.value(i));
        ReadersMemoryData.FieldByName("Info").SetAsString(info);
        ReadersMemoryData.Post();
    }
    // The last row appended stays current, whichever reader was chosen
    // before: that is the reader the reading commands use.
    if (!errors.isEmpty()) {
        throw kit::Exception(errors.join('\n'));
    }
}

void TMainViewForm::TranslateReaderRows() {
    qsizetype number = 0;
    ForEachRow(ReadersMemoryData, [this, &number] {
        ReadersMemoryData.Edit();
        ReadersMemoryData.FieldByName("Device").SetAsString(DeviceLabel(++number));
        ReadersMemoryData.Post();
    });
}

void TMainViewForm::ForEachRow(kit::TMemoryData& Table, const std::function<void()>& Step) {
    const kit::TControlsDisabled detached(Table);
    const kit::TBookmark current = Table.GetBookmark();
    const auto restore = qScopeGuard([&Table, current] {
        if (Table.BookmarkValid(current)) {
            Table.GotoBookmark(current);
        }
    });
    for (Table.First(); !Table.Eof(); Table.Next()) {
        Step();
    }
}

void TMainViewForm::UpdateCardCount() {
    CardCodesLabel->setText(" " + TLocalization::Misc("CardCodes", "Card codes") + " (" +
                            QString::number(EventsMemoryData.RecordCount()) + ")");
    ClearListToolButton->setEnabled(EventsMemoryData.RecordCount() > 0);
    ClearListMenuItem->setEnabled(ClearListToolButton->isEnabled());
}

void TMainViewForm::EventsMemoryDataCalcFields() {
    EventsMemoryData.FieldByName("CardCode40Hex")
        .SetAsString(FServices.Readers->CardCodeToHex(EventsMemoryData.FieldByName("CardCode").AsString(), 0));
}

void TMainViewForm::RefreshListToolButtonClick() {
    Guarded([this] { RefreshReaderList(); });
}

void TMainViewForm::ClearListToolButtonClick() {
    EventsMemoryData.ClearTable();
    UpdateControls();
    UpdateCardCount();
}

void TMainViewForm::OptionsMenuItemClick() {
    if (OptionsForm != nullptr) {
        FServices.ExecModal(*OptionsForm);
    }
}

void TMainViewForm::RunLanguageSelector(bool AllowCancel) {
    TSelectLangForm selector(FPaths, FServices);
    selector.Button2->setEnabled(AllowCancel);
    // Over the window it was asked from; before that is shown, where the
    // toolkit puts a dialog of its own.
    if (isVisible() && !isMinimized()) {
        CentreWindow(selector, frameGeometry(), frameGeometry().size() - size());
    }
    if (FServices.ExecModal(selector) != QDialog::Accepted) {
        return;
    }
    // A language installed where there was none before takes effect now.
    if (QFile::exists(FPaths.LangFile())) {
        TLocalization::LoadLanguageFile(FPaths.LangFile());
    }
    TranslateForm();
    // The texts of section Misc follow at once: the count label (the
    // translation put its bare text back), the reader rows and the status.
    UpdateCardCount();
    TranslateReaderRows();
    ShowModeStatus();
}

void TMainViewForm::SelectLanguageExecute() {
    Guarded([this] { RunLanguageSelector(true); });
}

void TMainViewForm::SelectLanguageAtFirstStart() { RunLanguageSelector(false); }

void TMainViewForm::About1Click() {
    TAboutBox about(FServices);
    FServices.ExecModal(about);
}

void TMainViewForm::Talvohomepage1Click() {
    if (!FServices.OpenUrl(QUrl(HomePage))) {
        FServices.ShowError(TLocalization::Misc("HomePageError", "Cannot open the home page:") + " " + HomePage);
    }
}

void TMainViewForm::Exit1Click() { close(); }

void TMainViewForm::ShowZintareko1Click() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

bool TMainViewForm::HandleSysCommand(unsigned Command) {
    // Without its icon in the notification area a hidden window could not be
    // reached again: then a minimise stays a minimise.
    if (Command != SC_MINIMIZE || !Hideafterminimize1->isChecked() || !TrayIcon1->Added()) {
        return false;
    }
    hide();
    return true;
}

void TMainViewForm::changeEvent(QEvent* Event) {
    QMainWindow::changeEvent(Event);
    if (Event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) != 0 &&
        !(static_cast<QWindowStateChangeEvent*>(Event)->oldState() & Qt::WindowMinimized)) {
        // The window system has minimised the window already; hide it once
        // that change is through.
        QMetaObject::invokeMethod(this, "HandleSysCommand", Qt::QueuedConnection, Q_ARG(unsigned, SC_MINIMIZE));
    }
}

void TMainViewForm::FormCloseQuery() {
    // The timer stops first, so no tick still queued can read or type.
    ProxyTimer->stop();
    if (FMode != ModeIdle) {
        StopReadingToolButtonClick();
    }
}

void TMainViewForm::closeEvent(QCloseEvent* Event) {
    Guarded([this] { FormCloseQuery(); });
    Event->accept();
}

bool TMainViewForm::ParamExists(const QString& Text, const QStringList& Arguments) {
    return Arguments.mid(1).contains(Text, Qt::CaseSensitive);
}

}  // namespace app
