// Subscribing one feed from the window, and the channel commands a subscribed channel needs:
// 搜索频道名称, 重命名 and 编辑新闻源….

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include "dialogs/feed_dialog.h"
#include "modal.h"
#include "store/keyword_tree_file.h"
#include "tree_editing.h"
#include "views/channel_commands.h"
#include "views/command_ids.h"
#include "views/feeds_dialog.h"
#include "views/name_dialogs.h"
#include "views/tree_menus.h"

namespace {

std::string Rss(const std::string& title) {
    return "<rss version=\"2.0\"><channel><title>" + title +
           "</title><item><title>第一条</title></item></channel></rss>";
}

class FeedSubscription : public TreeEditing {
protected:
    void SetUp() override {
        TreeEditing::SetUp();
        m_server.Serve("/feed.xml", Rss("技术博客"));
        m_server.Serve("/atom.xml",
                       "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>原子</title><entry>"
                       "<title>条目</title><id>1</id></entry></feed>",
                       "application/atom+xml");
        m_server.Serve("/site.html",
                       "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
                       "title=\"文章\" href=\"/feed.xml\"><link rel=\"alternate\" "
                       "type=\"application/atom+xml\" title=\"原子\" href=\"/atom.xml\">"
                       "</head><body></body></html>",
                       "text/html");
    }

    // Waits until the dialog has read its address.
    static bool ReadDone(CTD_FeedDlg* dialog) {
        return QTest::qWaitFor([dialog] { return !dialog->IsReading(); }, 10000);
    }

    Rows Query(const std::string& sql) const {
        return QueryRows(m_folder.File("data/data.dat"), sql);
    }

    bool SearchNameChecked(QTreeWidgetItem* item) const {
        QMenu menu;
        FillTreePopup(menu, kChannelPopup);
        Tree()->ChannelCommands().PrepareMenu(menu, item);
        for (QAction* action : menu.actions()) {
            if (action->data().toInt() == ID_KEY_SEARCH_NAME) {
                return action->isCheckable() && action->isChecked();
            }
        }
        return false;
    }
};

}  // namespace

// A failure keeps what was typed with the address selected; a page lists its feeds; the feed
// picked becomes a channel of the folder, named by its title, fetched at once.
TEST_F(FeedSubscription, TheDialogExplainsFailuresListsAPagesFeedsAndAddsThePickedOne) {
    Open();
    QString missingText;
    bool selected = false;
    bool stayedOpen = false;
    int listed = 0;
    AnswerNextModal<CTD_FeedDlg>([&](CTD_FeedDlg* dialog) {
        dialog->AddressEdit()->setText(QString::fromStdString(m_server.Url("/missing.xml")));
        dialog->NameEdit()->setText(QString());
        dialog->OkButton()->click();
        ReadDone(dialog);
        missingText = dialog->MessageLabel()->text();
        selected = dialog->AddressEdit()->selectedText() == dialog->AddressEdit()->text();
        stayedOpen = dialog->isVisible();
        dialog->AddressEdit()->setText(QString::fromStdString(m_server.Url("/site.html")));
        dialog->OkButton()->click();
        ReadDone(dialog);
        listed = dialog->FeedList()->count();
        dialog->FeedList()->setCurrentRow(1);
        dialog->OkButton()->click();
        ReadDone(dialog);
    });
    Command(ItemNamed("体育"), ID_FOLDER_SUBSCRIBE_FEED);
    EXPECT_TRUE(missingText.contains(QStringLiteral("HTTP 404"))) << missingText.toStdString();
    EXPECT_TRUE(selected);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(listed, 2);
    ASSERT_NE(ItemNamed("原子"), nullptr);
    EXPECT_EQ(ItemNamed("原子")->parent(), ItemNamed("体育"));
    EXPECT_TRUE(Consistent());
    EXPECT_FALSE(Tree()->Lookup(ItemNamed("原子")).searchName);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Query(
                       "select count(*) from item i join channel c on c.ID = i.rss_channelID "
                       "where c.rss_title = '原子'") == Rows{{"1"}};
        },
        10000));
    EXPECT_FALSE(theStore.Engine().SearchesName("原子"));
}

// 搜索频道名称 is on for a search word, off once turned off, and stays so after a restart.
TEST_F(FeedSubscription, TheSearchForAChannelsNameIsAChoiceKeptAcrossRestarts) {
    Open();
    EXPECT_TRUE(SearchNameChecked(ItemNamed("weather")));
    Command(ItemNamed("weather"), ID_KEY_SEARCH_NAME);
    EXPECT_FALSE(SearchNameChecked(ItemNamed("weather")));
    EXPECT_FALSE(theStore.Engine().SearchesName("weather"));
    Close();
    Open();
    EXPECT_FALSE(SearchNameChecked(ItemNamed("weather")));
    EXPECT_TRUE(SearchNameChecked(ItemNamed("足球")));
    EXPECT_EQ(
        ReadTreeChannels(TreePath()),
        (std::vector<ChannelKeyword>{{"足球", true}, {"Rock 'n' Roll", true}, {"weather", false}}));
}

// 重命名 of a channel takes its news and feeds along; 编辑新闻源… changes its feeds.
TEST_F(FeedSubscription, ARenamedChannelKeepsItsNewsAndItsFeedsCanBeEdited) {
    AddTodaysItems("weather", 3);
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values ('weather', "
            "'http://old.test/a', ''), ('weather', 'http://old.test/b', '')");
    Open();
    DialogAnswer rename(QString::fromUtf8("天气"), true);
    Command(ItemNamed("weather"), ID_KEY_RENAME, &rename);
    ASSERT_NE(ItemNamed("天气"), nullptr);
    EXPECT_TRUE(Consistent());
    EXPECT_EQ(Query("select c.rss_title, count(*) from channel c join item i on "
                    "i.rss_channelID = c.ID group by c.rss_title"),
              (Rows{{"天气", "3"}}));
    EXPECT_EQ(Query("select opml_key from opml group by opml_key"), (Rows{{"天气"}}));

    // A name another channel has is refused in the dialog.
    DialogAnswer taken(QString::fromUtf8("足球"), true);
    Command(ItemNamed("天气"), ID_KEY_RENAME, &taken);
    EXPECT_FALSE(taken.refusal.isEmpty());
    EXPECT_NE(ItemNamed("天气"), nullptr);

    AnswerNextModal<CFeedsDlg>([&](CFeedsDlg* dialog) {
        EXPECT_EQ(dialog->Edit()->toPlainText(),
                  QStringLiteral("http://old.test/a\nhttp://old.test/b\n"));
        dialog->Edit()->setPlainText(QStringLiteral("not an address"));
        dialog->accept();
        EXPECT_FALSE(dialog->Message()->text().isEmpty());
        dialog->Edit()->setPlainText(
            QString::fromStdString("http://old.test/b\n" + m_server.Url("/feed.xml")));
        dialog->accept();
    });
    Command(ItemNamed("天气"), ID_KEY_EDIT_FEEDS);
    EXPECT_EQ(Query("select opml_key, opml_xml_url from opml order by ID"),
              (Rows{{"天气", "http://old.test/b"}, {"天气", m_server.Url("/feed.xml")}}));
}

// 添加频道 says a channel is a search word, and offers to subscribe an address instead.
TEST_F(FeedSubscription, AnAddressTypedAsANewChannelIsOfferedAsAFeed) {
    Open();
    QString note;
    QString question;
    QString offered;
    AnswerNextModal<CkeyDlg>([&](CkeyDlg* dialog) {
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            note += label->text();
        }
        AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
            question = box->text();
            AnswerNextModal<CTD_FeedDlg>([&](CTD_FeedDlg* feed) {
                offered = feed->AddressEdit()->text();
                feed->reject();
            });
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == QString::fromUtf8(CkeyDlg::kSubscribeButton)) {
                    button->click();
                }
            }
        });
        dialog->Edit()->setText(QString::fromStdString(m_server.Url("/feed.xml")));
        dialog->accept();
    });
    Command(ItemNamed("体育"), ID_FOLDER_ADD_KEY);
    EXPECT_TRUE(note.contains(QString::fromUtf8("搜索词"))) << note.toStdString();
    EXPECT_TRUE(question.contains(QString::fromUtf8("网址")));
    EXPECT_EQ(offered.toStdString(), m_server.Url("/feed.xml"));
    EXPECT_EQ(ItemNamed(m_server.Url("/feed.xml")), nullptr);
}
