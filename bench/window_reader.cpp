// quillon, read by a user who never stops: the real window on the data folder that
// QUILLON_DATA names, with a reader in its own event loop. Every step (argument 1, in
// milliseconds; 3000 unless given) it shows the news list's next item page (Down in the list);
// every seventh step it opens the item's link in the browser pane instead (Enter), and every
// twentieth it moves to the next channel of the tree. It reads until it is killed.
// bench/window_reading.py serves the news and measures the window's memory while it reads.

#include <unistd.h>

#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>
#include <algorithm>
#include <cstdlib>

#include "app/data_folder_check.h"
#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "views/list_view.h"
#include "views/tree_view.h"
#include "xml/xml_document.h"

namespace {

constexpr int kDefaultStepMs = 3000;
constexpr int kLinkEvery = 7;
constexpr int kChannelEvery = 20;

// The reader's state: window thread only.
class Reader {
public:
    void Step() {
        ++m_step;
        if (g_pTreeView == nullptr || g_hRootItem == nullptr) {
            return;
        }
        if (m_step % kChannelEvery == 1 || g_pListView == nullptr) {
            NextChannel();
        } else if (m_step % kLinkEvery == 0) {
            g_pListView->setFocus();
            QTest::keyClick(g_pListView, Qt::Key_Return);
        } else {
            g_pListView->setFocus();
            QTest::keyClick(g_pListView, Qt::Key_Down);
        }
    }

private:
    void NextChannel() {
        const int channels = g_hRootItem->childCount();
        if (channels == 0) {
            return;
        }
        QTreeWidgetItem* item = g_hRootItem->child(m_channel++ % channels);
        g_pTreeView->scrollToItem(item);
        QTest::mouseClick(g_pTreeView->viewport(), Qt::LeftButton, {},
                          g_pTreeView->visualItemRect(item).center());
    }

    long m_step = 0;
    int m_channel = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (geteuid() == 0) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
    const int stepMs = argc > 1 ? std::max(100, std::atoi(argv[1])) : kDefaultStepMs;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    InitXmlLibrary();
    CQuillonApp app(argc, argv);
    if (!PrepareDataFolder(nullptr) || !app.InitInstance()) {
        return 1;
    }
    Reader reader;
    QTimer steps;
    QObject::connect(&steps, &QTimer::timeout, [&reader] { reader.Step(); });
    steps.start(stepMs);
    return app.exec();
}
