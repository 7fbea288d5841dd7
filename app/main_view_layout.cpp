// Builds the main window: panels, toolbars, grids, menus, status bar.
#include <QHeaderView>
#include <QMenuBar>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <span>

#include "app/app_icon.h"
#include "app/main_view_form.h"
#include "app/named.h"

namespace app {
namespace {

// The desktop's usual hot-track colour, the list labels' background.
const QColor HotLight(0x00, 0x66, 0xCC);

// A list label: bold text in the window colour on the hot-light colour. The
// background is the palette's Window role, which the reading loop recolours.
QLabel* ListLabel(const QString& Text, const char* Name, QWidget* Parent) {
    auto* label = Named(new kit::TElidedLabel(Text, Parent), Name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, HotLight);
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Base));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setFixedHeight(20);
    return label;
}

QToolButton* ToolButton(const QString& Caption, QStyle::StandardPixmap Image, const char* Name, QToolBar* Bar) {
    auto* button = Named(new kit::TElidedToolButton(Caption, Bar), Name);
    button->setIcon(Bar->style()->standardIcon(Image));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Bar->addWidget(button);
    return button;
}

QAction* MenuItem(const QString& Caption, const char* Name, QMenu* Menu) {
    auto* action = Named(new QAction(Caption, Menu), Name);
    Menu->addAction(action);
    return action;
}

// A read-only grid that keeps its selected row highlighted without focus.
kit::TDBGrid* Grid(kit::TMemoryData& Table, const char* Name, QWidget* Parent) {
    auto* grid = Named(new kit::TDBGrid(Table, Parent), Name);
    QPalette palette = grid->palette();
    for (const auto role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    grid->setPalette(palette);
    grid->setWordWrap(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

// A field of a list and its grid column; a width of 0 hides the column.
struct TColumn {
    const char* Name;
    const char* Title;
    kit::TFieldType Type;
    kit::TFieldKind Kind;
    int Size;
    int Width;
};

void AddColumns(kit::TMemoryData& Table, std::span<const TColumn> Columns) {
    for (const auto& column : Columns) {
        kit::TField& field = Table.AddField(column.Name, column.Type, column.Size, column.Kind);
        field.SetDisplayLabel(column.Title);
        field.SetDisplayWidth(column.Width);
        field.SetVisible(column.Width > 0);
    }
}

}  // namespace

void TMainViewForm::CreateComponents() {
    setObjectName("MainViewForm");
    setWindowTitle("Talvo Zintareko");
    setWindowIcon(AppIcon());
    resize(832, 511);
    CreateTables();
    CreateMenus();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(CreateUpperPanel());
    splitter->addWidget(CreateLowerPanel());
    splitter->setSizes({145, 366});
    splitter->setStretchFactor(1, 1);
    setCentralWidget(splitter);

    StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
    FStatusPanel = new kit::TElidedLabel("Ready", StatusBar1);
    StatusBar1->addWidget(FStatusPanel, 1);
    setStatusBar(StatusBar1);
}

void TMainViewForm::CreateTables() {
    const TColumn readers[] = {
        {"Device", "Device", kit::ftString, kit::fkData, 30, 100},
        {"SerialNumber", "Serial number", kit::ftString, kit::fkData, 30, 140},
        {"COM", "COM", kit::ftString, kit::fkData, 10, 0},
        {"DeviceDescription", "Description", kit::ftString, kit::fkData, 60, 260},
        {"Info", "Info", kit::ftString, kit::fkData, 60, 200},
    };
    AddColumns(ReadersMemoryData, readers);
    ReadersMemoryData.AfterScroll = [this](kit::TDataSet&) { UpdateControls(); };
    ReadersMemoryData.Open();

    const TColumn events[] = {
        {"DateTime", "Time", kit::ftDateTime, kit::fkData, 0, 128},
        {"CardCode", "Full card code (DEC)", kit::ftString, kit::fkData, 20, 155},
        {"CardCode26", "24 bit card code", kit::ftString, kit::fkData, 20, 166},
        {"CardCode8and16", "8, 16 bit card code", kit::ftString, kit::fkData, 20, 151},
        {"CardCode40Hex", "Full card code (HEX)", kit::ftString, kit::fkCalculated, 40, 211},
    };
    AddColumns(EventsMemoryData, events);
    EventsMemoryData.OnCalcFields = [this](kit::TDataSet&) { EventsMemoryDataCalcFields(); };
    EventsMemoryData.Open();
}

void TMainViewForm::CreateMenus() {
    File1 = Named(menuBar()->addMenu("File"), "File1");
    RefreshListMeuItem = MenuItem("Refresh reader list", "RefreshListMeuItem", File1);
    File1->addSeparator();
    ClearListMenuItem = MenuItem("Clear card codes list", "ClearListMenuItem", File1);
    SaveAsMenuItem = MenuItem("Save card codes as...", "SaveAsMenuItem", File1);
    File1->addSeparator();
    Exit1 = MenuItem("Exit", "Exit1", File1);

    ools1 = Named(menuBar()->addMenu("Tools"), "ools1");
    ReadOneCardMenuItem = MenuItem("Read one card", "ReadOneCardMenuItem", ools1);
    ReadMultipleCardsMenuItem = MenuItem("Read multiple cards", "ReadMultipleCardsMenuItem", ools1);
    StopReadingMenuItem = MenuItem("Stop reading", "StopReadingMenuItem", ools1);
    ools1->addSeparator();
    SelectLanguageMenuItem = MenuItem("Select Language", "SelectLanguageMenuItem", ools1);
    ools1->addSeparator();
    OptionsMenuItem = MenuItem("Options", "OptionsMenuItem", ools1);

    Help1 = Named(menuBar()->addMenu("Help"), "Help1");
    About1 = MenuItem("About", "About1", Help1);
    Talvohomepage1 = MenuItem("Talvo home page", "Talvohomepage1", Help1);

    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    Hideafterminimize1 = MenuItem("Hide after minimize", "Hideafterminimize1", PopupMenu1);
    Hideafterminimize1->setCheckable(true);
    Hideafterminimize1->setChecked(true);
    ShowZintareko1 = MenuItem("Open Zintareko program", "ShowZintareko1", PopupMenu1);
    PopupMenu1->setDefaultAction(ShowZintareko1);
    PopupMenu1->addSeparator();
    Readmultiplecards1 = MenuItem("Read multiple cards", "Readmultiplecards1", PopupMenu1);
    Stopreading1 = MenuItem("Stop reading", "Stopreading1", PopupMenu1);
}

QWidget* TMainViewForm::CreateUpperPanel() {
    auto* panel = new QWidget(this);
    ReaderListLabel = ListLabel(" Reader list", "ReaderListLabel", panel);
    auto* bar = new QToolBar(panel);
    RefreshListToolButton = ToolButton("Refresh list", QStyle::SP_BrowserReload, "RefreshListToolButton", bar);
    ReadOneCardToolButton = ToolButton("Read one card", QStyle::SP_MediaPlay, "ReadOneCardToolButton", bar);
    ReadMultipleCardsToolButton =
        ToolButton("Read multiple cards", QStyle::SP_MediaSeekForward, "ReadMultipleCardsToolButton", bar);
    StopReadingToolButton = ToolButton("Stop reading", QStyle::SP_MediaStop, "StopReadingToolButton", bar);
    for (QToolButton* button : {ReadOneCardToolButton, ReadMultipleCardsToolButton, StopReadingToolButton}) {
        button->setEnabled(false);
    }
    GIFAnimator1 = Named(new kit::TGIFAnimator(panel), "GIFAnimator1");
    DBGrid1 = Grid(ReadersMemoryData, "DBGrid1", panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ReaderListLabel);
    layout->addWidget(bar);
    layout->addWidget(GIFAnimator1);
    layout->addWidget(DBGrid1, 1);
    return panel;
}

QWidget* TMainViewForm::CreateLowerPanel() {
    auto* panel = new QWidget(this);
    CardCodesLabel = ListLabel(" Card codes", "CardCodesLabel", panel);
    auto* bar = new QToolBar(panel);
    ClearListToolButton = ToolButton("Clear list", QStyle::SP_DialogResetButton, "ClearListToolButton", bar);
    SaveAsToolButton = ToolButton("Save as...", QStyle::SP_DialogSaveButton, "SaveAsToolButton", bar);
    DBGrid2 = Grid(EventsMemoryData, "DBGrid2", panel);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CardCodesLabel);
    layout->addWidget(bar);
    layout->addWidget(DBGrid2, 1);
    return panel;
}

}  // namespace app
