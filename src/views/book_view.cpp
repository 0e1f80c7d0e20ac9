#include "views/book_view.h"

#include <QPainter>

const char CTD_BookView::kNotice[] = "报纸：今日和昨日的新闻显示在下方的页面中";

CTD_BookView::CTD_BookView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

void CTD_BookView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(kNotice));
}
