// The one main() of every test binary: Qt wants its application object before any test runs.
#include <gtest/gtest.h>

#ifdef ORVANE_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef ORVANE_TEST_GUI
    // GUI tests run headless, also when CTest lists them at build time without the test environment.
    // They get the two-screen layout (operator and talent) the offscreen platform reads from a file,
    // unless the caller chose a platform configuration of its own.
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const char* screensVariable = std::getenv("ORVANE_TEST_SCREENS");
    const std::string screens =
        screensVariable ? screensVariable : ORVANE_SOURCE_DIR "/tests/screens-two.json";
    if (std::string(platform) == "offscreen" && std::filesystem::exists(screens)) {
        const std::string configured = "offscreen:configfile=" + screens;
        setenv("QT_QPA_PLATFORM", configured.c_str(), 1);
    }
#endif
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
