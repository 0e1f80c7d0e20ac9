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
#include "model/update_texts.h"

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
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_colours, &QPushButton::clicked, this,
            [this] { CTD_ColrefDlg(m_settings, this).exec(); });

    auto* rows = new QGridLayout(group);
    const std::pair<const char*, QWidget*> controls[] = {{"设置颜色", m_colours},
                                                         {"新闻保留时间", m_retention},
                                                         {"新闻最大页码", m_maxPages},
                                                         {"新闻每页条目", m_items},
                                                         {"新闻当前频道", m_engine},
                                                         {"上次结果", m_results},
                                                         {"自动更新间隔（分钟）", m_interval}};
    int row = 0;
    for (const auto& [label, control] : controls) {
        control->setParent(group);
        rows->addWidget(new QLabel(QString::fromUtf8(label), group), row, 0);
        rows->addWidget(control, row++, 1);
    }
    rows->addWidget(buttons, row, 0, 1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    m_colours->setFocus();
}

QLineEdit* CTD_SysDlg::AddNumberEdit(int value) {
    auto* edit = new QLineEdit(QString::number(value), this);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

void CTD_SysDlg::accept() {
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
