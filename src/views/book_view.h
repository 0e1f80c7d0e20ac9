#pragma once

#include <QWidget>

// What the news-list place shows in the "报纸" mode: a notice that there is nothing yet.
class CTD_BookView : public QWidget {
    Q_OBJECT
public:
    explicit CTD_BookView(QWidget* parent = nullptr);

    static const char kNotice[];

protected:
    void paintEvent(QPaintEvent* event) override;
};
