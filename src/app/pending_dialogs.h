#pragma once

#include <QDialog>

// The system settings and subscription dialogs open from the menus; their controls come
// with their own work. Until then each opens with its caption and closes again.

class CTD_SysDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTD_SysDlg(QWidget* parent = nullptr);
};

class CTD_OpmlDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTD_OpmlDlg(QWidget* parent = nullptr);
};
