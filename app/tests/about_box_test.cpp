#include "app/about_box.h"

#include <gtest/gtest.h>

#include "app/tests/window_test_support.h"

namespace app {
namespace {

class AboutBox : public ::testing::Test, public testing::TWindowTestBase {};

TEST_F(AboutBox, ShowsTheTranslatedWordAndThePaddedVersionOnce) {
    struct Case {
        QString Version;
        QByteArray LanguageFile;
        QString Expected;
    };
    const Case cases[] = {
        {"1.1.14.16", "", "Version 1.1.14.016"},
        {"1.0.0.000", "", "Version 1.0.0.000"},
        {"", "", "Version "},
        {"", "[About]\nVersion=Ver.\n", "Ver. "},
        {"2.3.4.5", "[about]\nversion=\"Wersja\"\n", "Wersja 2.3.4.005"},
    };
    for (const auto& c : cases) {
        FVersion = c.Version;
        UseLanguageFile(c.LanguageFile);
        TAboutBox box(FServices);
        box.show();
        box.hide();
        box.show();  // a second showing does not repeat the version
        EXPECT_EQ(box.Version->text(), c.Expected) << c.Version.toStdString();
    }
}

TEST_F(AboutBox, TranslatesItsTextsFromItsSection) {
    UseLanguageFile("[About]\nSelf=O programie\nProductName=Talvo Zintareko PL\nOK=Dobrze\n[Misc]\nCopyright=x\n");
    TAboutBox box(FServices);
    box.show();
    EXPECT_EQ(box.windowTitle(), "O programie");
    EXPECT_EQ(box.ProductName->text(), "Talvo Zintareko PL");
    EXPECT_EQ(box.OKButton->text(), "Dobrze");
    EXPECT_EQ(box.Copyright->text(), "Copyright (C) 2026 Talvo");
}

}  // namespace
}  // namespace app
