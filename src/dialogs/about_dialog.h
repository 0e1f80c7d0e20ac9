#pragma once

#include <QDialog>

// "关于 Quillon": the application icon, the version and an OK button.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
