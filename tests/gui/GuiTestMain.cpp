// main() of the GUI tests: Qt's offscreen platform, a private registry
// directory, one QApplication for every test.
#include <cstdlib>
#include <filesystem>

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const std::filesystem::path config =
        std::filesystem::temp_directory_path() / ("norva-gui-test-config-" + std::to_string(getpid()));
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ec;
    std::filesystem::remove_all(config, ec);
    return result;
}
