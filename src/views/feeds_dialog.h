#pragma once

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QPlainTextEdit;

// "编辑新闻源": the feed addresses of one channel, one a line, to add, change or remove. OK
// refuses a line that is no http or https address, naming it, and stays open.
class CFeedsDlg : public QDialog {
    Q_OBJECT
public:
    CFeedsDlg(const std::string& channel, const std::vector<std::string>& addresses,
              QWidget* parent = nullptr);

    // The addresses as the user left them: trimmed, blank lines dropped, each once.
    std::vector<std::string> Addresses() const;
    QPlainTextEdit* Edit() const { return m_edit; }
    QLabel* Message() const { return m_message; }

public slots:
    void accept() override;

private:
    QPlainTextEdit* m_edit = nullptr;
    QLabel* m_message = nullptr;
};
