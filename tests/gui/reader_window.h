#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QTest>
#include <QTreeWidgetItem>
#include <string>

#include "app/main_frame.h"
#include "app/quillon_app.h"
#include "feeds/feed_store.h"
#include "feeds/update_engine.h"
#include "model/list_mode.h"
#include "support/local_http_server.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "views/list_view.h"
#include "views/tree_view.h"

// A data folder with a database, the default settings, services pointing at a local server
// and this tree; the window opens on it with Open() and closes through the exit sequence.
inline constexpr char kSampleTree[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><KEYWORDTREE><ID>0</ID><NODETYPE>FOLDER</NODETYPE>"
    "<TEXT>我的频道</TEXT>"
    "<KEYWORDNODE><ID>1</ID><NODETYPE>FOLDER</NODETYPE><TEXT>体育</TEXT>"
    "<KEYWORDNODE><ID>3</ID><NODETYPE>KEY</NODETYPE><TEXT>足球</TEXT></KEYWORDNODE>"
    "<KEYWORDNODE><ID>4</ID><NODETYPE>FOLDER</NODETYPE><TEXT>球类</TEXT>"
    "<KEYWORDNODE><ID>5</ID><NODETYPE>KEY</NODETYPE><TEXT>Rock 'n' Roll</TEXT></KEYWORDNODE>"
    "</KEYWORDNODE></KEYWORDNODE>"
    "<KEYWORDNODE><ID>2</ID><NODETYPE>KEY</NODETYPE><TEXT>weather</TEXT></KEYWORDNODE>"
    "</KEYWORDTREE>";

class ReaderWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder.CreateDatabase();
        m_folder.CopySeedSettings();
        std::string services;
        for (const char* key :
             {"search.baidu", "search.google", "search.yahoo", "search.sogou", "site.publisher"}) {
            services += std::string(key) + " = " + m_server.BaseUrl() + "\n";
        }
        m_folder.WriteFile("data/services.conf", services);
        m_folder.WriteFile("document/keywordlist.xml", kSampleTree);
        // Each test starts with no recent files, whatever the tests before it opened.
        QSettings().clear();
    }

    void TearDown() override { Close(); }

    // Opens the window on the folder, without the engine's pauses, with the full news list
    // as a fresh start has it.
    void Open() {
        g_nListMode = kListModeAll;
        theStore.Rebase(m_folder.Path());
        theStore.Engine().pacing().SetEnabled(false);
        ASSERT_TRUE(App()->InitInstance());
        ASSERT_NE(g_pMainFrame, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(g_pMainFrame));
        m_open = true;
    }

    void Close() {
        if (m_open) {
            m_open = false;
            App()->ExitInstance();
        }
    }

    // A channel row for `channel` (ID 1) with `count` items dated today.
    void AddTodaysItems(const std::string& channel, int count) {
        std::string values;
        for (int i = 0; i < count; ++i) {
            values +=
                (i ? "," : "") + std::string("(1, 'item ") + std::to_string(i) + "', date('now'))";
        }
        ExecSql(m_folder.File("data/data.dat"),
                "insert into channel (ID, rss_title) values (1, '" + channel +
                    "');"
                    "insert into item (rss_channelID, rss_title, rss_pubDate) values " +
                    values + ";");
    }

    static CQuillonApp* App() { return static_cast<CQuillonApp*>(qApp); }
    static CMainFrame* Frame() { return g_pMainFrame; }
    static CTD_TreeView* Tree() { return g_pTreeView; }

    // The tree item whose record is named `name`.
    static QTreeWidgetItem* ItemNamed(const std::string& name) {
        for (CNodeMap::Handle handle : Tree()->Nodes().Handles()) {
            if (name == Tree()->Nodes().Lookup(handle).name) {
                return Tree()->ItemOf(handle);
            }
        }
        return nullptr;
    }

    static void ClickItem(QTreeWidgetItem* item) {
        Tree()->scrollToItem(item);
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, {},
                          Tree()->visualItemRect(item).center());
    }

    LocalHttpServer m_server;
    TempDataFolder m_folder;
    bool m_open = false;
};
