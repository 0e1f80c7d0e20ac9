#include "views/external_browser.h"

#include <spawn.h>
#include <sys/wait.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QThread>
#include <QUrl>

extern char** environ;

namespace {

bool OpenWithDesktop(const std::string& address) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

bool OpenWithXdgOpen(const std::string& address) {
    const char* argv[] = {"xdg-open", address.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        return false;
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

bool OpenInExternalBrowser(const std::string& address) {
    bool opened = false;
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) {
        opened = OpenWithDesktop(address);
    } else {
        QMetaObject::invokeMethod(
            app, [&] { opened = OpenWithDesktop(address); }, Qt::BlockingQueuedConnection);
    }
    return opened || OpenWithXdgOpen(address);
}

void TellNoBrowser(QWidget* parent, const std::string& address) {
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8("在系统浏览器中打开"),
                                QString::fromUtf8("无法启动系统浏览器。"), QMessageBox::Ok, parent);
    box->setInformativeText(
        QString::fromUtf8("请安装一个网页浏览器并把它设为默认浏览器，然后再试一次。网址：%1")
            .arg(QString::fromStdString(address)));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool OpenInExternalBrowserOrTell(QWidget* parent, const std::string& address) {
    if (OpenInExternalBrowser(address)) {
        return true;
    }
    TellNoBrowser(parent, address);
    return false;
}
