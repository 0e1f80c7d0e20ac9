// The GUI tests drive the real window offscreen; one application object serves them all.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>

#include "app/quillon_app.h"
#include "xml/xml_document.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu", 0);
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    }
    // The recent-file list and other settings go to a folder of the test run's own.
    const std::string config = (std::filesystem::temp_directory_path() /
                                ("quillon-gui-config-" + std::to_string(getpid())))
                                   .string();
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    InitXmlLibrary();
    CQuillonApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return result;
}
