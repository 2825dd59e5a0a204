// The GUI tests need one QApplication for the whole run; offscreen unless a platform is chosen.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Without a runtime folder Qt makes one under the temporary folder and leaves it there.
    std::string runtimeFolder;
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string pattern = std::filesystem::temp_directory_path() / "dravik-gui-runtime-XXXXXX";
        if (::mkdtemp(pattern.data())) {
            runtimeFolder = pattern;
            ::setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);
        }
    }
    int result = 0;
    {
        QApplication application(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
        testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (!runtimeFolder.empty()) {
        std::error_code error;
        std::filesystem::remove_all(runtimeFolder, error);
    }
    return result;
}
