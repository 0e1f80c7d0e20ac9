#include "dialogs/colour_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/colour_swatch.h"

const char* const CTD_ColrefDlg::kLabels[CSysData::kCategoryCount] = {
    "今日新闻", "昨日新闻", "本周新闻", "上周新闻", "本月新闻", "上月新闻", "今年新闻", "早期新闻"};

CTD_ColrefDlg::CTD_ColrefDlg(CSysData& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        m_openingColours[static_cast<std::size_t>(slot)] = m_settings.CategoryColour(slot);
    }
    auto* group = new QGroupBox(QString::fromUtf8("设置颜色"), this);
    auto* rows = new QGridLayout(group);
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        auto* swatch = new CTD_ColrefButton(m_settings, slot, group);
        m_swatches[static_cast<std::size_t>(slot)] = swatch;
        rows->addWidget(new QLabel(QString::fromUtf8(kLabels[slot]), group), slot, 0);
        rows->addWidget(swatch, slot, 1);
        connect(swatch, &QPushButton::clicked, this, [this, slot] { ChooseColour(slot); });
    }
    auto* buttons = new QDialogButtonBox(group);
    buttons->addButton(QString::fromUtf8("确定"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QString::fromUtf8("取消"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CTD_ColrefDlg::reject);
    rows->addWidget(buttons, CSysData::kCategoryCount, 0, 1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
}

void CTD_ColrefDlg::reject() {
    for (int slot = 0; slot < CSysData::kCategoryCount; ++slot) {
        m_settings.SetCategoryColour(slot, m_openingColours[static_cast<std::size_t>(slot)]);
    }
    QDialog::reject();
}

void CTD_ColrefDlg::ChooseColour(int slot) {
    QColorDialog chooser(FromColourReference(m_settings.CategoryColour(slot)), this);
    if (chooser.exec() == QDialog::Accepted) {
        m_settings.SetCategoryColour(slot, ToColourReference(chooser.selectedColor()));
        m_swatches[static_cast<std::size_t>(slot)]->update();
    }
}
