#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "dialogs/opml_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
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

    // "我要订阅" with `title` and `address`, OK pressed; returns once the dialog has closed.
    void Subscribe(const std::string& title, const std::string& address) {
        AnswerNextModal<CTD_OpmlDlg>([title, address](CTD_OpmlDlg* dialog) {
            dialog->TitleEdit()->setText(QString::fromStdString(title));
            dialog->AddressEdit()->setText(QString::fromStdString(address));
            dialog->OkButton()->click();
        });
        Frame()->CommandAction(ID_SUBSCRIBE)->trigger();
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
    Subscribe("News", m_server.Url("/list.opml"));
    const Rows rows = {{"Rock 'n' Roll", "http://feeds.test/rock'n'roll", "http://rock.test/"},
                       {"足球", "http://feeds.test/football", ""},
                       {"足球", "http://feeds.test/football-2", ""},
                       {"O'Reilly", "http://feeds.test/oreilly", ""}};
    EXPECT_EQ(OpmlRows(), rows);
    int folders = 0;
    const std::vector<std::string> channels = {"Rock 'n' Roll", "足球", "O'Reilly"};
    EXPECT_EQ(FolderChildren("News", &folders), channels);
    EXPECT_EQ(folders, 1);
    const std::vector<std::string> keywords = theStore.Engine().Keywords();
    EXPECT_EQ(std::count(keywords.begin(), keywords.end(), "O'Reilly"), 1);
    EXPECT_NE(m_folder.ReadFile("document/keywordlist.xml").find("O'Reilly"), std::string::npos);

    // The same list again changes nothing.
    Subscribe("News", m_server.Url("/list.opml"));
    EXPECT_EQ(OpmlRows(), rows);
    EXPECT_EQ(FolderChildren("News", &folders), channels);
    EXPECT_EQ(folders, 1);

    // A folder of that name in other letter case takes the new channels of a wrapped list.
    Subscribe("NEWS", m_server.Url("/wrapped.opml"));
    EXPECT_EQ(OpmlRows().size(), 5u);
    EXPECT_EQ(OpmlRows().back(), (Row{"Tech", "http://feeds.test/tech", ""}));
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll", "足球", "O'Reilly", "Tech"}));
    FolderChildren("NEWS", &folders);
    EXPECT_EQ(folders, 0);
}

TEST_F(Subscription, AnUnreachableListLeavesAnEmptyFolderAndNoMessage) {
    std::string gone;
    {
        LocalHttpServer closed;
        gone = closed.Url("/list.opml");
    }
    Open();
    QString message;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (message.isEmpty()) {
            message = OpenMessageBoxText();
        }
    });
    watcher.start(10);
    Subscribe("Gone", gone);
    Subscribe("Missing", m_server.Url("/no-such-list.opml"));
    watcher.stop();
    EXPECT_TRUE(message.isEmpty()) << message.toStdString();
    int folders = 0;
    EXPECT_TRUE(FolderChildren("Gone", &folders).empty());
    EXPECT_EQ(folders, 1);
    EXPECT_TRUE(FolderChildren("Missing", &folders).empty());
    EXPECT_EQ(folders, 1);
    EXPECT_TRUE(OpmlRows().empty());
}

TEST_F(Subscription, TheWindowKeepsRunningWhileTheServerStallsAndOkCountsOnce) {
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
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    dialog.accept();  // a second OK, by Enter or otherwise, starts nothing
    QTest::qWait(50);
    EXPECT_EQ(m_server.HitCount("/stalled.opml"), 1);

    m_server.ReleaseWaiters();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 10000));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(OpmlRows().size(), 4u);
    int folders = 0;
    EXPECT_EQ(FolderChildren("Slow", &folders).size(), 3u);
    EXPECT_EQ(folders, 1);
}

TEST_F(Subscription, ClosingTheDialogDuringAFetchAbandonsItPromptly) {
    Open();
    const auto started = std::chrono::steady_clock::now();
    {
        CTD_OpmlDlg dialog(theStore, *Tree(), Frame());
        dialog.show();
        dialog.TitleEdit()->setText(QStringLiteral("Abandoned"));
        dialog.AddressEdit()->setText(QString::fromStdString(m_server.Url("/stalled.opml")));
        dialog.OkButton()->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/stalled.opml") == 1; }, 5000));
    }
    // The stalled answer would take 30 s.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    int folders = 0;
    EXPECT_TRUE(FolderChildren("Abandoned", &folders).empty());
    EXPECT_EQ(folders, 1);
    EXPECT_TRUE(OpmlRows().empty());
}

TEST_F(Subscription, AFeedThatCannotBeStoredGetsNoChannel) {
    ExecSql(m_folder.File("data/data.dat"),
            "create trigger refuse before insert on opml when new.opml_key = 'O''Reilly' "
            "begin select raise(abort, 'refused'); end;");
    Open();
    Subscribe("News", m_server.Url("/list.opml"));
    EXPECT_EQ(OpmlRows().size(), 3u);
    int folders = 0;
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll", "足球"}));

    // Once the feed can be stored, subscribing again adds it.
    ExecSql(m_folder.File("data/data.dat"), "drop trigger refuse;");
    Subscribe("News", m_server.Url("/list.opml"));
    EXPECT_EQ(OpmlRows().size(), 4u);
    EXPECT_EQ(FolderChildren("News", &folders),
              (std::vector<std::string>{"Rock 'n' Roll", "足球", "O'Reilly"}));
}
