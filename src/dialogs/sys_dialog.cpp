#include "dialogs/sys_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <algorithm>

#include "base/text_util.h"
#include "dialogs/colour_dialog.h"
#include "dialogs/proxy_group.h"
#include "model/update_texts.h"
#include "store/proxy_settings.h"

const char* const CTD_SysDlg::kEngineNames[CSysData::kEngineCount] = {
    kSearchEngineNames[0], kSearchEngineNames[1], kSearchEngineNames[2], kSearchEngineNames[3]};

namespace {

constexpr int kEditCharacters = 15;

}  // namespace

int CTD_SysDlg::SettingFromText(const QString& text, int minimum, int maximum) {
    return std::clamp(ParseLeadingInt(text.left(kEditCharacters).toStdString()), minimum, maximum);
}

CTD_SysDlg::CTD_SysDlg(CSysData& settings, CAppSettings& moreSettings,
                       const std::vector<std::string>& serviceResults, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_moreSettings(moreSettings) {
    setWindowTitle(QString::fromUtf8("系统设置"));
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        m_openingColours[static_cast<std::size_t>(slot)] = m_settings.CategoryColour(slot);
    }
    auto* group = new QGroupBox(QString::fromUtf8("系统设置"), this);
    m_colours = new QPushButton(QString::fromUtf8("设置"), group);
    m_retention = AddNumberEdit(m_settings.RetentionDays());
    m_maxPages = AddNumberEdit(m_settings.MaxPages());
    m_items = AddNumberEdit(m_settings.ItemsPerPage());
    m_engine = new QComboBox(group);
    m_engine->setEditable(true);
    m_engine->setInsertPolicy(QComboBox::NoInsert);
    for (int index = 0; index < CSysData::kEngineCount; ++index) {
        m_engine->insertItem(index, QString::fromUtf8(kEngineNames[index]));
    }
    const int engine = m_settings.SearchEngine();
    m_engine->setEditText(engine >= 0 && engine < CSysData::kEngineCount
                              ? QString::fromUtf8(kEngineNames[engine])
                              : QString());
    QStringList results;
    for (std::size_t index = 0; index < serviceResults.size() && index < 4; ++index) {
        results << QString::fromUtf8(kEngineNames[index]) + QString::fromUtf8("：") +
                       QString::fromStdString(serviceResults[index]);
    }
    m_results = new QLabel(results.join(QLatin1Char('\n')), group);
    m_interval = AddNumberEdit(m_moreSettings.Get(CAppSettings::kUpdateIntervalMinutes));

    auto* buttons = new QDialogButtonBox(group);
    buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &CTD_SysDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTD_SysDlg::reject);
    connect(m_colours, &QPushButton::clicked, this,
            [this] { CTD_ColrefDlg(m_settings, this).exec(); });

    auto* rows = new QGridLayout(group);
    const struct {
        const char* label;
        QWidget* control;
        const char* unit;
    } controls[] = {{"设置颜色", m_colours, ""},         {"新闻保留时间", m_retention, "天"},
                    {"新闻最大页码", m_maxPages, "页"},  {"新闻每页条目", m_items, "条"},
                    {"搜索服务", m_engine, ""},          {"上次结果", m_results, ""},
                    {"自动更新间隔", m_interval, "分钟"}};
    int row = 0;
    for (const auto& [label, control, unit] : controls) {
        control->setParent(group);
        rows->addWidget(new QLabel(QString::fromUtf8(label), group), row, 0);
        rows->addWidget(control, row, 1);
        if (*unit != '\0') {
            rows->addWidget(new QLabel(QString::fromUtf8(unit), group), row, 2);
        }
        ++row;
    }
    auto* pagesNote =
        new QLabel(QString::fromUtf8("新闻最大页码为 0 时不搜索，订阅的新闻源照常更新。"), group);
    pagesNote->setObjectName(QStringLiteral("maxPagesNote"));
    rows->addWidget(pagesNote, row++, 0, 1, 2);
    m_proxy = new CProxyGroup(group);
    m_proxy->Show(LoadProxySetting(m_moreSettings));
    rows->addWidget(m_proxy, row++, 0, 1, 3);
    m_message = new QLabel(group);
    m_message->setWordWrap(true);
    m_message->hide();
    rows->addWidget(m_message, row++, 0, 1, 3);
    rows->addWidget(buttons, row, 0, 1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    m_colours->setFocus();
}

QLineEdit* CTD_SysDlg::AddNumberEdit(int value) {
    auto* edit = new QLineEdit(QString::number(value), this);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    // A note on values brought into range is stale once the user has put every value in range.
    connect(edit, &QLineEdit::textEdited, this, [this] {
        if (m_message->isVisible() && OutOfRange().empty()) {
            m_message->hide();
        }
    });
    return edit;
}

std::vector<CTD_SysDlg::RangeFix> CTD_SysDlg::OutOfRange() const {
    struct Field {
        QLineEdit* edit;
        const char* name;
        const char* unit;
        int minimum;
        int maximum;
    };
    const Field fields[] = {
        {m_retention, "新闻保留时间", "天", CSysData::kMinRetentionDays,
         CSysData::kMaxRetentionDays},
        {m_maxPages, "新闻最大页码", "页", CSysData::kMinMaxPages, CSysData::kMaxMaxPages},
        {m_items, "新闻每页条目", "条", CSysData::kMinItemsPerPage, CSysData::kMaxItemsPerPage},
        {m_interval, "自动更新间隔", "分钟", CAppSettings::kUpdateIntervalMinutes.minimum,
         CAppSettings::kUpdateIntervalMinutes.maximum},
    };
    std::vector<RangeFix> fixes;
    for (const Field& field : fields) {
        const int typed = ParseLeadingInt(field.edit->text().left(kEditCharacters).toStdString());
        const int value = std::clamp(typed, field.minimum, field.maximum);
        if (value != typed) {
            fixes.push_back({field.edit, value,
                             QString::fromUtf8("%1 %2为 %3 %4")
                                 .arg(QString::fromUtf8(field.name),
                                      QString::fromUtf8(value == field.maximum ? "最大" : "最小"))
                                 .arg(value)
                                 .arg(QString::fromUtf8(field.unit))});
        }
    }
    return fixes;
}

QStringList CTD_SysDlg::BringIntoRange() {
    QStringList changes;
    for (const RangeFix& fix : OutOfRange()) {
        fix.edit->setText(QString::number(fix.value));
        changes << fix.text;
    }
    return changes;
}

void CTD_SysDlg::accept() {
    const QStringList changes = BringIntoRange();
    if (!changes.isEmpty()) {
        m_message->setText(changes.join(QLatin1Char('\n')) +
                           QString::fromUtf8("\n已改为允许的值，请按“确定”保存。"));
        m_message->show();
        return;
    }
    if (const QString problem = m_proxy->Problem(); !problem.isEmpty()) {
        m_message->setText(problem);
        m_message->show();
        return;
    }
    SaveProxySetting(m_moreSettings, m_proxy->Proxy());
    m_settings.SetRetentionDays(SettingFromText(m_retention->text(), CSysData::kMinRetentionDays,
                                                CSysData::kMaxRetentionDays));
    m_settings.SetMaxPages(
        SettingFromText(m_maxPages->text(), CSysData::kMinMaxPages, CSysData::kMaxMaxPages));
    m_settings.SetItemsPerPage(
        SettingFromText(m_items->text(), CSysData::kMinItemsPerPage, CSysData::kMaxItemsPerPage));
    const CAppSettings::IntKey& interval = CAppSettings::kUpdateIntervalMinutes;
    m_moreSettings.Set(interval,
                       SettingFromText(m_interval->text(), interval.minimum, interval.maximum));
    // A name that is not in the table keeps the engine as it was.
    const std::string typed = m_engine->currentText().toStdString();
    for (int index = 0; index < CSysData::kEngineCount; ++index) {
        if (EqualsIgnoreAsciiCase(typed, kEngineNames[index])) {
            m_settings.SetSearchEngine(index);
            break;
        }
    }
    QDialog::accept();
}

void CTD_SysDlg::SetProxyPassword(const std::string& password) {
    FetchProxy proxy = m_proxy->Proxy();
    proxy.password = password;
    m_proxy->Show(proxy);
}

std::string CTD_SysDlg::ProxyPassword() const {
    return m_proxy->Proxy().password;
}

void CTD_SysDlg::reject() {
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        m_settings.SetCategoryColour(slot, m_openingColours[static_cast<std::size_t>(slot)]);
    }
    QDialog::reject();
}
