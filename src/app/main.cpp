// quillon: the news reader's window.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdlib>

#include "app/data_folder_check.h"
#include "app/quillon_app.h"
#include "base/version.h"
#include "xml/xml_document.h"

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the program like closing its window, so the settings are saved.
void QuitOnTermination(QApplication& app) {
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        [[maybe_unused]] const ssize_t ignored = read(g_signalPipe[0], &byte, 1);
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    // Chromium refuses its sandbox when the process runs as root, as it does in CI.
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Lets the desktop match the window to the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopEntryId));
    InitXmlLibrary();
    CQuillonApp app(argc, argv);
    // Before the folder is ready there is nothing to save: until then SIGTERM and SIGINT end
    // the program at once, also while it shows why the folder was refused.
    if (!PrepareDataFolder(nullptr)) {
        return 1;
    }
    QuitOnTermination(app);
    if (!app.InitInstance()) {
        return 1;
    }
    const int result = app.exec();
    const int exitResult = app.ExitInstance();
    return result != 0 ? result : exitResult;
}
