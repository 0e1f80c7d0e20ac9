#include "dialogs/about_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/version.h"
#include "views/app_icons.h"

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Quillon"));
    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(32, 32));
    auto* version =
        new QLabel(QStringLiteral("Version %1").arg(QString::fromLatin1(kProgramVersion)), this);
    auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout(this);
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addWidget(version, 1, Qt::AlignTop);
    row->addWidget(ok, 0, Qt::AlignTop);
}
