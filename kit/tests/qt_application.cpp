// One application object for the widget and picture tests of a test program.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace {

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Without an X server the X11 tests skip themselves; no application can start there.
        if (qEnvironmentVariable("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
            return;
        }
        static int argc = 1;
        static char name[] = "kit_tests";
        static char* argv[] = {name, nullptr};
        FApplication = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { FApplication.reset(); }

private:
    std::unique_ptr<QApplication> FApplication;
};

[[maybe_unused]] ::testing::Environment* const Environment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

}  // namespace
