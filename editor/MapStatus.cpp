#include "editor/MapStatus.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "foundation/NumberText.h"
#include "projections/PrjRegistry.h"
#include "platform/PointBuffer.h"
#include "platform/Text.h"
#include "view/Orvex3.h"

namespace {

constexpr int64_t kUnitsPerSecond = 1500;
constexpr double kKilometresPerNauticalMile = 1.852;
constexpr double kNauticalMilesPerRadian = 180.0 * 60.0 / 3.14159265358979323846;

// Degrees, minutes and whole seconds of |Units|, rounded once so that 59.6" never shows as 60".
std::string Dms(int64_t Units, char Positive, char Negative) {
    const int64_t Seconds = (std::llabs(Units) + kUnitsPerSecond / 2) / kUnitsPerSecond;
    char Text[32];
    std::snprintf(Text, sizeof Text, "%lld\u00b0%02lld'%02lld\"%c", static_cast<long long>(Seconds / 3600),
                  static_cast<long long>(Seconds / 60 % 60), static_cast<long long>(Seconds % 60),
                  Units < 0 ? Negative : Positive);
    return Text;
}

// Longitude in [-180°, 180°) and latitude within the poles.
TPoint3D Normalised(const TPoint3D& Place) {
    return TPoint3D{NormalizeLongitude(Place.X), std::clamp(Place.Y, -486000000, 486000000), 0};
}

// Digits of Value grouped by thin spaces in threes ("24 600 000"): a space cannot be read as a
// decimal separator in any locale.
std::string Grouped(long long Value) {
    std::string Digits = std::to_string(Value), Out;
    for (size_t I = 0; I < Digits.size(); ++I) {
        if (I > 0 && (Digits.size() - I) % 3 == 0) Out += ' ';
        Out += Digits[I];
    }
    return Out;
}

std::string LengthIn(double Value, const char* Unit) {
    const int Decimals = Value < 10 ? 2 : Value < 1000 ? 1 : 0;
    return FixedToText(Value, Decimals) + ' ' + Unit;
}

}  // namespace

std::string FormatPlace(const TPoint3D& Place, TCoordinateStyle Style) {
    const TPoint3D P = Normalised(Place);
    if (Style == TCoordinateStyle::Dms) return Dms(P.Y, 'N', 'S') + ' ' + Dms(P.X, 'E', 'W');
    return FixedToText(P.Y / 5400000.0L, 5) + ", " + FixedToText(P.X / 5400000.0L, 5);
}

std::string FormatScale(long double ScaleFactor, int32_t PixelsPerInch) {
    if (!(ScaleFactor > 0) || PixelsPerInch <= 0) return {};
    // Metres of ground per pixel over metres of screen per pixel.
    const long double Ground = 1852.0L / 90000.0L / ScaleFactor;
    const long double Screen = 0.0254L / PixelsPerInch;
    const long double N = Ground / Screen;
    if (!std::isfinite(static_cast<double>(N)) || N < 1 || N > 1e15L) return {};
    const long double Step = std::pow(10.0L, std::max(0.0L, std::floor(std::log10(N)) - 2));
    return "1 : " + Grouped(static_cast<long long>(std::llround(N / Step) * static_cast<long long>(Step)));
}

double GreatCircleNauticalMiles(const TPoint3D& From, const TPoint3D& To) {
    const double K = static_cast<double>(RadiansPerOrvexUnit);
    const double Lat1 = From.Y * K, Lat2 = To.Y * K;
    const double DLat = (int64_t(To.Y) - From.Y) * K;
    const double DLon = (int64_t(To.X) - From.X) * K;
    const double H = std::sin(DLat / 2) * std::sin(DLat / 2) +
                     std::cos(Lat1) * std::cos(Lat2) * std::sin(DLon / 2) * std::sin(DLon / 2);
    return 2 * std::asin(std::sqrt(std::clamp(H, 0.0, 1.0))) * kNauticalMilesPerRadian;
}

std::string FormatLength(double NauticalMiles) {
    return LengthIn(NauticalMiles * kKilometresPerNauticalMile, "km") + " (" + LengthIn(NauticalMiles, "nmi") + ")";
}

double TMeasurePath::TotalNauticalMiles() const {
    double Sum = 0;
    for (size_t I = 1; I < FPoints.size(); ++I) Sum += GreatCircleNauticalMiles(FPoints[I - 1], FPoints[I]);
    return Sum;
}

double TMeasurePath::LastLegNauticalMiles() const {
    const size_t N = FPoints.size();
    return N < 2 ? 0 : GreatCircleNauticalMiles(FPoints[N - 2], FPoints[N - 1]);
}

TMapStatus::TMapStatus(QWidget* Parent)
    : QWidget(Parent), FPlace(new QLabel), FScale(new QLabel), FProjection(new QLabel), FMeasure(new QLabel) {
    auto* Row = new QHBoxLayout(this);
    Row->setContentsMargins(0, 0, 0, 0);
    FPlace->setObjectName("PlaceField");
    FScale->setObjectName("ScaleField");
    FProjection->setObjectName("ProjectionField");
    FMeasure->setObjectName("MeasureField");
    // Wide enough for the longest place, so the fields do not jump while the mouse moves.
    FPlace->setMinimumWidth(FPlace->fontMetrics().horizontalAdvance(QStringLiteral("00\u00b000'00\"N 000\u00b000'00\"W  ")));
    // The scale and the projection as wide as their longest texts: a field that followed its
    // text would move its neighbours, and the bar would cut the last one short.
    constexpr int kPadding = 12;
    const QFontMetrics& Metrics = FScale->fontMetrics();
    FScale->setMinimumWidth(Metrics.horizontalAdvance(QStringLiteral("1 : 000 000 000 000")) + kPadding);
    int Widest = 0;
    for (const TProjectionInfo& P : ProjectionRegistry()) Widest = std::max(Widest, Metrics.horizontalAdvance(ToQString(P.Name)));
    FProjection->setMinimumWidth(Widest + kPadding);
    for (QLabel* Field : {FMeasure, FPlace, FScale, FProjection}) {
        Field->setFrameShape(QFrame::StyledPanel);
        Row->addWidget(Field);
    }
    FMeasure->hide();
}

void TMapStatus::SetCoordinateStyle(TCoordinateStyle Style) {
    FStyle = Style;
    if (FHasPointer && FPointerOnMap) FPlace->setText(ToQString(FormatPlace(FPointer, FStyle)));
}

void TMapStatus::ShowPointer(const TOrvex3& View, int32_t X, int32_t Y) {
    FHasPointer = true;
    FPointerOnMap = View.PixelToLL(X, Y, FPointer);
    FPlace->setText(FPointerOnMap ? ToQString(FormatPlace(FPointer, FStyle)) : QStringLiteral("off the map"));
}

void TMapStatus::ClearPointer() {
    FHasPointer = false;
    FPlace->clear();
}

void TMapStatus::ShowView(const TOrvex3& View) {
    FScale->setText(ToQString(FormatScale(View.GetScaleFactor(), View.WindowPixelsPerInch())));
    const TPrjModel* Model = View.ProjectionModel();
    const TProjectionInfo* Info = Model ? ProjectionInfoOf(*Model) : nullptr;
    FProjection->setText(Info ? ToQString(Info->Name) : QString());
}

void TMapStatus::ShowBand(const TOrvex3& View, const QRect& Band) {
    const QRect R = Band.normalized();
    const int32_t MidX = R.center().x(), MidY = R.center().y();
    auto Across = [&View](int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) -> std::string {
        TPoint3D A{}, B{};
        if (!View.PixelToLL(X1, Y1, A) || !View.PixelToLL(X2, Y2, B)) return "?";
        return LengthIn(GreatCircleNauticalMiles(A, B) * kKilometresPerNauticalMile, "km");
    };
    const std::string Text = Across(R.left(), MidY, R.right() + 1, MidY) + " \u00d7 " + Across(MidX, R.top(), MidX, R.bottom() + 1);
    FMeasure->setText(ToQString(Text));
    FMeasure->show();
}

void TMapStatus::ShowMeasure(const TMeasurePath& Path) {
    std::string Text = "Length " + FormatLength(Path.TotalNauticalMiles());
    if (Path.Points().size() > 2) Text += ", last leg " + FormatLength(Path.LastLegNauticalMiles());
    FMeasure->setText(ToQString(Text));
    FMeasure->show();
}

void TMapStatus::ClearMeasure() {
    FMeasure->clear();
    FMeasure->hide();
}

void TMapStatus::Follow(QWidget& Map) {
    FMap = &Map;
    Map.installEventFilter(this);
}

bool TMapStatus::eventFilter(QObject* Watched, QEvent* Event) {
    if (FMap && Watched == FMap.data() && Event->type() == QEvent::Leave) ClearPointer();
    return QWidget::eventFilter(Watched, Event);
}

TMeasureOverlay::TMeasureOverlay(TOrvex3& View, const TMeasurePath& Path) : QWidget(&View), FView(View), FPath(Path) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(View.rect());
    View.installEventFilter(this);
}

bool TMeasureOverlay::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == &FView && Event->type() == QEvent::Resize) setGeometry(FView.rect());
    return QWidget::eventFilter(Watched, Event);
}

void TMeasureOverlay::paintEvent(QPaintEvent*) {
    const std::vector<TPoint3D>& Points = FPath.Points();
    TPrjModel* Model = FView.ProjectionModel();
    // A render lets events through for its progress; the point buffer is the render's then,
    // and the view paints again when it ends.
    if (Points.empty() || !Model || !PointBuffer || FView.Rendering()) return;
    QPainter Painter(this);
    Painter.setRenderHint(QPainter::Antialiasing);
    QPen Pen(QColor(220, 30, 30), 2);
    Painter.setPen(Pen);
    // The projection gives surface pixels; the overlay draws in window pixels.
    const double Scale = 1.0 / FView.SurfaceRatio();
    auto Project = [&](const TPoint3D& P, QPointF& At) {
        if (!Model->LLToXY(NormalizeLongitude(P.X), P.Y, 0)) return false;
        At = QPointF(PointBuffer[0].X * Scale, PointBuffer[0].Y * Scale);
        return true;
    };
    // Each leg as points along its great circle; a piece ends where a point has no pixel or
    // where two neighbours lie half a map apart (the seam of a flat map).
    constexpr int kSteps = 64;
    QPainterPath Path;
    bool Open = false;
    QPointF Last;
    auto Visit = [&](const TPoint3D& P) {
        QPointF At;
        if (!Project(P, At)) {
            Open = false;
            return;
        }
        if (Open && std::abs(At.x() - Last.x()) < width() / 2.0) Path.lineTo(At);
        else Path.moveTo(At);
        Open = true;
        Last = At;
    };
    const double K = static_cast<double>(RadiansPerOrvexUnit);
    for (size_t I = 0; I < Points.size(); ++I) {
        QPointF At;
        if (Project(Points[I], At)) Painter.drawEllipse(At, 3, 3);
        if (I == 0) {
            Visit(Points[0]);
            continue;
        }
        // Spherical interpolation between the unit vectors of the leg's ends.
        const TPoint3D& A = Points[I - 1];
        const TPoint3D& B = Points[I];
        const double Ax = std::cos(A.Y * K) * std::cos(A.X * K), Ay = std::cos(A.Y * K) * std::sin(A.X * K), Az = std::sin(A.Y * K);
        const double Bx = std::cos(B.Y * K) * std::cos(B.X * K), By = std::cos(B.Y * K) * std::sin(B.X * K), Bz = std::sin(B.Y * K);
        const double Omega = std::acos(std::clamp(Ax * Bx + Ay * By + Az * Bz, -1.0, 1.0));
        for (int S = 1; S <= kSteps; ++S) {
            const double T = double(S) / kSteps;
            double Wa = 1 - T, Wb = T;
            if (std::sin(Omega) > 1e-9) {
                Wa = std::sin((1 - T) * Omega) / std::sin(Omega);
                Wb = std::sin(T * Omega) / std::sin(Omega);
            }
            const double X = Wa * Ax + Wb * Bx, Y = Wa * Ay + Wb * By, Z = Wa * Az + Wb * Bz;
            const double Lon = std::atan2(Y, X), Lat = std::atan2(Z, std::hypot(X, Y));
            Visit(TPoint3D{NormalizeLongitude(std::llround(Lon / K)), static_cast<int32_t>(std::lround(Lat / K)), 0});
        }
    }
    Painter.setBrush(Qt::NoBrush);
    Painter.drawPath(Path);
}
