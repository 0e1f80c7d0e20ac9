#pragma once

#include <QWidget>

// What the news-list place holds in the "报纸" mode, where the newspaper fills the browser
// pane: a notice pointing there.
class CTD_BookView : public QWidget {
    Q_OBJECT
public:
    explicit CTD_BookView(QWidget* parent = nullptr);

    static const char kNotice[];

protected:
    void paintEvent(QPaintEvent* event) override;
};
