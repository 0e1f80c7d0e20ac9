#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTranslator>

#include "app/qt_translations.h"
#include "feeds/opml_document.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/command_ids.h"

namespace {

// Types `path` as the file name and presses the dialog's button. (selectFile leaves the name
// alone once the name edit has the focus.)
void ChooseFile(QFileDialog* dialog, const QString& path) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setText(path);
    QMetaObject::invokeMethod(dialog, "accept");
}

// Answers the next file dialog with `path`, noting whether it was the save form.
void AnswerFileDialog(const QString& path, bool* saveForm = nullptr) {
    AnswerNextModal<QFileDialog>([path, saveForm](QFileDialog* dialog) {
        if (saveForm) {
            *saveForm = dialog->acceptMode() == QFileDialog::AcceptSave;
        }
        ChooseFile(dialog, path);
    });
}

}  // namespace

TEST_F(ReaderWindow, ExportOpmlWritesTheSubscriptionsToTheChosenFile) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into opml (opml_key, opml_xml_url, opml_html_url) values "
            "('足球', 'http://feeds.test/a?x=1&y=2', 'http://a.test/'), "
            "('Rock ''n'' Roll', 'http://feeds.test/w', 'http://w.test/')");
    Open();
    bool saveForm = false;
    AnswerFileDialog(QString::fromStdString(m_folder.File("feeds")), &saveForm);
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
    EXPECT_TRUE(saveForm);
    ASSERT_TRUE(m_folder.Exists("feeds.opml"));
    const std::string exported = m_folder.ReadFile("feeds.opml");
    EXPECT_NE(
        exported.find("title=\"足球\" type=\"rss\" xmlUrl=\"http://feeds.test/a?x=1&amp;y=2\""),
        std::string::npos)
        << exported;
    EXPECT_NE(exported.find("<ownerName>VellmarkQuillon</ownerName>"), std::string::npos);
    EXPECT_TRUE(Frame()->StatusText().startsWith(QString::fromUtf8("已导出 ")))
        << Frame()->StatusText().toStdString();
    // Another reader gets the same subscriptions back.
    COpmlDocument reread;
    ASSERT_TRUE(reread.ReadOutlines(m_folder.File("feeds.opml"), AddressOrigin::kTypedByUser));
    std::vector<std::string> feeds;
    for (const COpmlOutline& outline : reread.ReadList()) {
        if (outline.kind == COpmlOutline::kFeed) {
            feeds.push_back(std::string(outline.title) + " " + outline.xmlUrl + " " +
                            outline.htmlUrl);
        }
    }
    EXPECT_EQ(feeds,
              (std::vector<std::string>{"足球 http://feeds.test/a?x=1&y=2 http://a.test/",
                                        "Rock 'n' Roll http://feeds.test/w http://w.test/"}));

    // A name that already ends in .opml keeps its one extension.
    AnswerFileDialog(QString::fromStdString(m_folder.File("again.opml")));
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
    EXPECT_TRUE(m_folder.Exists("again.opml"));
    EXPECT_FALSE(m_folder.Exists("again.opml.opml"));
}

TEST_F(ReaderWindow, ExportOpmlAsksBeforeReplacingAndWritesNothingOnCancel) {
    m_folder.WriteFile("old.opml", "keep me");
    m_folder.WriteFile("list.xml.opml", "keep me too");
    Open();
    AnswerNextModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();

    // The dialog asks about a file it would replace; "No" keeps it.
    const struct {
        const char* chosen;
        const char* replaced;
        const char* kept;
    } cases[] = {{"old.opml", "old.opml", "keep me"}, {"list.xml", "list.xml.opml", "keep me too"}};
    for (const auto& replace : cases) {
        QString question;
        AnswerNextModal<QFileDialog>([&](QFileDialog* dialog) {
            AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
                question = box->text();
                box->button(QMessageBox::No)->click();
            });
            ChooseFile(dialog, QString::fromStdString(m_folder.File(replace.chosen)));
            if (dialog->isVisible()) {
                dialog->reject();
            }
        });
        Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
        EXPECT_TRUE(question.contains(QLatin1String(replace.replaced)))
            << replace.chosen << ": " << question.toStdString();
        EXPECT_EQ(m_folder.ReadFile(replace.replaced), replace.kept);
    }
    EXPECT_FALSE(m_folder.Exists("list.xml"));
}

TEST_F(ReaderWindow, AnExportThatWritesNothingSaysSo) {
    Open();
    theStore.Close();
    QString message;
    AnswerFileDialog(QString::fromStdString(m_folder.File("feeds.opml")));
    AnswerNextModal<QMessageBox>([&](QMessageBox* box) {
        message = box->text();
        box->accept();
    });
    Frame()->CommandAction(ID_EXPORT_OPML)->trigger();
    EXPECT_TRUE(message.startsWith(QString::fromUtf8("对不起， 您的OPML当前无法导出")))
        << message.toStdString();
    EXPECT_FALSE(m_folder.Exists("feeds.opml"));
}

TEST_F(ReaderWindow, StandardDialogsSpeakTheLocalesLanguageOrChinese) {
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
    const struct {
        QLocale locale;
        const char* language;
    } cases[] = {{QLocale::c(), "zh_CN"},
                 {QLocale(QLocale::German, QLocale::Germany), "de"},
                 {QLocale(QLocale::Chinese, QLocale::Taiwan), "zh_TW"},
                 {QLocale(QLocale::Swahili, QLocale::Kenya), "zh_CN"}};
    for (const auto& expected : cases) {
        const std::unique_ptr<QTranslator> translator = LoadQtTranslations(expected.locale);
        ASSERT_NE(translator, nullptr) << expected.language;
        EXPECT_TRUE(translator->language().startsWith(QLatin1String(expected.language)))
            << translator->language().toStdString();
    }
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
