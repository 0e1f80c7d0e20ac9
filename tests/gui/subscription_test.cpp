#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "dialogs/opml_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "tree_checks.h"
#include "views/command_ids.h"

namespace {

// Two feeds with apostrophes, and one title at two addresses.
constexpr char kList[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><opml version=\"1.0\"><body>"
    "<outline text=\"t\" title=\"Rock 'n' Roll\" xmlUrl=\"http://feeds.test/rock'n'roll\" "
    "htmlUrl=\"http://rock.test/\"/>"
    "<outline title=\"足球\" xmlUrl=\"http://feeds.test/football\"/>"
    "<outline title=\"足球\" xmlUrl=\"http://feeds.test/football-2\"/>"
    "<outline title=\"O'Reilly\" xmlUrl=\"http://feeds.test/oreilly\"/>"
    "</body></opml>";

// A body of one folder: its children are the list. 足球 at its first address is known.
constexpr char kWrapped[] =
    "<opml version=\"1.0\"><body><outline text=\"folder\">"
    "<outline title=\"Tech\" xmlUrl=\"http://feeds.test/tech\"/>"
    "<outline title=\"足球\" xmlUrl=\"http://feeds.test/football\"/>"
    "</outline></body></opml>";

class Subscription : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        m_server.Serve("/list.opml", kList, "text/x-opml");
        m_server.Serve("/wrapped.opml", kWrapped, "text/x-opml");
        m_server.ServeSlowly("/stalled.opml", std::chrono::seconds(30), kList);
    }

    // "我要订阅" with `title` and `address`, OK pressed; returns once the list has been read,
    // with what the dialog says then (`subscribed`: whether it went through). The dialog
    // is then closed.
    QString Subscribe(const std::string& title, const std::string& address,
                      bool* subscribed = nullptr) {
        QString text;
        bool done = false;
        AnswerNextModal<CTD_OpmlDlg>([&, title, address](CTD_OpmlDlg* dialog) {
            dialog->TitleEdit()->setText(QString::fromStdString(title));
            dialog->AddressEdit()->setText(QString::fromStdString(address));
            dialog->OkButton()->click();
            EXPECT_TRUE(QTest::qWaitFor([dialog] { return !dialog->IsFetching(); }, 10000));
            text = dialog->MessageLabel()->text();
            done = dialog->IsSubscribed();
            // A failure leaves the dialog open for the address to be corrected.
            EXPECT_TRUE(dialog->isVisible());
            dialog->CloseButton()->click();
        });
        Frame()->CommandAction(ID_SUBSCRIBE)->trigger();
        if (subscribed != nullptr) {
            *subscribed = done;
        }
        return text;
    }

    // Shows `dialog` and presses OK on the stalled list; true once the server has the request.
    bool StartStalledSubscription(CTD_OpmlDlg& dialog, const char* title) {
        dialog.show();
        dialog.TitleEdit()->setText(QString::fromLatin1(title));
        dialog.AddressEdit()->setText(QString::fromStdString(m_server.Url("/stalled.opml")));
        dialog.OkButton()->click();
        return QTest::qWaitFor([&] { return m_server.HitCount("/stalled.opml") == 1; }, 5000);
    }

    Rows OpmlRows() const {
        return QueryRows(m_folder.File("data/data.dat"),
                         "select opml_key, opml_xml_url, opml_html_url from opml order by ID");
    }
    std::string TreeFile() const { return m_folder.ReadFile("document/keywordlist.xml"); }

    // The top-level folders named `name` (as stored), and the names of the first one's
    // children.
    static std::vector<std::string> FolderChildren(const std::string& name, int* folders) {
        CNodeMap& nodes = Tree()->Nodes();
        std::vector<std::string> children;
        *folders = 0;
        for (CNodeMap::Handle top : nodes.Children(nodes.FindById(0))) {
            const CKeywordNode record = nodes.Lookup(top);
            if (record.type == NODE_FOLDER && name == record.name && (*folders)++ == 0) {
                for (CNodeMap::Handle child : nodes.Children(top)) {
                    children.push_back(nodes.Lookup(child).name);
                }
            }
        }
        return children;
    }
};

}  // namespace

TEST_F(Subscription, NewFeedsBecomeRowsAndChannelsOnceUnderTheirFolder) {
    Open();
    // The two outlines named 足球 are one channel with both feeds.
    EXPECT_EQ(Subscribe("News", m_server.Url("/list.opml")), QString::fromUtf8("已订阅 3 个频道"));
    // The sample tree searches for "Rock 'n' Roll" and 足球: the feeds' channels are numbered
    // rather than joining those searches' news.
    const Rows rows = {{"Rock 'n' Roll (2)", "http://feeds.test/rock'n'roll", "http://rock.test/"},
                       {"足球 (2)", "http://feeds.test/football", ""},
                       {"足球 (2)", "http://feeds.test/football-2", ""},
                       {"O'Reilly", "http://feeds.test/oreilly", ""}};
    EXPECT_EQ(OpmlRows(), rows);
    int folders = 0;
    const std::vector<std::string> channels = {"Rock 'n' Roll (2)", "足球 (2)", "O'Reilly"};
    EXPECT_EQ(FolderChildren("News", &folders), channels);
    EXPECT_EQ(folders, 1);
    const std::vector<std::string> keywords = theStore.Engine().Keywords();
    EXPECT_EQ(std::count(keywords.begin(), keywords.end(), "O'Reilly"), 1);
    EXPECT_NE(TreeFile().find("O'Reilly"), std::string::npos);

    // The same list again changes nothing.
    EXPECT_EQ(Subscribe("News", m_server.Url("/list.opml")),
              QString::fromUtf8("已订阅 0 个频道，3 个已存在"));
    EXPECT_EQ(OpmlRows(), rows);
    EXPECT_EQ(FolderChildren("News", &folders), channels);
    EXPECT_EQ(folders, 1);

    // A folder of that name in other letter case takes the new channels of a wrapped list.
    EXPECT_EQ(Subscribe("NEWS", m_server.Url("/wrapped.opml")),
              QString::fromUtf8("已订阅 1 个频道，1 个已存在"));
    EXPECT_EQ(OpmlRows().size(), 5u);
    EXPECT_EQ(OpmlRows().back(), (Row{"Tech", "http://feeds.test/tech", ""}));
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll (2)", "足球 (2)", "O'Reilly", "Tech"}));
    FolderChildren("NEWS", &folders);
    EXPECT_EQ(folders, 0);
}

TEST_F(Subscription, EachFailureLeavesTheTreeAndItsFileAsTheyWereAndSaysWhy) {
    std::string closedPort;
    {
        LocalHttpServer closed;
        closedPort = closed.Url("/list.opml");
    }
    m_server.Serve("/page.html", "<html><body><p>not a list<br></body></html>", "text/html");
    m_server.Serve("/empty.opml", "<opml version=\"1.0\"><body></body></opml>", "text/x-opml");
    Open();
    const std::string treeBefore = TreeFile();
    const std::string outlineBefore = LiveOutline();
    const std::pair<std::string, const char*> failures[] = {
        {m_server.Url("/no-such-list.opml"), "服务器回答 HTTP 404"},
        {closedPort, "无法连接"},
        {m_server.Url("/page.html"), "不是OPML文件"},
        {m_server.Url("/empty.opml"), "列表中没有新闻源"},
        {m_folder.File("no-such.opml"), "找不到文件"},
    };
    for (const auto& [address, reason] : failures) {
        bool subscribed = true;
        const QString text = Subscribe("Broken", address, &subscribed);
        EXPECT_FALSE(subscribed) << address;
        EXPECT_EQ(text, QString::fromUtf8("对不起， 您的OPML当前无法订阅\n原因：") +
                            QString::fromUtf8(reason))
            << address;
        EXPECT_EQ(LiveOutline(), outlineBefore) << address;
        EXPECT_EQ(TreeFile(), treeBefore) << address;
    }
    EXPECT_TRUE(OpmlRows().empty());

    // A list whose every feed the database refuses fails too, and adds no folder.
    ExecSql(m_folder.File("data/data.dat"),
            "create trigger refuse before insert on opml begin select raise(abort, 'no'); end;");
    EXPECT_EQ(Subscribe("Broken", m_server.Url("/list.opml")),
              QString::fromUtf8("对不起， 您的OPML当前无法订阅\n原因：无法保存到数据库"));
    EXPECT_EQ(LiveOutline(), outlineBefore);
    EXPECT_EQ(TreeFile().find("Broken"), std::string::npos);
}

TEST_F(Subscription, AnEmptyTitleOrAddressIsRefusedInTheOpenDialog) {
    Open();
    CTD_OpmlDlg dialog(theStore, *Tree(), Frame());
    dialog.show();
    dialog.TitleEdit()->setText(QStringLiteral("  "));
    dialog.AddressEdit()->setText(QString::fromStdString(m_server.Url("/list.opml")));
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.MessageLabel()->text().startsWith(QString::fromUtf8("请输入标题")));
    dialog.TitleEdit()->setText(QStringLiteral("News"));
    dialog.AddressEdit()->clear();
    dialog.OkButton()->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(
        dialog.MessageLabel()->text().startsWith(QString::fromUtf8("请输入OPML列表的地址")));
    QTest::qWait(50);
    EXPECT_EQ(m_server.HitCount("/list.opml"), 0);
    dialog.reject();
    int folders = 0;
    FolderChildren("News", &folders);
    EXPECT_EQ(folders, 0);
}

TEST_F(Subscription, BrowsePicksALocalListToSubscribeTo) {
    // An outline named only by its text is a channel of that name.
    m_folder.WriteFile("saved.opml",
                       "<opml version=\"1.0\"><body>"
                       "<outline title=\"Tech\" xmlUrl=\"http://feeds.test/tech\"/>"
                       "<outline text=\"Text only\" xmlUrl=\"http://feeds.test/text\"/>"
                       "</body></opml>");
    Open();
    QString box;
    AnswerNextModal<CTD_OpmlDlg>([&](CTD_OpmlDlg* dialog) {
        AnswerNextModal<QFileDialog>([this](QFileDialog* chooser) {
            // As a user does: the whole path typed into the name field, then 打开. A
            // selection made through selectFile can be cleared by the folder the chooser
            // still reads in the background.
            auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(m_folder.File("saved.opml")));
            QMetaObject::invokeMethod(chooser, "accept", Qt::DirectConnection);
        });
        dialog->BrowseButton()->click();
        EXPECT_EQ(dialog->AddressEdit()->text().toStdString(), m_folder.File("saved.opml"));
        dialog->TitleEdit()->setText(QStringLiteral("Saved"));
        dialog->OkButton()->click();
        EXPECT_TRUE(QTest::qWaitFor([dialog] { return dialog->IsSubscribed(); }, 10000));
        box = dialog->MessageLabel()->text();
        dialog->CloseButton()->click();
    });
    Frame()->CommandAction(ID_SUBSCRIBE)->trigger();
    EXPECT_EQ(box, QString::fromUtf8("已订阅 2 个频道"));
    int folders = 0;
    EXPECT_EQ(FolderChildren("Saved", &folders), (std::vector<std::string>{"Tech", "Text only"}));
    EXPECT_EQ(OpmlRows().back(), (Row{"Text only", "http://feeds.test/text", ""}));
}

TEST_F(Subscription, TheWindowKeepsRunningWhileTheListDownloadsAndOkCountsOnce) {
    Open();
    CTD_OpmlDlg dialog(theStore, *Tree(), Frame());
    ASSERT_TRUE(StartStalledSubscription(dialog, "Slow"));

    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 5; }, 5000));
    EXPECT_TRUE(dialog.IsFetching());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.MessageLabel()->text(), QString::fromUtf8("正在读取列表…"));
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    dialog.accept();  // a second OK, by Enter or otherwise, starts nothing
    QTest::qWait(50);
    EXPECT_EQ(m_server.HitCount("/stalled.opml"), 1);
    // Nothing is added before the list is there.
    int folders = 0;
    FolderChildren("Slow", &folders);
    EXPECT_EQ(folders, 0);

    m_server.ReleaseWaiters();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsSubscribed(); }, 10000));
    EXPECT_EQ(dialog.MessageLabel()->text(), QString::fromUtf8("已订阅 3 个频道"));
    dialog.CloseButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(OpmlRows().size(), 4u);
    EXPECT_EQ(FolderChildren("Slow", &folders).size(), 3u);
    EXPECT_EQ(folders, 1);
}

TEST_F(Subscription, CancelAndClosingDuringAFetchChangeNothingAndEndItPromptly) {
    Open();
    const std::string treeBefore = TreeFile();
    const auto started = std::chrono::steady_clock::now();
    {
        CTD_OpmlDlg cancelled(theStore, *Tree(), Frame());
        ASSERT_TRUE(StartStalledSubscription(cancelled, "Cancelled"));
        cancelled.reject();
        EXPECT_FALSE(cancelled.IsFetching());
        QTest::qWait(50);  // a queued report of the abandoned fetch changes nothing either
    }
    {
        CTD_OpmlDlg closed(theStore, *Tree(), Frame());
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/stalled.opml") == 1; }, 10));
        closed.show();
        closed.TitleEdit()->setText(QStringLiteral("Abandoned"));
        closed.AddressEdit()->setText(QString::fromStdString(m_server.Url("/stalled.opml")));
        closed.OkButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/stalled.opml") == 2; }, 5000));
    }
    // The stalled answers would take 30 s each.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(TreeFile(), treeBefore);
    int folders = 0;
    FolderChildren("Cancelled", &folders);
    EXPECT_EQ(folders, 0);
    FolderChildren("Abandoned", &folders);
    EXPECT_EQ(folders, 0);
    EXPECT_TRUE(OpmlRows().empty());
}

TEST_F(Subscription, AFeedThatCannotBeStoredGetsNoChannel) {
    ExecSql(m_folder.File("data/data.dat"),
            "create trigger refuse before insert on opml when new.opml_key = 'O''Reilly' "
            "begin select raise(abort, 'refused'); end;");
    Open();
    EXPECT_EQ(Subscribe("News", m_server.Url("/list.opml")),
              QString::fromUtf8("已订阅 2 个频道，1 个无法订阅"));
    EXPECT_EQ(OpmlRows().size(), 3u);
    int folders = 0;
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll (2)", "足球 (2)"}));

    // Once the feed can be stored, subscribing again adds it.
    ExecSql(m_folder.File("data/data.dat"), "drop trigger refuse;");
    EXPECT_EQ(Subscribe("News", m_server.Url("/list.opml")),
              QString::fromUtf8("已订阅 1 个频道，2 个已存在"));
    EXPECT_EQ(OpmlRows().size(), 4u);
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll (2)", "足球 (2)", "O'Reilly"}));
}

// A list as readers export it: its categories become folders inside the subscription's.
TEST_F(Subscription, CategoriesOfAListBecomeFoldersAtAnyDepth) {
    m_server.Serve("/categories.opml", ReadTestData("opml/categories.opml"), "text/x-opml");
    Open();
    EXPECT_EQ(Subscribe("读者", m_server.Url("/categories.opml")),
              QString::fromUtf8("已订阅 8 个频道，新建 4 个文件夹，跳过 3 个不是新闻源的条目"));
    int folders = 0;
    EXPECT_EQ(FolderChildren("读者", &folders), (std::vector<std::string>{"科技", "新闻", "天气"}));
    CNodeMap& nodes = Tree()->Nodes();
    std::vector<std::string> below;
    for (CNodeMap::Handle handle : nodes.Descendants(nodes.FindById(0))) {
        const CKeywordNode record = nodes.Lookup(handle);
        if (record.type == NODE_KEY && std::string(record.name).starts_with("Hacker News")) {
            below.push_back(std::string(nodes.Lookup(nodes.Parent(handle)).name) + "/" +
                            record.name + (record.searchName ? " searches" : ""));
        }
    }
    EXPECT_EQ(below, (std::vector<std::string>{"科技/Hacker News", "新闻/Hacker News (2)"}));
}

// A failure keeps what was typed, with the address selected to be corrected; OK then tries
// again.
TEST_F(Subscription, AFailureKeepsTheDialogOpenWithTheAddressSelected) {
    Open();
    CTD_OpmlDlg dialog(theStore, *Tree(), Frame());
    dialog.show();
    dialog.TitleEdit()->setText(QStringLiteral("News"));
    const QString wrong = QString::fromStdString(m_server.Url("/no-such-list.opml"));
    dialog.AddressEdit()->setText(wrong);
    dialog.OkButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.IsFetching(); }, 10000));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.IsSubscribed());
    EXPECT_TRUE(dialog.MessageLabel()->text().endsWith(QString::fromUtf8("服务器回答 HTTP 404")));
    EXPECT_EQ(dialog.TitleEdit()->text(), QStringLiteral("News"));
    EXPECT_EQ(dialog.AddressEdit()->selectedText(), wrong);

    dialog.AddressEdit()->setText(QString::fromStdString(m_server.Url("/list.opml")));
    dialog.OkButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsSubscribed(); }, 10000));
    EXPECT_EQ(dialog.MessageLabel()->text(), QString::fromUtf8("已订阅 3 个频道"));
}

// After the summary the dialog follows the new feeds' first fetch and lists the failed ones
// with their reasons; the status bar says the same; the new folder is open and selected.
TEST_F(Subscription, TheNewFeedsFetchIsFollowedAndItsFailuresListed) {
    m_server.Serve("/good.xml",
                   "<rss version=\"2.0\"><channel><title>Good</title><item><title>一条</title>"
                   "<link>http://good.test/1</link></item></channel></rss>",
                   "application/rss+xml");
    const std::string list =
        "<opml version=\"1.0\"><body><outline text=\"分类\">"
        "<outline title=\"Good\" xmlUrl=\"" +
        m_server.Url("/good.xml") +
        "\"/>"
        "<outline title=\"Missing\" xmlUrl=\"" +
        m_server.Url("/missing.xml") +
        "\"/>"
        "</outline><outline text=\"备忘\"/></body></opml>";
    m_server.Serve("/fetched.opml", list, "text/x-opml");
    Open();
    QString status;
    CTD_OpmlDlg dialog(theStore, *Tree(), Frame());
    QObject::connect(&dialog, &CTD_OpmlDlg::Subscribed,
                     [&](const QString& said) { status = said; });
    dialog.show();
    dialog.TitleEdit()->setText(QStringLiteral("Fetched"));
    dialog.AddressEdit()->setText(QString::fromStdString(m_server.Url("/fetched.opml")));
    dialog.OkButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.IsSubscribed(); }, 10000));
    const QString summary =
        QString::fromUtf8("已订阅 2 个频道，新建 1 个文件夹，跳过 1 个不是新闻源的条目");
    EXPECT_EQ(dialog.MessageLabel()->text(), summary);
    EXPECT_EQ(status, summary);
    EXPECT_EQ(dialog.CloseButton()->text(), QString::fromUtf8("关闭"));
    EXPECT_FALSE(dialog.OkButton()->isVisible());
    const CKeywordNode selected = Tree()->Lookup(Tree()->currentItem());
    EXPECT_EQ(selected.name, "Fetched");
    EXPECT_TRUE(Tree()->currentItem()->isExpanded());

    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.FetchesFollowed(); }, 20000))
        << dialog.ProgressLabel()->text().toStdString();
    EXPECT_EQ(
        dialog.ProgressLabel()->text(),
        QString::fromUtf8("2 个新闻源中 1 个获取失败：\nMissing：找不到该页面（HTTP 404）（") +
            QString::fromStdString(m_server.Url("/missing.xml")) + QString::fromUtf8("）"));
    EXPECT_EQ(status, summary + QString::fromUtf8("，1 个新闻源获取失败"));
    dialog.CloseButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}
