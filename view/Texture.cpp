// Texture mapping: the rasteriser that writes a texture's palette colours straight into
// the surface's pixel rows, its bands for printers and PDF, and the view's texture settings.

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>

#include "model/TextureData.h"
#include "projections/PrjModel.h"
#include "projections/SphericalPrj.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

namespace {
// Texture coordinates far outside the image only clamp to its edge; keeping them within
// this range keeps every product in the span loop finite and exact enough.
constexpr long double TexelLimit = 1e9L;
// A band image holds at most this many bytes.
constexpr int64_t BandBytes = int64_t(16) << 20;
// A device that magnifies the surface gets the texture rendered that much finer, up to
// this factor and this many pixels.
constexpr int32_t MaxMagnification = 8;
constexpr int64_t MaxMagnifiedPixels = int64_t(64) << 20;
constexpr int32_t MaxMagnifiedSide = 32767;
// A grid finer than this adds nothing but work.
constexpr int32_t MaxGridCells = 4096;

// Any longitude, however far out, brought into [-180, 180) degrees.
int32_t WrapLongitude(int64_t Longitude) {
    int64_t L = (Longitude + OrvexUnits::Deg180) % OrvexUnits::Deg360;
    if (L < 0) L += OrvexUnits::Deg360;
    return static_cast<int32_t>(L - OrvexUnits::Deg180);
}

// Rectangles wider than this are drawn in parts.
constexpr int64_t MaxRectWidth = OrvexUnits::Deg90;

// Flat maps are cut at the meridian opposite their central one; the sphere has no seam,
// whatever its central meridian.
bool HasSeam(const TPrjModel& Prj) { return !dynamic_cast<const TSphericalPrj*>(&Prj); }
int64_t SeamOf(const TPrjModel& Prj) {
    return NormalizeLongitude(int64_t(Prj.CentralMeridian()) + OrvexUnits::Deg180);
}
// How far east of the seam a longitude lies, in [0, 360) degrees.
int64_t EastOf(int64_t Longitude, int64_t Seam) {
    const int64_t E = (Longitude - Seam) % OrvexUnits::Deg360;
    return E < 0 ? E + OrvexUnits::Deg360 : E;
}

// The first pixel whose centre lies at or after a coordinate, kept within int64 range.
int64_t CentreAtOrAfter(double V) {
    if (std::isnan(V)) return 0;
    return static_cast<int64_t>(std::ceil(std::clamp(V - 0.5, -1e15, 1e15)));
}

// The painter's largest magnification of a surface pixel.
double Magnification(const QPainter& Painter) {
    const QTransform T = Painter.combinedTransform();
    return std::max(std::hypot(T.m11(), T.m12()), std::hypot(T.m21(), T.m22()));
}
}  // namespace

void TOrvexCanvas::RenderTextureRect(const TExtent& Rect, const TTextureData& Texture) {
    if (Rect.Width <= 0 || Rect.Height == 0) return;
    // Wide rectangles go in parts, so that no triangle is mistaken for one across the seam.
    if (Rect.Width > MaxRectWidth) {
        RenderTextureGrid(Rect, static_cast<int32_t>((int64_t(Rect.Width) + MaxRectWidth - 1) / MaxRectWidth), 1,
                          Texture);
        return;
    }
    const int64_t Left = Rect.Left, Bottom = Rect.Bottom;
    int64_t Width = Rect.Width;
    TPrjModel* Prj = FView ? FView->ProjectionModel() : nullptr;
    bool EndsOnSeam = false;
    if (Prj && HasSeam(*Prj)) {
        // A flat map is cut at its seam: the part east of it is drawn at the map's west edge.
        const int64_t Seam = SeamOf(*Prj);
        const int64_t Before = OrvexUnits::Deg360 - EastOf(Left, Seam);
        if (Before < Width) {
            const int32_t Rest = static_cast<int32_t>(Width - Before);
            RenderTextureRect(TExtent{WrapLongitude(Seam), Rect.Bottom, Rest, Rect.Height}, Texture);
            Width = Before;
        }
        EndsOnSeam = Width == Before;
    }
    // Neighbouring cells share their corners exactly, so that their pixels meet without a
    // gap. Only an east edge on the seam stays a unit short of it: the seam itself is the
    // map's west edge.
    const int32_t West = WrapLongitude(Left), East = WrapLongitude(Left + Width - (EndsOnSeam ? 1 : 0));
    const int32_t South = SaturateInt32(Bottom), North = SaturateInt32(Bottom + Rect.Height);
    const TPoint3D First[3] = {{West, South, 0}, {East, South, 0}, {East, North, 0}};
    const TPoint3D Second[3] = {{West, South, 0}, {West, North, 0}, {East, North, 0}};
    RenderTextureTriangle(First, Texture);
    RenderTextureTriangle(Second, Texture);
}

void TOrvexCanvas::RenderTextureGrid(const TExtent& Rect, int32_t Columns, int32_t Rows,
                                     const TTextureData& Texture) {
    if (Columns <= 0 || Rows <= 0 || !Texture.IsLoaded()) return;
    if (FRedirected && !FTextureTarget) {
        PaintTextured([&] { RenderTextureGrid(Rect, Columns, Rows, Texture); });
        return;
    }
    const int64_t C = std::min(Columns, MaxGridCells), R = std::min(Rows, MaxGridCells);
    for (int64_t I = 0; I < R; ++I) {
        const int64_t South = Rect.Bottom + Rect.Height * I / R;
        const int64_t North = Rect.Bottom + Rect.Height * (I + 1) / R;
        for (int64_t J = 0; J < C; ++J) {
            const int64_t West = Rect.Left + Rect.Width * J / C;
            const int64_t East = Rect.Left + Rect.Width * (J + 1) / C;
            RenderTextureRect(TExtent{WrapLongitude(West), SaturateInt32(South), SaturateInt32(East - West),
                                      SaturateInt32(North - South)},
                              Texture);
        }
    }
}

void TOrvexCanvas::RenderTextureTriangle(const TPoint3D* Vertices, const TTextureData& Texture) {
    if (!Vertices || !FView || !PointBuffer || !Texture.IsLoaded()) return;
    TPrjModel* Prj = FView->ProjectionModel();
    if (!Prj) return;
    if (FRedirected && !FTextureTarget) {
        PaintTextured([&] { RenderTextureTriangle(Vertices, Texture); });
        return;
    }
    // Corners on both sides of a flat map's seam would stretch the triangle across the
    // whole map. The sphere has no seam, whatever its central meridian.
    // Measured east of the seam, a triangle's corners lie close together unless it crosses.
    if (HasSeam(*Prj)) {
        const int64_t Seam = SeamOf(*Prj);
        const int64_t E[3] = {EastOf(Vertices[0].X, Seam), EastOf(Vertices[1].X, Seam), EastOf(Vertices[2].X, Seam)};
        if (std::max({E[0], E[1], E[2]}) - std::min({E[0], E[1], E[2]}) > OrvexUnits::Deg180) return;
    }
    double X[3], Y[3];
    for (int32_t I = 0; I < 3; ++I) {
        if (!Prj->PointToXY(Vertices[I], I)) return;
        X[I] = PointBuffer[I].X;
        Y[I] = PointBuffer[I].Y;
    }

    TTextureTarget Picture;
    if (!FTextureTarget) {
        if (FImage.isNull() || FImage.format() != QImage::Format_BGR888) return;
        if (FImageDC) FImageDC->Settle();
        // The painter of the picture draws into the same buffer: no detaching copy.
        Picture.Bits = const_cast<uint8_t*>(FImage.constBits());
        Picture.Stride = FImage.bytesPerLine();
        Picture.Width = std::min(FWidth, FImage.width());
        Picture.Rows = std::min(FHeight, FImage.height());
    }
    TTextureTarget& Target = FTextureTarget ? *FTextureTarget : Picture;

    // Rejected before any pixel work when it misses the surface or the band.
    const double Right = std::min(FWidth, Target.Width);
    const double Top = std::max(0, Target.Top);
    const double Bottom = std::min<int64_t>(FHeight, int64_t(Target.Top) + Target.Rows);
    if (std::max({X[0], X[1], X[2]}) <= 0 || std::min({X[0], X[1], X[2]}) >= Right ||
        std::max({Y[0], Y[1], Y[2]}) <= Top || std::min({Y[0], Y[1], Y[2]}) >= Bottom)
        return;

    const TExtent& Area = Texture.Area;
    if (Area.Width == 0 || Area.Height == 0) return;
    double Row[3], Col[3];
    for (int32_t I = 0; I < 3; ++I) {
        long double East = static_cast<long double>(Vertices[I].X) - Area.Left;
        // An area that runs east past 180 degrees goes on at -180.
        if (East < 0 && Area.Width > 0 && Area.Width < OrvexUnits::Deg360) East += OrvexUnits::Deg360;
        const long double North = (static_cast<long double>(Vertices[I].Y) - Area.Bottom) / Area.Height;
        const long double TexRow = North * (Texture.ImageHeight() - 1);
        // Columns span the image's pixels, not the row's padding bytes.
        const long double TexCol = East / Area.Width * Texture.ImageWidth();
        // Not rounded here: corners sit on whole pixels, and a texel coordinate rounded as
        // well would shift the texels by up to half a texel between them.
        Row[I] = static_cast<double>(std::clamp(TexRow, -TexelLimit, TexelLimit));
        Col[I] = static_cast<double>(std::clamp(TexCol, -TexelLimit, TexelLimit));
    }
    if (Target.BytesPerPixel == 4)
        ScanTriangle<4>(X, Y, Row, Col, Texture, Target);
    else
        ScanTriangle<3>(X, Y, Row, Col, Texture, Target);
}

template <int BytesPerPixel>
void TOrvexCanvas::ScanTriangle(const double (&X)[3], const double (&Y)[3], const double (&Row)[3],
                                const double (&Col)[3], const TTextureData& Texture, TTextureTarget& Target) {
    // The top vertex has the smallest y, the lower number on a tie. One chain of edges runs
    // from it to the next vertex and on to the last, the other the opposite way round.
    int T = 0;
    if (Y[1] < Y[T]) T = 1;
    if (Y[2] < Y[T]) T = 2;
    const int A = (T + 1) % 3, B = (T + 2) % 3;
    struct TEdge {
        double Y, X, Row, Col, DX = 0, DRow = 0, DCol = 0;  // values at Y and per scan line
    };
    auto Edge = [&](int U, int V) {
        TEdge E{Y[U], X[U], Row[U], Col[U]};
        const double H = Y[V] - Y[U];
        if (H > 0) {
            E.DX = (X[V] - X[U]) / H;
            E.DRow = (Row[V] - Row[U]) / H;
            E.DCol = (Col[V] - Col[U]) / H;
        }
        return E;
    };
    const TEdge TA = Edge(T, A), AB = Edge(A, B), TB = Edge(T, B), BA = Edge(B, A);

    // A pixel is drawn when its centre lies inside the triangle, on a top or left edge
    // counting as inside: triangles that share an edge then share no pixel and leave none
    // out between them.
    const int64_t XLimit = std::min(FWidth, Target.Width);
    const int64_t First = std::max<int64_t>(CentreAtOrAfter(Y[T]), std::max(0, Target.Top));
    const int64_t End = std::min<int64_t>(CentreAtOrAfter(std::max(Y[A], Y[B])),
                                          std::min<int64_t>(FHeight, int64_t(Target.Top) + Target.Rows));
    const uint8_t* South = Texture.SouthRow();
    const ptrdiff_t Step = Texture.RowStep();
    const long MaxRow = Texture.ImageHeight() - 1, MaxCol = Texture.ImageWidth() - 1;
    const int32_t Transparent = Texture.TransparentIndex;
    const uint8_t* Palette = Texture.Palette();

    for (int64_t Line = First; Line < End; ++Line) {
        const double Centre = Line + 0.5;
        const TEdge& L = Centre < Y[A] ? TA : AB;
        const TEdge& R = Centre < Y[B] ? TB : BA;
        const double DL = Centre - L.Y, DR = Centre - R.Y;
        double XA = L.X + L.DX * DL, XB = R.X + R.DX * DR;
        double RowA = L.Row + L.DRow * DL, ColA = L.Col + L.DCol * DL;
        double RowB = R.Row + R.DRow * DR, ColB = R.Col + R.DCol * DR;
        if (XA > XB) {
            std::swap(XA, XB);
            std::swap(RowA, RowB);
            std::swap(ColA, ColB);
        }
        const double Span = XB - XA;
        if (!(Span > 0)) continue;
        const long X0 = static_cast<long>(std::max<int64_t>(CentreAtOrAfter(XA), 0));
        const long X1 = static_cast<long>(std::min<int64_t>(CentreAtOrAfter(XB), XLimit));
        if (X0 >= X1) continue;
        const double DRow = (RowB - RowA) / Span, DCol = (ColB - ColA) / Span;
        uint8_t* Out = Target.Bits + (Line - Target.Top) * Target.Stride + X0 * BytesPerPixel;
        for (long PX = X0; PX < X1; ++PX, Out += BytesPerPixel) {
            const double O = PX + 0.5 - XA;
            const long TexRow = std::clamp(std::lrint(RowA + DRow * O), 0L, MaxRow);
            const long TexCol = std::clamp(std::lrint(ColA + DCol * O), 0L, MaxCol);
            const uint8_t Index = South[TexRow * Step + TexCol];
            if (Index == Transparent) continue;
            const uint8_t* Entry = Palette + 4 * Index;
            Out[0] = Entry[0];
            Out[1] = Entry[1];
            Out[2] = Entry[2];
            if constexpr (BytesPerPixel == 4) Out[3] = 255;
        }
        if (Target.DirtyRight < Target.DirtyLeft) {
            Target.DirtyLeft = static_cast<int32_t>(X0);
            Target.DirtyRight = static_cast<int32_t>(X1 - 1);
            Target.DirtyTop = Target.DirtyBottom = static_cast<int32_t>(Line);
        } else {
            Target.DirtyLeft = std::min(Target.DirtyLeft, static_cast<int32_t>(X0));
            Target.DirtyRight = std::max(Target.DirtyRight, static_cast<int32_t>(X1 - 1));
            Target.DirtyTop = std::min(Target.DirtyTop, static_cast<int32_t>(Line));
            Target.DirtyBottom = std::max(Target.DirtyBottom, static_cast<int32_t>(Line));
        }
    }
}

void TOrvexCanvas::PaintTexturedWith(TPaintFunction Paint, void* Context) {
    if (!FRedirected || FTextureTarget) {
        Paint(Context);
        return;
    }
    PaintTexturedBands(*FRedirected, Paint, Context);
}

void TOrvexCanvas::PaintTexturedBands(QPainter& Painter, TPaintFunction Paint, void* Context) {
    const int32_t W = FWidth, H = FHeight, PPI = FPixelsPerInch;
    TPrjModel* Prj = FView ? FView->ProjectionModel() : nullptr;
    int32_t Factor = 1;
    if (Prj && Magnification(Painter) > 1.01) {
        Factor = static_cast<int32_t>(std::min<double>(std::ceil(Magnification(Painter)), MaxMagnification));
        while (Factor > 1 && (int64_t(W) * Factor * int64_t(H) * Factor > MaxMagnifiedPixels ||
                              int64_t(std::max(W, H)) * Factor > MaxMagnifiedSide))
            --Factor;
    }
    // A finer surface for the texture alone: the projection is scaled with it and put back
    // exactly afterwards.
    const long double Scale = Prj ? Prj->ScaleFactor() : 0;
    const int32_t XOrigin = Prj ? Prj->XOrigin() : 0, YOrigin = Prj ? Prj->YOrigin() : 0;
    if (Factor > 1 && !SetSize(W * Factor, H * Factor, PPI * Factor)) Factor = 1;

    std::exception_ptr Failure;
    Painter.save();
    try {
        if (Factor > 1) Painter.scale(1.0 / Factor, 1.0 / Factor);
        const int32_t BandRows =
            static_cast<int32_t>(std::clamp<int64_t>(BandBytes / (int64_t(FWidth) * 4), 1, FHeight));
        QImage Band(FWidth, BandRows, QImage::Format_ARGB32_Premultiplied);
        for (int32_t Top = 0; !Band.isNull() && Top < FHeight; Top += BandRows) {
            Band.fill(Qt::transparent);
            TTextureTarget Target;
            Target.Bits = Band.bits();
            Target.Stride = Band.bytesPerLine();
            Target.Width = FWidth;
            Target.Top = Top;
            Target.Rows = std::min(BandRows, FHeight - Top);
            Target.BytesPerPixel = 4;
            FTextureTarget = &Target;
            Paint(Context);
            FTextureTarget = nullptr;
            if (Target.DirtyRight >= Target.DirtyLeft) {
                const QRect Written(Target.DirtyLeft, Target.DirtyTop - Top, Target.DirtyRight - Target.DirtyLeft + 1,
                                    Target.DirtyBottom - Target.DirtyTop + 1);
                Painter.drawImage(QPoint(Target.DirtyLeft, Target.DirtyTop), Band, Written);
            }
        }
    } catch (...) {
        Failure = std::current_exception();
    }
    FTextureTarget = nullptr;
    Painter.restore();
    if (Factor > 1) {
        SetSize(W, H, PPI);
        if (Prj->ScaleFactor() != Scale) Prj->ApplyScaleFactor(Scale);
        Prj->SetXOrigin(XOrigin);
        Prj->SetYOrigin(YOrigin);
    }
    if (Failure) std::rethrow_exception(Failure);
}

// ---------------------------------------------------------------------------------------
// The view's texture settings

void TOrvex3::SetTextureFilename(const std::string& Name) {
    const bool Shown = FTextureBackground;
    std::error_code Error;
    if (Name.empty()) {
        // No file name, no texture.
        FTexture.Clear();
    } else if (!std::filesystem::exists(std::filesystem::path(Name), Error)) {
        // A missing file changes nothing: the texture on show keeps the name of its file.
        if (FTexture.IsLoaded()) return;
    } else {
        FTexture.LoadBitmapFile(Name);
    }
    if (FTexture.IsLoaded()) {
        FTextureFilename = Name;
    } else {
        FTextureFilename.clear();
        FTextureBackground = false;
    }
    if (Shown) RequestRender();
}

void TOrvex3::SetTextureBackground(bool Value) {
    FTextureBackground = Value && FTexture.IsLoaded();
    RequestRender();
}
