// The window's start: its data folder from the environment, a refusal it explains, its icon.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/data_folder_check.h"
#include "app/quillon_app.h"
#include "feeds/feed_store.h"
#include "support/sqlite_rows.h"
#include "support/temp_data_folder.h"
#include "views/app_icons.h"

namespace {

// Points QUILLON_DATA at `folder` for one test.
class DataFolderVariable {
public:
    explicit DataFolderVariable(const std::string& folder) {
        setenv("QUILLON_DATA", folder.c_str(), 1);
    }
    ~DataFolderVariable() { unsetenv("QUILLON_DATA"); }
    DataFolderVariable(const DataFolderVariable&) = delete;
    DataFolderVariable& operator=(const DataFolderVariable&) = delete;
};

// Runs PrepareDataFolder, closing any message box it shows; `shown` gets the box's text.
bool PrepareClosingTheBox(QString* shown) {
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&closer, shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *shown = box->text();
            box->accept();
            closer.stop();
        }
    });
    closer.start(20);
    return PrepareDataFolder(nullptr);
}

}  // namespace

TEST(WindowDataFolder, TheFolderTheEnvironmentNamesIsLaidOutAndUsed) {
    TempDataFolder parent;
    const std::string folder = parent.File("reader");
    DataFolderVariable variable(folder);
    QString shown;
    ASSERT_TRUE(PrepareClosingTheBox(&shown)) << shown.toStdString();
    EXPECT_TRUE(shown.isEmpty());
    EXPECT_EQ(theStore.StartDirectory(), folder);
    EXPECT_EQ(theStore.ConnectionString(), folder + "/data/data.dat");
    EXPECT_EQ(QueryRows(folder + "/data/data.dat", "select count(*) from opml"), (Rows{{"0"}}));
    EXPECT_TRUE(parent.Exists("reader/document/keywordlist.xml"));
}

TEST(WindowDataFolder, ARefusedDatabaseIsExplainedAndTheWindowDoesNotOpen) {
    TempDataFolder folder;
    folder.CreateDatabase();
    ExecSql(folder.File("data/data.dat"), "drop table opml");
    const std::string before = theStore.StartDirectory();
    DataFolderVariable variable(folder.Path());
    QString shown;
    EXPECT_FALSE(PrepareClosingTheBox(&shown));
    EXPECT_TRUE(shown.contains(QString::fromStdString(folder.File("data/data.dat"))))
        << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8("缺少数据表：opml"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QString::fromUtf8("不会被重建"))) << shown.toStdString();
    EXPECT_EQ(theStore.StartDirectory(), before);
    EXPECT_FALSE(folder.Exists("data/sysdata.dat"));
}

TEST(WindowIcon, TheApplicationShowsItsIconAtEveryInstalledSize) {
    const QIcon icon = ApplicationIcon();
    for (const int size : kApplicationIconSizes) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        EXPECT_EQ(icon.pixmap(size, size).size(), QSize(size, size)) << size;
    }
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    EXPECT_EQ(QApplication::windowIcon().availableSizes(), icon.availableSizes());
}
