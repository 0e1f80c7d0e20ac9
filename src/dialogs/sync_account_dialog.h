#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// 同步账户: the server's address, the user, the password and 由服务器代为监视关键词, with
// 测试连接, 保存 and 删除账户. The dialog keeps nothing itself: the buttons are heard through
// TestRequested and the dialog's result (kSaved, kRemoved, or Rejected), and whoever runs it
// writes the account and shows the outcome of a test with ShowOutcome.
//
// Thread rule: window thread only.
class CSyncAccountDlg : public QDialog {
    Q_OBJECT
public:
    enum Result { kSaved = QDialog::Accepted + 1, kRemoved };

    explicit CSyncAccountDlg(QWidget* parent = nullptr);

    void SetAccount(const QString& server, const QString& user, const QString& password,
                    bool watchKeywords);
    QString Server() const;
    QString User() const;
    QString Password() const;
    bool WatchKeywords() const;
    // The line below the fields: the outcome of a test, or where the password went.
    void ShowOutcome(const QString& text);
    QString Outcome() const;
    // While a test runs its button is off, so that one runs at a time.
    void SetTesting(bool testing);

    QPushButton* TestButton() const { return m_test; }
    QPushButton* SaveButton() const { return m_save; }
    QPushButton* RemoveButton() const { return m_remove; }

signals:
    void TestRequested();

private:
    void UpdateButtons();

    QLineEdit* m_server = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_watch = nullptr;
    QLabel* m_outcome = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_remove = nullptr;
    bool m_testing = false;
};
