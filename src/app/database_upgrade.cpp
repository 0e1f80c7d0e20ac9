#include "app/database_upgrade.h"

#include <QProgressDialog>
#include <atomic>
#include <thread>

#include "app/quillon_app.h"
#include "feeds/feed_store.h"
#include "store/schema.h"

namespace {

constexpr char kTitle[] = "正在升级数据库";
constexpr char kFirstLabel[] = "正在升级数据库，请稍候……";
constexpr char kLabel[] = "正在为已存新闻建立搜索索引：%1 / %2 条";

}  // namespace

void UpgradeDatabaseWithProgress(CFeedStore& store, QWidget* parent) {
    const std::string path = store.DataPath("data/data.dat");
    const int version = StoredSchemaVersion(path);
    if (version < 0 || version >= kSchemaVersion) {
        return;
    }
    // Only building the search index tells its progress; the other steps are quick.
    QProgressDialog dialog(QString::fromUtf8(kFirstLabel), QString(), 0, 0, parent);
    dialog.setWindowTitle(QString::fromUtf8(kTitle));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.show();

    // Set by the upgrade thread as its last act; read by the window thread while it waits.
    std::atomic<bool> done{false};
    std::thread upgrade([&] {
        CAdoConnection connection;
        // Posted to the dialog, which outlives the thread; the window thread paints them while
        // it waits below.
        connection.SetSchemaProgress([&dialog](std::int64_t count, std::int64_t total) {
            QMetaObject::invokeMethod(
                &dialog,
                [&dialog, count, total] {
                    dialog.setMaximum(static_cast<int>(total));
                    dialog.setValue(static_cast<int>(count));
                    dialog.setLabelText(QString::fromUtf8(kLabel).arg(count).arg(total));
                },
                Qt::QueuedConnection);
        });
        connection.Open(path);
        connection.Close();
        done = true;
    });
    CQuillonApp::WaitWhileServicing([&done] { return done.load(); });
    upgrade.join();
}
