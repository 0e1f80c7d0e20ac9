// The GUI tests drive the real window offscreen; one application object serves them all.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>

#include "app/quillon_app.h"
#include "modal.h"
#include "xml/xml_document.h"

namespace {

// Ends the answers a test left waiting for a dialog that never came.
class PendingAnswersReset : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override { ForgetPendingModalAnswers(); }
};

}  // namespace

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
    // The window fetches every channel it is given, subscriptions' feeds among them: an
    // address that is not the local server's goes to a proxy on a closed local port, so that
    // nothing leaves 127.0.0.1 (not even a name look-up).
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    setenv("https_proxy", "http://127.0.0.1:9", 1);
    setenv("no_proxy", "127.0.0.1", 1);
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    InitXmlLibrary();
    CQuillonApp app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new PendingAnswersReset);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return result;
}
