#include "views/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace {

QPixmap Blank() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPixmap Folder(bool open) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(160, 120, 20));
    painter.setBrush(QColor(240, 200, 80));
    painter.drawRect(1, 3, 6, 3);  // the tab
    if (open) {
        painter.drawRect(1, 5, 13, 9);
        QPainterPath flap;
        flap.moveTo(3, 8);
        flap.lineTo(15, 8);
        flap.lineTo(13, 14);
        flap.lineTo(1, 14);
        flap.closeSubpath();
        painter.setBrush(QColor(250, 220, 120));
        painter.drawPath(flap);
    } else {
        painter.drawRect(1, 5, 14, 9);
    }
    return pixmap;
}

QPixmap Channel(bool selected, bool failing = false) {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QColor body = failing ? QColor(150, 150, 150) : QColor(250, 140, 30);
    painter.setBrush(selected ? body.darker(115) : body);
    painter.drawRoundedRect(1, 1, 14, 14, 3, 3);
    painter.setPen(QPen(Qt::white, 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(-1, 5, 12, 12), 0, 90 * 16);
    painter.drawArc(QRectF(-5, 1, 20, 20), 0, 90 * 16);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(4.5, 11.5), 1.4, 1.4);
    return pixmap;
}

// A failing channel: the channel image in grey, and over its lower right part a red disc with
// a white "!", a third of the icon, so that it shows at 16 pixels without hovering.
QPixmap WarnedChannel(bool selected) {
    QPixmap pixmap = Channel(selected, true);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QColor(215, 25, 25));
    painter.drawEllipse(QRectF(5, 5, 11, 11));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(QPointF(10.5, 7), QPointF(10.5, 11.2));
    painter.drawPoint(QPointF(10.5, 13.5));
    return pixmap;
}

}  // namespace

QIcon FolderIcon() {
    QIcon icon;
    icon.addPixmap(Folder(false), QIcon::Normal);
    icon.addPixmap(Folder(true), QIcon::Selected);
    return icon;
}

QIcon StarIcon() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(170, 110, 0));
    painter.setBrush(QColor(250, 190, 30));
    // Five points round the centre, every other one on the inner circle.
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? 7.5 : 3.2;
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const QPointF point(8 + radius * std::cos(angle), 8.5 + radius * std::sin(angle));
        i == 0 ? star.moveTo(point) : star.lineTo(point);
    }
    star.closeSubpath();
    painter.drawPath(star);
    return QIcon(pixmap);
}

QIcon RootIcon() {
    QIcon icon;
    icon.addPixmap(Folder(false), QIcon::Normal);
    icon.addPixmap(Folder(false), QIcon::Selected);
    return icon;
}

QIcon ChannelIcon() {
    QIcon icon;
    icon.addPixmap(Channel(false), QIcon::Normal);
    icon.addPixmap(Channel(true), QIcon::Selected);
    return icon;
}

QIcon WarnedChannelIcon() {
    QIcon icon;
    icon.addPixmap(WarnedChannel(false), QIcon::Normal);
    icon.addPixmap(WarnedChannel(true), QIcon::Selected);
    return icon;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int size : kApplicationIconSizes) {
        icon.addFile(QStringLiteral(":/icons/quillon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
