#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "app/quillon_doc.h"
#include "dialogs/colour_dialog.h"
#include "dialogs/colour_swatch.h"
#include "dialogs/sys_dialog.h"
#include "modal.h"
#include "reader_window.h"
#include "support/sqlite_rows.h"
#include "views/command_ids.h"
#include "views/list_view.h"

namespace {

class Settings : public ReaderWindow {
protected:
    static CSysData& Record() { return theStore.Settings(); }
};

// The colour painted in the middle of `widget`.
QColor CentreColour(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

}  // namespace

TEST_F(Settings, TheDialogOpensOnTheRecordAndOkStoresEachFieldWithinItsRange) {
    Open();
    {
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        EXPECT_EQ(dialog.RetentionEdit()->text(), QStringLiteral("30"));
        EXPECT_EQ(dialog.MaxPagesEdit()->text(), QStringLiteral("5"));
        EXPECT_EQ(dialog.ItemsEdit()->text(), QStringLiteral("50"));
        EXPECT_EQ(dialog.EngineBox()->currentText(), QString::fromUtf8("百度"));
        ASSERT_EQ(dialog.EngineBox()->count(), 4);
        EXPECT_EQ(dialog.EngineBox()->itemText(3), QString::fromUtf8("搜狗"));
        // The edits take digits only.
        dialog.RetentionEdit()->clear();
        QTest::keyClicks(dialog.RetentionEdit(), QStringLiteral("1a-2 3"));
        EXPECT_EQ(dialog.RetentionEdit()->text(), QStringLiteral("123"));
    }

    struct Edge {
        const char* retention;
        const char* maxPages;
        const char* items;
        int retentionDays;
        int pages;
        int itemsPerPage;
    };
    const Edge edges[] = {
        {"", "", "", 1, 0, 1},  // no digits read as 0: no pages, the least of the others
        {"0", "0", "0", 1, 0, 1},
        {"7", "2", "20", 7, 2, 20},
        {"36500", "100", "100", 36500, 100, 100},
        {"36501", "101", "101", 36500, 100, 100},
        {"99999999999999999999", "99999999999999999999", "99999999999999999999", 36500, 100, 100},
        {"007", "01", "0050", 7, 1, 50},
    };
    for (const Edge& edge : edges) {
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        dialog.RetentionEdit()->setText(QString::fromLatin1(edge.retention));
        dialog.MaxPagesEdit()->setText(QString::fromLatin1(edge.maxPages));
        dialog.ItemsEdit()->setText(QString::fromLatin1(edge.items));
        dialog.accept();
        EXPECT_EQ(Record().RetentionDays(), edge.retentionDays) << edge.retention;
        EXPECT_EQ(Record().MaxPages(), edge.pages) << edge.maxPages;
        EXPECT_EQ(Record().ItemsPerPage(), edge.itemsPerPage) << edge.items;
    }
}

TEST_F(Settings, OkAppliesTheEngineByNameAndCancelKeepsTheRecord) {
    Open();
    const struct {
        const char* typed;
        int engine;
    } names[] = {{"google", 1}, {"雅虎", 2}, {"Bing", 2}, {"", 2}, {"SOGOU", 2}, {"搜狗", 3}};
    for (const auto& name : names) {
        CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
        dialog.EngineBox()->setEditText(QString::fromUtf8(name.typed));
        dialog.accept();
        EXPECT_EQ(Record().SearchEngine(), name.engine) << name.typed;
    }

    const CSysData before = Record();
    CTD_SysDlg dialog(theStore.Settings(), theStore.MoreSettings(), {}, Frame());
    dialog.RetentionEdit()->setText(QStringLiteral("9"));
    dialog.MaxPagesEdit()->setText(QStringLiteral("9"));
    dialog.ItemsEdit()->setText(QStringLiteral("9"));
    dialog.EngineBox()->setEditText(QStringLiteral("Google"));
    dialog.reject();
    EXPECT_EQ(Record().ToBytes(), before.ToBytes());
}

TEST_F(Settings, AChosenColourIsStoredKeptAfterCancelPaintedAndSaved) {
    ExecSql(m_folder.File("data/data.dat"),
            "insert into channel (ID, rss_title) values (1, 'weather');"
            "insert into item (rss_channelID, rss_title, rss_pubDate, rss_source) values "
            "(1, 'Sunny', date('now'), 'S');");
    Open();
    g_pListView->List().pacing().SetEnabled(false);
    ClickItem(ItemNamed("weather"));
    ASSERT_TRUE(QTest::qWaitFor([] { return g_pListView->model()->rowCount() == 1; }, 5000));
    QSignalSpy changed(g_pDocument, &CQuillonDoc::SettingsChanged);
    const QColor chosen(10, 120, 30);
    QColor chooserStart;
    QColor swatchBefore;
    QColor swatchAfter;

    // 系统设置, then 设置, then the 今日新闻 swatch, a colour and OK; the settings dialog
    // itself is cancelled.
    AnswerNextModal<CTD_SysDlg>([&](CTD_SysDlg* settings) {
        AnswerNextModal<CTD_ColrefDlg>([&](CTD_ColrefDlg* colours) {
            swatchBefore = CentreColour(colours->Swatch(0));
            AnswerNextModal<QColorDialog>([&](QColorDialog* chooser) {
                chooserStart = chooser->currentColor();
                chooser->setCurrentColor(chosen);
                chooser->accept();
            });
            colours->Swatch(0)->click();
            swatchAfter = CentreColour(colours->Swatch(0));
            // A chooser that is cancelled changes nothing.
            AnswerNextModal<QColorDialog>([](QColorDialog* chooser) {
                chooser->setCurrentColor(Qt::white);
                chooser->reject();
            });
            colours->Swatch(1)->click();
            colours->reject();
        });
        settings->ColourButton()->click();
        settings->reject();
    });
    Frame()->CommandAction(ID_SYSTEM_SETTINGS)->trigger();

    EXPECT_EQ(chooserStart, QColor(Qt::black));
    EXPECT_EQ(swatchBefore, QColor(100, 100, 250));
    EXPECT_EQ(swatchAfter, chosen);
    EXPECT_EQ(Record().CategoryColour(0), ToColourReference(chosen));
    EXPECT_EQ(Record().CategoryColour(1), 0x00FA64FAu);
    EXPECT_EQ(changed.count(), 1);

    // The list paints today's row in the new colour.
    const QRect cell = g_pListView->visualRect(g_pListView->model()->index(0, 1));
    const QImage list = g_pListView->viewport()->grab().toImage();
    EXPECT_EQ(list.pixelColor(cell.right() - 3, cell.center().y()), chosen);

    Close();
    const std::string saved = m_folder.ReadFile("data/sysdata.dat");
    ASSERT_GE(saved.size(), 20u);
    EXPECT_EQ(static_cast<unsigned char>(saved[16]), 10);
    EXPECT_EQ(static_cast<unsigned char>(saved[17]), 120);
    EXPECT_EQ(static_cast<unsigned char>(saved[18]), 30);
}
