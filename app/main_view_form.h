#pragma once

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QStringList>
#include <QTimer>
#include <QToolButton>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/app_paths.h"
#include "app/app_services.h"
#include "app/card_output.h"
#include "kit/db/db_grid.h"
#include "kit/db/memory_data.h"
#include "kit/elided_controls.h"
#include "kit/gif_animator.h"
#include "kit/tray_icon.h"

namespace app {

class TReadingLoop;

// The tool's main window: the reader list and the card list, the four modes
// with their status texts and the enabling of every command, the reader-list
// refresh, the menus (the notification-area icon's among them), options,
// language and about, closing.
//
// Its parts live in files of their own: main_view_layout.cpp builds the
// window, main_view_form.cpp holds the modes, the refresh, the translation
// and the menu commands, main_view_reading.cpp reading cards, the card list's
// rows, Save as, the notification-area icon and the busy strip.
class TMainViewForm : public QMainWindow {
    Q_OBJECT

public:
    enum : std::uint8_t { ModeIdle = 0, ModeRefreshing = 1, ModeReadingOne = 2, ModeReadingMultiple = 3 };

    TMainViewForm(const TAppPaths& Paths, TAppServices& Services, QWidget* Parent = nullptr);
    ~TMainViewForm() override;

    // Components, named as the window definition names them.
    QLabel* ReaderListLabel;
    QToolButton* RefreshListToolButton;
    QToolButton* ReadOneCardToolButton;
    QToolButton* ReadMultipleCardsToolButton;
    QToolButton* StopReadingToolButton;
    kit::TGIFAnimator* GIFAnimator1;
    kit::TDBGrid* DBGrid1;
    QLabel* CardCodesLabel;
    QToolButton* ClearListToolButton;
    QToolButton* SaveAsToolButton;
    kit::TDBGrid* DBGrid2;
    QStatusBar* StatusBar1;
    QMenu* File1;
    QAction* RefreshListMeuItem;
    QAction* ClearListMenuItem;
    QAction* SaveAsMenuItem;
    QAction* Exit1;
    QMenu* ools1;
    QAction* ReadOneCardMenuItem;
    QAction* ReadMultipleCardsMenuItem;
    QAction* StopReadingMenuItem;
    QAction* SelectLanguageMenuItem;
    QAction* OptionsMenuItem;
    QMenu* Help1;
    QAction* About1;
    QAction* Talvohomepage1;
    QMenu* PopupMenu1;
    QAction* Hideafterminimize1;
    QAction* ShowZintareko1;
    QAction* Readmultiplecards1;
    QAction* Stopreading1;
    kit::TTrayIcon* TrayIcon1;
    QTimer* ProxyTimer;
    TSaveDialog SaveDialog1{"Save card codes", "CSV files(*.csv)|*.csv", "csv"};
    kit::TMemoryData ReadersMemoryData;
    kit::TMemoryData EventsMemoryData;

    // One-time set-up: translation, caption with the version, reader list.
    // Errors of the reader layer pass to the caller.
    void InitializeForm();
    void TranslateForm();
    void SetMode(std::uint8_t Mode);
    void SetBusyAnimation(bool On);
    void UpdateControls();
    // Refills the reader list with every reader that can be listed; the last
    // one listed becomes current, even when another row was chosen before,
    // and the reading commands use it until the user picks another. Errors of
    // the reader layer pass to the caller once the list is filled (mode idle).
    void RefreshReaderList();
    void UpdateCardCount();
    // The language selector with Cancel disabled.
    void SelectLanguageAtFirstStart();
    // True when the system command was handled here: a minimise with "Hide
    // after minimize" checked hides the window.
    Q_INVOKABLE bool HandleSysCommand(unsigned Command);
    // True when one of the command-line parameters after the program's name
    // is exactly Text.
    static bool ParamExists(const QString& Text, const QStringList& Arguments);

    // Menu and toolbar commands.
    void RefreshListToolButtonClick();
    void ClearListToolButtonClick();
    void OptionsMenuItemClick();
    void SelectLanguageExecute();
    void About1Click();
    void Talvohomepage1Click();
    void Exit1Click();
    void ShowZintareko1Click();
    void FormCloseQuery();
    // The card list's hexadecimal column, from its decimal code.
    void EventsMemoryDataCalcFields();

    // Reading cards and the card list.
    void ReadOneCardToolButtonClick();
    void ReadMultipleCardsToolButtonClick();
    void StopReadingToolButtonClick();
    void ProxyTimerTimer();
    void SaveAsToolButtonClick();
    // Appends a card's row; the count label follows.
    void AddCardEvent(const QDateTime& Time, const TCardCode& Code);
    // The CSV line of the card list's current row.
    QString CurrentCsvLine();
    // The CSV lines of the whole card list, in list order; the current row
    // stays where it was.
    QStringList CardListLines();
    bool TimerBusy() const;
    bool CsvFileOpen() const;

    std::uint8_t Mode() const { return FMode; }
    bool BusyAnimation() const { return FBusyAnimation; }
    bool Initialized() const { return FInitialized; }
    QString StatusText() const { return FStatusPanel->text(); }

    // The minimise command's value.
    static constexpr unsigned SC_MINIMIZE = 0xF020;
    // The maker's home page.
    static constexpr const char* HomePage = "https://www.talvo.example/";

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    class TReadingWindow;

    void CreateComponents();
    // The reading loop, the card list's calculated column, the icon, the strip.
    void CreateReadingComponents();
    void CreateTables();
    void CreateMenus();
    QWidget* CreateUpperPanel();
    QWidget* CreateLowerPanel();
    void ConnectCommands();
    void FormShow();
    void FillReaderList();
    // The serial number of the reader list's current row, '' when empty.
    QString CurrentReaderSerial() const;
    // Shows the language selector; on OK loads the language file, when there
    // is one now, and translates the window again.
    void RunLanguageSelector(bool AllowCancel);
    void UpdateCaption();
    // Shows the status text of the mode, in the language of now.
    void ShowModeStatus();
    // Labels the reader rows anew in the language of now.
    void TranslateReaderRows();
    // Runs Step on every row of Table in list order. The grid does not follow
    // the walk (it would move and scroll at every row), and the row that was
    // current is current again afterwards.
    static void ForEachRow(kit::TMemoryData& Table, const std::function<void()>& Step);
    // Runs a command; an error it raises is shown in an error box.
    void Guarded(const std::function<void()>& Command);

    const TAppPaths& FPaths;
    TAppServices& FServices;
    kit::TElidedLabel* FStatusPanel = nullptr;
    std::uint8_t FMode = ModeIdle;
    bool FInitialized = false;
    bool FShownBefore = false;
    bool FBusyAnimation = false;
    std::unique_ptr<TCardOutputs> FOutputs;
    std::unique_ptr<TReadingWindow> FReadingWindow;
    std::unique_ptr<TReadingLoop> FReading;
};

}  // namespace app
