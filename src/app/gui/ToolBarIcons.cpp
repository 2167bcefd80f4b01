#include "app/gui/ToolBarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace dnp {
namespace {

constexpr int kSize = 16;

void drawNew(QPainter& p)
{
    // A sheet with a folded corner.
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(10.5, 1.5);
    sheet.lineTo(13.5, 4.5);
    sheet.lineTo(13.5, 14.5);
    sheet.lineTo(3.5, 14.5);
    sheet.closeSubpath();
    p.setPen(QColor(90, 90, 90));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawPolyline(QPolygonF({QPointF(10.5, 1.5), QPointF(10.5, 4.5), QPointF(13.5, 4.5)}));
}

void drawOpen(QPainter& p)
{
    // A folder, its front opened.
    p.setPen(QColor(140, 100, 20));
    p.setBrush(QColor(240, 200, 90));
    p.drawPolygon(QPolygonF({QPointF(1.5, 3.5), QPointF(6.5, 3.5), QPointF(7.5, 5.5), QPointF(13.5, 5.5),
                             QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
    p.setBrush(QColor(250, 220, 120));
    p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
}

void drawSave(QPainter& p)
{
    // A diskette: body, label and shutter.
    p.setPen(QColor(30, 50, 100));
    p.setBrush(QColor(60, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
}

}  // namespace

QIcon toolBarIcon(ToolBarImage image)
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (image) {
    case ToolBarImage::New: drawNew(painter); break;
    case ToolBarImage::Open: drawOpen(painter); break;
    case ToolBarImage::Save: drawSave(painter); break;
    }
    return QIcon(pixmap);
}

}  // namespace dnp
