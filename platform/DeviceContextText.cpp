// The drawing context's text: shaped once per font and text in a store that outlives the
// contexts, and on images blended from stored glyph masks as the raster engine blends them.
#include <QFontMetrics>
#include <QPaintEngine>
#include <QRawFont>
#include <QTextLayout>
#include <cmath>
#include <unordered_map>

#include "foundation/OXUtils.h"
#include "kernels/GlyphBlend.h"
#include "platform/DeviceContextParts.h"
#include "platform/Text.h"

// A glyph's coverage as the raster engine blits it, trimmed to its inked pixels.
struct TGlyphMask {
    int32_t X = 0, Y = 0, W = 0, H = 0;  // inked box, from the glyph's whole-pixel origin
    int32_t Stride = 0;                  // pixels per row in the pool: W padded with no coverage
    size_t Offset = 0;                   // in the pool
};
struct TGlyphMasks {
    std::vector<QRawFont> Fonts;  // fallback fonts make a text's runs differ
    // Font, glyph and the origin's fractions (positions are in 64ths) -> mask.
    std::unordered_map<uint64_t, uint32_t> Index;
    std::vector<TGlyphMask> Masks;
    std::vector<uint8_t> Pool;  // coverage repeated for each of a pixel's three bytes
};

// Texts laid out once per font and text. Every frame makes a fresh device context and draws
// the same titles again, and shaping is most of what drawing a short text costs, so the store
// outlives the contexts. Bounded, and dropped as a whole when full.
struct TFontTexts {
    std::unordered_map<std::string, TDeviceContext::TLaidText> Texts;
    TGlyphMasks Masks;
};

namespace {

struct TTextStore {
    std::unordered_map<QString, TFontTexts> Fonts;
    size_t Count = 0;
    uint64_t Generation = 1;
};
TTextStore& TextStore() {
    // Never freed: its glyphs hold fonts, which must not be released after Qt has shut down.
    thread_local TTextStore* const Store = new TTextStore;
    return *Store;
}

// The mask of a glyph whose origin lies FX and FY 64ths of a pixel past whole pixels, made
// on first use by letting the raster engine draw the glyph alone. -1 when it cannot be kept.
int64_t GlyphMask(TGlyphMasks& M, const QRawFont& Font, quint32 Glyph, int FX, int FY) {
    constexpr size_t MostFonts = 255;
    constexpr int Margin = 3, MostSide = 512;
    const size_t FontIndex = size_t(std::find(M.Fonts.begin(), M.Fonts.end(), Font) - M.Fonts.begin());
    if (FontIndex == M.Fonts.size()) {
        if (FontIndex >= MostFonts) return -1;
        M.Fonts.push_back(Font);
    }
    const uint64_t Key = uint64_t(FontIndex) << 48 | uint64_t(Glyph) << 12 | uint64_t(FX) << 6 | uint64_t(FY);
    if (auto It = M.Index.find(Key); It != M.Index.end()) return It->second;

    const qreal X = FX / 64.0, Y = FY / 64.0;
    const QRectF Box = Font.boundingRect(Glyph);
    if (!std::isfinite(Box.left()) || !std::isfinite(Box.right()) || !std::isfinite(Box.top()) ||
        !std::isfinite(Box.bottom()) || Box.width() > MostSide || Box.height() > MostSide)
        return -1;
    const int X0 = int(std::floor(X + Box.left())) - Margin, Y0 = int(std::floor(Y + Box.top())) - Margin;
    const int W = int(std::ceil(X + Box.right())) + Margin - X0, H = int(std::ceil(Y + Box.bottom())) + Margin - Y0;
    QImage Image(W, H, QImage::Format_Alpha8);
    if (Image.isNull()) return -1;
    Image.fill(0);
    {
        QPainter P(&Image);
        P.setPen(QColor(0, 0, 0));
        QGlyphRun One;
        One.setRawFont(Font);
        One.setGlyphIndexes({Glyph});
        One.setPositions({QPointF(X, Y)});
        P.drawGlyphRun(QPointF(-X0, -Y0), One);
    }
    // Trimmed to the inked pixels; ink on the border means the box was too small to trust.
    int L = W, T = H, R = -1, B = -1;
    for (int Row = 0; Row < H; ++Row) {
        const uchar* Line = Image.constScanLine(Row);
        for (int Col = 0; Col < W; ++Col)
            if (Line[Col]) {
                L = std::min(L, Col), R = std::max(R, Col), T = std::min(T, Row), B = std::max(B, Row);
            }
    }
    TGlyphMask G;
    if (R >= 0) {
        if (L == 0 || T == 0 || R == W - 1 || B == H - 1) return -1;
        const int32_t Inked = R - L + 1, Stride = (Inked + BlendBlock - 1) / BlendBlock * BlendBlock;
        G = TGlyphMask{X0 + L, Y0 + T, Inked, B - T + 1, Stride, M.Pool.size()};
        M.Pool.resize(M.Pool.size() + size_t(G.H) * size_t(Stride) * 3, 0);
        uint8_t* Out = M.Pool.data() + G.Offset;
        for (int Row = T; Row <= B; ++Row, Out += Stride * 3) {
            const uchar* Line = Image.constScanLine(Row);
            for (int Col = 0; Col < Inked; ++Col) Out[3 * Col] = Out[3 * Col + 1] = Out[3 * Col + 2] = Line[L + Col];
        }
    }
    M.Masks.push_back(G);
    return M.Index[Key] = uint32_t(M.Masks.size() - 1);
}

// Places the masks of a text's glyphs, made as needed; marks the text unusable where the store
// cannot serve it.
void PlaceGlyphs(TDeviceContext::TLaidText& Text, TGlyphMasks& Masks) {
    using TMasks = TDeviceContext::TLaidText::TMasks;
    Text.Masks = TMasks::Ready;
    for (const QGlyphRun& Run : Text.Runs) {
        if (Run.overline() || Run.underline() || Run.strikeOut()) Text.Masks = TMasks::Unusable;
        const QRawFont Font = Run.rawFont();
        const QList<quint32> Ids = Run.glyphIndexes();
        const QList<QPointF> Positions = Run.positions();
        for (qsizetype I = 0; I < Ids.size() && I < Positions.size() && Text.Masks == TMasks::Ready; ++I) {
            // Positions are whole 64ths of a pixel; anything else is left to Qt.
            const double X64 = Positions[I].x() * 64, Y64 = (Positions[I].y() - Text.Ascent) * 64;
            if (X64 != std::floor(X64) || Y64 != std::floor(Y64) || std::abs(X64) > 1e9 || std::abs(Y64) > 1e9) {
                Text.Masks = TMasks::Unusable;
                break;
            }
            const int64_t IX = int64_t(std::floor(X64 / 64)), IY = int64_t(std::floor(Y64 / 64));
            const int64_t Index = GlyphMask(Masks, Font, Ids[I], int(int64_t(X64) - IX * 64), int(int64_t(Y64) - IY * 64));
            if (Index < 0) {
                Text.Masks = TMasks::Unusable;
                break;
            }
            const TGlyphMask& G = Masks.Masks[size_t(Index)];
            if (G.W > 0) Text.Glyphs.push_back({int32_t(IX + G.X), int32_t(IY + G.Y), uint32_t(Index)});
        }
    }
    if (Text.Masks == TMasks::Unusable) Text.Glyphs.clear();
    if (!Text.Glyphs.empty()) {
        Text.InkLeft = Text.InkTop = INT32_MAX;
        Text.InkRight = Text.InkBottom = INT32_MIN;
    }
    for (const TDeviceContext::TLaidText::TPlaced& P : Text.Glyphs) {
        const TGlyphMask& G = Masks.Masks[P.Mask];
        Text.InkLeft = std::min(Text.InkLeft, P.X);
        Text.InkTop = std::min(Text.InkTop, P.Y);
        Text.InkRight = std::max(Text.InkRight, P.X + G.W);
        Text.InkBottom = std::max(Text.InkBottom, P.Y + G.H);
    }
}

void PrefetchGlyphs(const TPendingDraw& Op) {
    // Titles land all over the picture: ask for all their rows at once rather than waiting
    // for each in turn.
    const TDeviceContext::TLaidText& Text = *Op.Text;
    const int64_t Top = Op.Y + Text.InkTop, Bottom = std::min<int64_t>(Op.Y + Text.InkBottom, Op.Height);
    const int64_t From = Op.X + Text.InkLeft, To = std::min<int64_t>(Op.X + Text.InkRight, Op.Width);
    if (From < To)
        for (int64_t Row = Top; Row < Bottom; ++Row) {
            const uchar* Line = Op.Bits + qsizetype(Row) * Op.Stride;
            for (int64_t Byte = From * 3; Byte < To * 3 + 63; Byte += 64)
                PrefetchForWrite(Line + std::min<int64_t>(Byte, To * 3 - 1));
        }
}

}  // namespace

void BlendGlyphs(const TPendingDraw& Op) {
    const TDeviceContext::TLaidText& Text = *Op.Text;
    const TGlyphMasks& Masks = *Op.Masks;
    const uint32_t C = Op.Colour;
    // Titles of a layer share a colour: its lanes are kept.
    thread_local uint32_t SourceColour = ~0u;
    thread_local TBlendSource Source;
    if (SourceColour != C) {
        // The colour's bytes in the picture's order (blue, green, red), over a block of pixels.
        const uint8_t Colour[3] = {uint8_t(C >> 16), uint8_t(C >> 8), uint8_t(C)};
        for (int J = 0; J < 3 * BlendBlock; ++J) Source.Lanes[J] = Colour[J % 3];
        SourceColour = C;
    }
    const int64_t Width = Op.Width, Height = Op.Height;
    for (const TDeviceContext::TLaidText::TPlaced& P : Text.Glyphs) {
        const TGlyphMask& G = Masks.Masks[P.Mask];
        const int64_t X0 = Op.X + P.X, Y0 = Op.Y + P.Y;
        const int64_t Cols = std::min<int64_t>(G.W, Width - X0), Rows = std::min<int64_t>(G.H, Height - Y0);
        // Whole blocks may run into the padding, which leaves the pixels as they are.
        const int64_t Blocks = std::min<int64_t>(G.Stride, Width - X0) / BlendBlock;
        if (Rows <= 0 || Cols <= 0) continue;
        uchar* Px = Op.Bits + qsizetype(Y0) * Op.Stride + qsizetype(X0) * 3;
        BlendGlyphRows(Px, Op.Stride, Masks.Pool.data() + G.Offset, qsizetype(G.Stride) * 3, Rows, Blocks, Cols,
                       Source);
    }
}

const QFontMetrics& TDeviceContext::Metrics() {
    if (!FState->Metrics) {
        FState->Metrics.emplace(FState->Font, FPainter->device());
        FState->Ascent = FState->Metrics->ascent();
        FState->Descent = FState->Metrics->descent();
        FState->Width = -1;
    }
    return *FState->Metrics;
}

const QString& TDeviceContext::AsQString(const std::string& Text) {
    if (Text != FState->Text || FState->QText.isNull()) {
        FState->QText = ToQString(Text);
        FState->Text = Text;
        FState->Width = -1;
    }
    return FState->QText;
}

int TDeviceContext::Measure(const std::string& Text) {
    const QFontMetrics& M = Metrics();
    const QString& S = AsQString(Text);
    if (FState->Width < 0) FState->Width = M.horizontalAdvance(S);
    return FState->Width;
}

TDeviceContext::TLaidText* TDeviceContext::LaidOut(const std::string& Text) {
    // Only where the surface is an image: printers and PDF keep drawing text as text.
    const QPaintEngine* Engine = FPainter->paintEngine();
    if (!Engine || Engine->type() != QPaintEngine::Raster) return nullptr;
    // Decorations are drawn by drawText only.
    if (FState->Font.underline() || FState->Font.strikeOut()) return nullptr;
    constexpr size_t MaxLaid = 32768;
    TState& S = *FState;
    TTextStore& Store = TextStore();
    auto FontTexts = [&] {
        // Pixel-sized fonts lay out alike on every image, but the resolution is part of the key all the same.
        return &Store.Fonts[S.Font.key() + QLatin1Char('@') + QString::number(LogPixelsY())];
    };
    if (S.LaidGeneration != Store.Generation) S.LastLaid = nullptr;
    if (!S.LaidInFont || S.LaidGeneration != Store.Generation) {
        S.LaidInFont = FontTexts();
        S.LaidGeneration = Store.Generation;
    }
    // Found in the store, and remembered as what followed the text before.
    auto Found = [&S](const std::string& Key, TLaidText& Laid) {
        if (TLaidText* Last = S.LastLaid) {
            Last->Next = &Laid;
            Last->NextKey = &Key;
            Last->NextFont = S.LaidInFont;
        }
        S.LastLaid = &Laid;
        // Fetch what the following title will need while this one is drawn.
        if (const TLaidText* N = Laid.Next) {
            PrefetchBytes(N->Glyphs.data(), 1);
            if (N->Next) PrefetchBytes(N->Next, sizeof(TLaidText));
        }
        return &Laid;
    };
    if (const TLaidText* Last = S.LastLaid; Last && Last->Next && Last->NextFont == S.LaidInFont && *Last->NextKey == Text)
        return Found(*Last->NextKey, *Last->Next);
    if (auto It = S.LaidInFont->Texts.find(Text); It != S.LaidInFont->Texts.end()) return Found(It->first, It->second);
    if (Store.Count >= MaxLaid) {
        Settle();
        Store.Fonts.clear();
        Store.Count = 0;
        ++Store.Generation;
        S.LaidInFont = FontTexts();
        S.LaidGeneration = Store.Generation;
        S.LastLaid = nullptr;
    }
    QTextLayout Layout(AsQString(Text), S.Font, FPainter->device());
    Layout.setCacheEnabled(true);
    Layout.beginLayout();
    QTextLine Line = Layout.createLine();
    Layout.endLayout();
    if (!Line.isValid()) return nullptr;
    ++Store.Count;
    TLaidText Laid;
    Laid.Runs = Layout.glyphRuns();
    Laid.Ascent = Line.ascent();
    const auto It = S.LaidInFont->Texts.emplace(Text, std::move(Laid)).first;
    return Found(It->first, It->second);
}

bool TDeviceContext::BlitGlyphs(TLaidText& Text, int Left, int Base) {
    QImage* Image = SurfaceImage(FPainter->device());
    if (!Image || Image->format() != QImage::Format_BGR888 || !FState->LaidInFont) return false;
    if (FPainter->compositionMode() != QPainter::CompositionMode_SourceOver || FPainter->opacity() != 1.0 ||
        FPainter->hasClipping())
        return false;
    const QTransform T = FPainter->deviceTransform();
    if (T.type() > QTransform::TxTranslate || T.dx() != std::trunc(T.dx()) || T.dy() != std::trunc(T.dy()) ||
        std::abs(T.dx()) > 1e9 || std::abs(T.dy()) > 1e9)
        return false;
    TGlyphMasks& Masks = FState->LaidInFont->Masks;
    if (Text.Masks == TLaidText::TMasks::NotYet) {
        // The masks of a text held back may be among those that move.
        Settle();
        PlaceGlyphs(Text, Masks);
    }
    if (Text.Masks != TLaidText::TMasks::Ready) return false;

    const int64_t OX = int64_t(Left) + int64_t(T.dx()), OY = int64_t(Base) + int64_t(T.dy());
    // Left and above the picture Qt's rounding of negative places is its own affair.
    if (!Text.Glyphs.empty() && (OX + Text.InkLeft < 0 || OY + Text.InkTop < 0)) return false;
    TPendingDraw Op{TPendingDraw::TKind::Glyphs, Image->bits(), Image->bytesPerLine(), 3, &Text, &Masks,
                        OX, OY, Image->width(), Image->height(), static_cast<uint32_t>(ColorToRGB(FTextColor))};
    PrefetchGlyphs(Op);
    if (FState->Scattered) {
        Settle();
        FState->Pending = Op;
    } else {
        BlendGlyphs(Op);
    }
    return true;
}

void TDeviceContext::TextOut(int X, int Y, const std::string& Text) {
    if (Text.empty()) return;
    Metrics();
    const int Ascent = FState->Ascent, Descent = FState->Descent;
    const bool Opaque = FBkMode == BK_OPAQUE;
    // Left-aligned transparent text (most titles) needs no width.
    const bool NeedsWidth = Opaque || (FTextAlign & (TA_CENTER | TA_RIGHT));
    const int W = NeedsWidth ? Measure(Text) : 0;
    int Dx = 0;
    if ((FTextAlign & TA_CENTER) == TA_CENTER) Dx = -W / 2;
    else if (FTextAlign & TA_RIGHT) Dx = -W;
    int Baseline = Ascent;
    if ((FTextAlign & TA_BASELINE) == TA_BASELINE) Baseline = 0;
    else if (FTextAlign & TA_BOTTOM) Baseline = -Descent;

    // Stored glyphs carry their font; only text drawn as text needs the painter's.
    auto UseFont = [&] {
        if (FPainter->font() != FState->Font) FPainter->setFont(FState->Font);
    };
    FPainter->setBackgroundMode(Qt::TransparentMode);
    // Blended glyphs need no pen, and setting one costs more than blending a short title.
    auto UsePen = [&] { FPainter->setPen(ToQColor(FTextColor)); };
    const bool Rotated = FFont->Font.Escapement != 0;
    if (!Rotated) {
        // Whole-pixel offsets: the same pixels as drawing in a translated painter.
        const int64_t Left = int64_t(X) + Dx, Base = int64_t(Y) + Baseline;
        if (Opaque) {
            Settle();
            FPainter->fillRect(QRect(SaturateInt32(Left), SaturateInt32(Base - Ascent), W, Ascent + Descent),
                               ToQColor(FBkColor));
        }
        if (TLaidText* T = LaidOut(Text)) {
            if (!BlitGlyphs(*T, SaturateInt32(Left), SaturateInt32(Base))) {
                Settle();
                const QPointF Origin(SaturateInt32(Left), SaturateInt32(Base) - T->Ascent);
                UsePen();
                for (const QGlyphRun& Run : T->Runs) FPainter->drawGlyphRun(Origin, Run);
            }
        } else {
            Settle();
            UseFont();
            UsePen();
            FPainter->drawText(QPoint(SaturateInt32(Left), SaturateInt32(Base)), AsQString(Text));
        }
        return;
    }
    Settle();
    // Turned and put back: what Direct kept is read afresh.
    ForgetDirect();
    const QTransform Saved = FPainter->transform();
    FPainter->translate(X, Y);
    FPainter->rotate(-FFont->Font.Escapement / 10.0);
    if (Opaque) FPainter->fillRect(QRect(Dx, Baseline - Ascent, W, Ascent + Descent), ToQColor(FBkColor));
    UseFont();
    UsePen();
    FPainter->drawText(QPoint(Dx, Baseline), AsQString(Text));
    FPainter->setTransform(Saved);
}

void TDeviceContext::DrawText(const std::string& Text, int Left, int Top, int Right, int Bottom, unsigned Format) {
    Settle();
    if (Text.empty()) return;
    const QRect R(Left, Top, Right - Left, Bottom - Top);
    int Flags = 0;
    if (Format & DT_CENTER) Flags |= Qt::AlignHCenter;
    else if (Format & DT_RIGHT) Flags |= Qt::AlignRight;
    else Flags |= Qt::AlignLeft;
    // Vertical placement applies to single lines only, as in GDI.
    if ((Format & DT_SINGLELINE) && (Format & DT_VCENTER)) Flags |= Qt::AlignVCenter;
    else if ((Format & DT_SINGLELINE) && (Format & DT_BOTTOM)) Flags |= Qt::AlignBottom;
    else Flags |= Qt::AlignTop;
    if (Format & DT_SINGLELINE) Flags |= Qt::TextSingleLine;
    if (Format & DT_NOCLIP) Flags |= Qt::TextDontClip;
    const QString S = ToQString(Text);
    FPainter->setFont(FState->Font);
    if (FBkMode == BK_OPAQUE) {
        QRect Box = FPainter->boundingRect(R, Flags, S);
        if (!(Format & DT_NOCLIP)) Box &= R;
        FPainter->fillRect(Box, ToQColor(FBkColor));
    }
    FPainter->setBackgroundMode(Qt::TransparentMode);
    FPainter->setPen(ToQColor(FTextColor));
    FPainter->drawText(R, Flags, S);
}

void TDeviceContext::GetTextExtentPoint(const std::string& Text, int& Width, int& Height) {
    Width = Measure(Text);
    const QFontMetrics& M = Metrics();
    Height = M.ascent() + M.descent();
}
