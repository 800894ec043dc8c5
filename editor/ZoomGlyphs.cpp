#include "editor/ZoomGlyphs.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <array>

namespace {

// The glyphs are laid out on a square of this many units.
constexpr qreal kDesignSize = 40;
// How strongly a disabled button's glyph shows.
constexpr qreal kDisabledOpacity = 0.4;

void DrawGlyph(QPainter& P, TGlyph Glyph) {
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Ink(40, 60, 90);
    if (Glyph == glFit) {
        P.setPen(QPen(QColor(0, 110, 110), 3));
        P.setBrush(QColor(170, 215, 230));
        P.drawEllipse(QRectF(9, 9, 22, 22));
        P.setPen(QPen(QColor(0, 110, 110), 1.6));
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(QRectF(15, 9, 10, 22));
        P.drawLine(QPointF(9, 20), QPointF(31, 20));
        P.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::SquareCap));
        for (const auto& [X, Y, DX, DY] : {std::array{3, 3, 1, 1}, std::array{37, 3, -1, 1}, std::array{3, 37, 1, -1},
                                          std::array{37, 37, -1, -1}}) {
            P.drawLine(QPointF(X, Y), QPointF(X + DX * 8, Y));
            P.drawLine(QPointF(X, Y), QPointF(X, Y + DY * 8));
        }
        return;
    }
    P.setPen(QPen(Ink, 5, Qt::SolidLine, Qt::RoundCap));
    P.drawLine(QPointF(25, 25), QPointF(36, 36));
    P.setPen(QPen(Ink, 3));
    P.setBrush(QColor(225, 240, 250));
    P.drawEllipse(QRectF(4, 4, 24, 24));
    P.setPen(QPen(Ink, 3, Qt::SolidLine, Qt::RoundCap));
    P.drawLine(QPointF(10, 16), QPointF(22, 16));
    if (Glyph == glZoomIn) P.drawLine(QPointF(16, 10), QPointF(16, 22));
}

class TGlyphIconEngine : public QIconEngine {
public:
    explicit TGlyphIconEngine(TGlyph Glyph) : FGlyph(Glyph) {}

    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State) override {
        Painter->save();
        Painter->translate(Rect.topLeft());
        Painter->scale(Rect.width() / kDesignSize, Rect.height() / kDesignSize);
        if (Mode == QIcon::Disabled) Painter->setOpacity(kDisabledOpacity);
        DrawGlyph(*Painter, FGlyph);
        Painter->restore();
    }

    // Size is in device pixels: the icon asks for the size times the ratio it is shown at.
    QPixmap pixmap(const QSize& Size, QIcon::Mode Mode, QIcon::State State) override {
        QPixmap Picture(Size);
        Picture.fill(Qt::transparent);
        QPainter Painter(&Picture);
        paint(&Painter, QRect(QPoint(0, 0), Size), Mode, State);
        return Picture;
    }

    QSize actualSize(const QSize& Size, QIcon::Mode, QIcon::State) override { return Size; }
    QIconEngine* clone() const override { return new TGlyphIconEngine(FGlyph); }
    QString key() const override { return QStringLiteral("OrvexZoomGlyph"); }

private:
    TGlyph FGlyph;
};

}  // namespace

QIcon ZoomIcon(TGlyph Glyph) { return QIcon(new TGlyphIconEngine(Glyph)); }
