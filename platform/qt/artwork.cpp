#include "platform/qt/artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A little handheld: a wide indigo body with the screen in the middle, a
// cross pad on the left and two buttons on the right, fitted into box.
void DrawHandheld(QPainter& painter, const QRectF& box) {
    const qreal unit = box.width() / 32;
    QPainterPath body;
    body.addRoundedRect(box.adjusted(0, unit * 4, 0, -unit * 4), unit * 6, unit * 6);
    painter.fillPath(body, QColor(0x4B, 0x3F, 0x9E));
    painter.setPen(QPen(QColor(0x2A, 0x22, 0x5E), unit * 0.8));
    painter.drawPath(body);

    const QRectF screen(box.left() + unit * 9, box.top() + unit * 9, unit * 14, unit * 10);
    painter.fillRect(screen.adjusted(-unit, -unit, unit, unit), QColor(0x20, 0x20, 0x28));
    QLinearGradient glow(screen.topLeft(), screen.bottomRight());
    glow.setColorAt(0, QColor(0x9C, 0xE0, 0x9C));
    glow.setColorAt(1, QColor(0x3C, 0x9C, 0x6C));
    painter.fillRect(screen, glow);

    const QColor keys(0xE8, 0xE4, 0xF4);
    const qreal padX = box.left() + unit * 4.5, padY = box.top() + unit * 16;
    painter.fillRect(QRectF(padX - unit * 2.5, padY - unit * 0.8, unit * 5, unit * 1.6), keys);
    painter.fillRect(QRectF(padX - unit * 0.8, padY - unit * 2.5, unit * 1.6, unit * 5), keys);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xF0, 0x70, 0x80));
    painter.drawEllipse(QPointF(box.left() + unit * 26.5, box.top() + unit * 14.5), unit * 1.4, unit * 1.4);
    painter.drawEllipse(QPointF(box.left() + unit * 28.5, box.top() + unit * 17.5), unit * 1.4, unit * 1.4);
}

}  // namespace

QImage DrawIcon() {
    QImage icon(32, 32, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawHandheld(painter, QRectF(0, 0, 32, 32));
    return icon;
}

QImage DrawLogo() {
    QImage logo(100, 58, QImage::Format_RGB32);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 58);
    sky.setColorAt(0, QColor(0x1C, 0x18, 0x48));
    sky.setColorAt(1, QColor(0x5A, 0x3C, 0x8C));
    painter.fillRect(logo.rect(), sky);
    DrawHandheld(painter, QRectF(2, 11, 40, 40));

    QFont font;
    font.setFamilies({"DejaVu Sans", "Sans Serif"});
    font.setPixelSize(17);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xFF, 0xD8, 0x60));
    painter.drawText(QRectF(44, 8, 56, 30), Qt::AlignCenter, "KORU");
    font.setPixelSize(9);
    font.setBold(false);
    painter.setFont(font);
    painter.setPen(QColor(0xE0, 0xDC, 0xF0));
    painter.drawText(QRectF(44, 36, 56, 14), Qt::AlignCenter, "GBA");
    return logo;
}
