#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <array>
#include <memory>

#include "bars/link_panel.h"
#include "bars/search_bar.h"
#include "model/list_mode.h"
#include "page_text.h"
#include "reader_window.h"
#include "views/book_view.h"
#include "views/html_view.h"
#include "views/list_view.h"

namespace {

// The four portals are four sites of their own; the link pages are on the main server.
class Bars : public ReaderWindow {
protected:
    void SetUp() override {
        ReaderWindow::SetUp();
        const char* keys[] = {"portal.baidu", "portal.google", "portal.yahoo", "portal.sohu"};
        std::string conf = "site.publisher = " + m_server.BaseUrl() +
                           "\nlink.tieba = " + m_server.BaseUrl() +
                           "\nlink.schedule = " + m_server.BaseUrl() + "\n";
        for (int i = 0; i < 4; ++i) {
            m_portals[static_cast<std::size_t>(i)] = std::make_unique<LocalHttpServer>();
            LocalHttpServer& portal = *m_portals[static_cast<std::size_t>(i)];
            portal.Serve("/", "<html><body>portal</body></html>", "text/html");
            conf += std::string(keys[i]) + " = " + portal.BaseUrl() + "\n";
        }
        m_folder.WriteFile("data/services.conf", conf);
        m_server.Serve("/typed", "<html><body>typed</body></html>", "text/html");
    }

    static CTD_FormView* Bar() { return Frame()->SearchBar(); }

    // The panes keep their sizes: the list is never hidden by a page the bars open.
    static void ExpectSizesKept(const QList<int>& listSizes) {
        EXPECT_EQ(Frame()->ListSplitter()->sizes(), listSizes);
        EXPECT_GT(Frame()->ListSplitter()->sizes()[0], 0);
        EXPECT_EQ(Frame()->RightSplitter()->sizes()[0], 30);
    }

    // Whether the browser pane asked `server` for `target` (path and query as sent).
    static bool Requested(const LocalHttpServer& server, const std::string& target) {
        return QTest::qWaitFor(
            [&] {
                const std::vector<std::string> targets = server.Targets();
                return std::find(targets.begin(), targets.end(), target) != targets.end();
            },
            10000);
    }

    std::array<std::unique_ptr<LocalHttpServer>, 4> m_portals;
};

}  // namespace

TEST_F(Bars, PortalButtonsOpenTheirHomePagesAndKeepTheList) {
    Open();
    const QList<int> sizes = Frame()->ListSplitter()->sizes();
    const int ids[] = {CTD_FormView::kBaidu, CTD_FormView::kGoogle, CTD_FormView::kYahoo,
                       CTD_FormView::kSohu};
    for (int i = 0; i < 4; ++i) {
        ClickItem(ItemNamed("weather"));
        Bar()->Button(ids[i])->click();
        EXPECT_TRUE(Requested(*m_portals[static_cast<std::size_t>(i)], "/")) << ids[i];
        ExpectSizesKept(sizes);
    }
    const QUrl sohu(QString::fromStdString(m_portals[3]->BaseUrl() + "/"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return HtmlView()->url() == sohu; }, 10000));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Bar()->AddressEdit()->text() == sohu.toString(); }, 10000));
}

TEST_F(Bars, GoAndEnterOpenTheTypedAddress) {
    Open();
    const QList<int> sizes = Frame()->ListSplitter()->sizes();
    EXPECT_EQ(Bar()->AddressEdit()->text(), QStringLiteral("http://"));
    Bar()->AddressEdit()->setText(QString::fromStdString(m_server.Url("/typed")));
    Bar()->Button(CTD_FormView::kGo)->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/typed") == 1; }, 10000));
    ExpectSizesKept(sizes);

    ClickItem(ItemNamed("weather"));
    QTest::keyClick(Bar()->AddressEdit(), Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/typed") == 2; }, 10000));
    // Enter on one of the bar's buttons does the same.
    QTest::keyClick(Bar()->Button(CTD_FormView::kToday), Qt::Key_Enter);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_server.HitCount("/typed") == 3; }, 10000));
    EXPECT_EQ(g_nListMode.load(), kListModeAll);
    ExpectSizesKept(sizes);
}

TEST_F(Bars, ListButtonsSwitchTheListPlace) {
    Open();
    Bar()->Button(CTD_FormView::kBaidu)->click();

    Bar()->Button(CTD_FormView::kToday)->click();
    EXPECT_EQ(g_nListMode.load(), kListModeToday);
    EXPECT_NE(qobject_cast<CTD_ListView*>(Frame()->ListPlace()), nullptr);
    EXPECT_GT(Frame()->ListSplitter()->sizes()[0], 0);

    Bar()->Button(CTD_FormView::kNewspaper)->click();
    EXPECT_EQ(g_nListMode.load(), kListModeBook);
    EXPECT_NE(qobject_cast<CTD_BookView*>(Frame()->ListPlace()), nullptr);
    EXPECT_EQ(Frame()->ListSplitter()->sizes()[0], 0);

    Bar()->Button(CTD_FormView::kBaidu)->click();
    Bar()->Button(CTD_FormView::kAllNews)->click();
    EXPECT_EQ(g_nListMode.load(), kListModeAll);
    ASSERT_NE(g_pListView, nullptr);
    EXPECT_EQ(g_pListView->model()->rowCount(), 0);
    EXPECT_GT(Frame()->ListSplitter()->sizes()[0], 0);
}

TEST_F(Bars, NewspaperWaitsForARunningLoadToStop) {
    AddTodaysItems("weather", 3000);
    Open();
    ClickItem(ItemNamed("weather"));
    // The loader pauses after its first 200 rows.
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() >= 200; }, 10000));
    ASSERT_TRUE(g_pListView->List().IsBusy());
    CTD_ListView* list = g_pListView;
    Bar()->Button(CTD_FormView::kNewspaper)->click();
    EXPECT_EQ(Frame()->ListPlace(), list);
    EXPECT_EQ(g_nListMode.load(), kListModeAll);

    // The load stops at its next step rather than reading on to its end.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list->List().IsBusy(); }, 10000));
    EXPECT_LT(list->List().RowCount(), 1000);
    Bar()->Button(CTD_FormView::kNewspaper)->click();
    EXPECT_NE(qobject_cast<CTD_BookView*>(Frame()->ListPlace()), nullptr);
    EXPECT_EQ(g_nListMode.load(), kListModeBook);
}

TEST_F(Bars, LinkPanelButtonsOpenTheirFixedPages) {
    Open();
    const std::pair<int, const char*> links[] = {
        {CTD_LeftFormView::kForum,
         "/f?ct=&tn=&rn=&pn=&lm=&sc=&kw=%CA%C0%BD%E7%B1%AD&rs2=0&myselectvalue=1"
         "&word=%CA%C0%BD%E7%B1%AD&submit=%B0%D9%B6%C8%CB%D1%CB%F7&tb=on"},
        {CTD_LeftFormView::kSchedule, "/2006.htm"},
        {CTD_LeftFormView::kLive, "/RSS_APPLICATION/worldcup_video.html"},
        {CTD_LeftFormView::kBoard, "/RSS_DOCUMENT/BBSLIST/"},
        {CTD_LeftFormView::kChat, "/rss_chat/lb22/default.asp"},
    };
    const char* texts[] = {"世界杯贴吧", "赛程表", "世界杯直播", "世界杯论坛", "侃世界杯"};
    int i = 0;
    for (const auto& [id, target] : links) {
        QPushButton* button = Frame()->LinkPanel()->Button(id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(texts[i++]));
        ClickItem(ItemNamed("weather"));
        const QList<int> sizes = Frame()->ListSplitter()->sizes();
        button->click();
        EXPECT_TRUE(Requested(m_server, target)) << target;
        ExpectSizesKept(sizes);
    }
}
