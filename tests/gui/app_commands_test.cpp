#include <QApplication>
#include <QFileDialog>
#include <QMenuBar>
#include <QTimer>

#include "app/command_ids.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"

namespace {

// Answers the next file dialog with `path`.
void AnswerFileDialog(const QString& path) {
    QTimer::singleShot(0, [path] {
        [[maybe_unused]] const bool shown = QTest::qWaitFor(
            [] { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }, 5000);
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->selectFile(path);
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
}

}  // namespace

TEST_F(ReaderWindow, ExportOpmlWritesTheSubscriptionsToTheChosenFile) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values "
            "('足球', 'http://feeds.test/a?x=1&y=2', 'http://a.test/'), "
            "('weather', 'http://feeds.test/w', 'http://w.test/')");
    Open();
    AnswerFileDialog(QString::fromStdString(m_folder.File("feeds")));
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
    ASSERT_TRUE(m_folder.Exists("feeds.opml"));
    const std::string exported = m_folder.ReadFile("feeds.opml");
    EXPECT_NE(
        exported.find("title=\"足球\" type=\"rss\" xmlUrl=\"http://feeds.test/a?x=1&amp;y=2\""),
        std::string::npos)
        << exported;
    EXPECT_NE(exported.find("<ownerName>VellmarkQuillon</ownerName>"), std::string::npos);

    // A name that already ends in .opml keeps its one extension.
    AnswerFileDialog(QString::fromStdString(m_folder.File("again.opml")));
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
    EXPECT_TRUE(m_folder.Exists("again.opml"));
    EXPECT_FALSE(m_folder.Exists("again.opml.opml"));
}

TEST_F(ReaderWindow, TheSkinFileStylesTheWindowUntilExit) {
    m_folder.WriteFile("data/rIrud.ssk", "QTreeView { background: #eeeeff; }");
    Open();
    EXPECT_EQ(qApp->styleSheet(), QStringLiteral("QTreeView { background: #eeeeff; }"));
    Close();
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
}

TEST_F(ReaderWindow, TheRecentFileListKeepsTheLastFour) {
    Open();
    for (int i = 1; i <= 5; ++i) {
        App()->AddRecentFile(QStringLiteral("/tmp/document%1").arg(i));
    }
    EXPECT_EQ(App()->RecentFiles(), (QStringList{"/tmp/document5", "/tmp/document4",
                                                 "/tmp/document3", "/tmp/document2"}));
    int shown = 0;
    for (QAction* action : Frame()->menuBar()->actions().front()->menu()->actions()) {
        shown += action->text().startsWith(QLatin1Char('&')) && action->isVisible();
    }
    EXPECT_EQ(shown, 4);
    EXPECT_FALSE(Frame()->CommandAction(ID_FILE_MRU_FILE1)->isVisible());
}
