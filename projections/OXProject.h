#pragma once
// The further flat projections: azimuthal equidistant, the cylindrical equal-area family,
// Albers equal-area conic, Bonne and sinusoidal. Each forward places nothing outside the
// extents; each inverse reports false where the formulas leave the map.

#include "projections/CartesianPrj.h"

// Centred on (CentralMeridian, equator); the whole earth fills a disc of radius pi.
class TEquidistantPrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    explicit TEquidistantPrj(TOrvex3* View);
    static TEquidistantPrj* Create(TOrvex3* View) { return new TEquidistantPrj(View); }

    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;
    // The boundary circle, with or without a texture.
    void PaintBackground() override;
    bool PaintTexture() override { return false; }
    // The whole boundary circle is the one point opposite the centre: around it the map
    // stretches without bound, and a line through it leaves the map at one side of the
    // circle and comes back at another. Lines in the far hemisphere get points where their
    // direction from the centre turns, and break where they pass the antipode.
    bool NeedsLinePoints(const TExtent* Extent) const override;
    void LinePoints(const TPoint3D& From, const TPoint3D& To, std::vector<TLinePoint>& Points) const override;
    bool PlainLinesWithin(const TPointBox& Box, double MaxStep) const override;

protected:
    bool FlatForward(TFlatForward& F) const override;
    // Unbounded towards the antipode: chains are thinned only where they keep away from it.
    bool StretchBounds(long double&, long double&) const override { return false; }
    bool LocalStretch() const override { return true; }
    bool StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const override;

private:
    // A point's angular distance from the centre and its direction from it, a unit vector
    // (none at the centre and at the antipode).
    struct TBearing {
        long double Distance, North, East;
        bool Antipode;
    };
    TBearing BearingOf(const TPoint3D& Point) const;
    // The point just inside the boundary circle in the bearing's direction.
    TPoint3D EdgeToward(const TBearing& B) const;
    // Where Point lies from the centre: the angular distance c and its sine, and the point's
    // vector across the line of sight (East, North), whose length that sine is.
    struct TAzimuth {
        double C, SinC, East, North;
    };
    TAzimuth AzimuthOf(const TPoint3D& Point) const;
    // Adds the points after A up to B.
    void Follow(const TPoint3D& A, const TBearing& BA, const TPoint3D& B, const TBearing& BB,
                std::vector<TLinePoint>& Points) const;
    // A line's points come one after the other: each step starts where the last one ended,
    // whose bearing is kept (with the meridian it was taken from).
    TBearing StepStartBearing(const TPoint3D& Point) const;
    mutable TPoint3D FLastPoint{};
    mutable TBearing FLastBearing{};
    mutable int32_t FLastMeridian = 0;
    mutable bool FLastKnown = false;
};

// Standard parallel FirstParallel.
class TCylEqualAreaPrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    explicit TCylEqualAreaPrj(TOrvex3* View);
    static TCylEqualAreaPrj* Create(TOrvex3* View) { return new TCylEqualAreaPrj(View); }

    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;

protected:
    bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const override;
    // The column follows the longitude alone and the row the latitude alone: chains are
    // thinned by the ranks, which no local bound betters.
    bool SeparableAxes() const override;
    int64_t AxisRank(int Axis, int32_t Value) const override;

private:
    // The offsets PointToXY gives, from the longitude from the central meridian and from
    // the latitude: AxisRank rounds the same values.
    long double ColumnOffset(int64_t FromMeridian) const;
    long double RowOffset(int32_t Latitude) const;
    // cos(FirstParallel), worked out again only when the parallel changes.
    double CosFirstParallel() const;
    mutable int32_t FCosParallel = 0;
    mutable double FCos = 1;
};

// Standard parallel 30 degrees.
class TBehrmannCylEqualAreaPrj : public TCylEqualAreaPrj {
    ORVEX_CLASS_INFO
public:
    explicit TBehrmannCylEqualAreaPrj(TOrvex3* View);
    static TBehrmannCylEqualAreaPrj* Create(TOrvex3* View) { return new TBehrmannCylEqualAreaPrj(View); }
};

// Standard parallel 45 degrees.
class TPetersPrj : public TCylEqualAreaPrj {
    ORVEX_CLASS_INFO
public:
    explicit TPetersPrj(TOrvex3* View);
    static TPetersPrj* Create(TOrvex3* View) { return new TPetersPrj(View); }
};

// Standard parallels FirstParallel and SecondParallel, latitude of origin 0.
class TAlbersEqualAreaConicPrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    explicit TAlbersEqualAreaConicPrj(TOrvex3* View);
    static TAlbersEqualAreaConicPrj* Create(TOrvex3* View) { return new TAlbersEqualAreaConicPrj(View); }

    // A change of either standard parallel derives the cone constants again.
    void SetParameter(int32_t Index, int32_t Value) override;
    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;

    long double ConeConstant() const { return FConeConstant; }
    long double OriginRadius() const { return FOriginRadius; }
    long double AlbersC() const { return FAlbersC; }

protected:
    bool FlatForward(TFlatForward& F) const override;
    bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const override;
    bool LocalStretch() const override { return true; }
    bool StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const override;

private:
    void DeriveConstants();

    long double FConeConstant = 1;
    long double FOriginRadius = 0;
    long double FAlbersC = 0;
};

// Standard parallel FirstParallel.
class TBonnePrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    explicit TBonnePrj(TOrvex3* View);
    static TBonnePrj* Create(TOrvex3* View) { return new TBonnePrj(View); }

    void SetParameter(int32_t Index, int32_t Value) override;
    // A point whose arithmetic fails (on the apex of the cone) is not placed.
    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;

    long double CotFirstParallel() const { return FCotFirstParallel; }

protected:
    bool FlatForward(TFlatForward& F) const override;
    // Unbounded near the apex: chains are thinned only where they keep away from it.
    bool StretchBounds(long double&, long double&) const override { return false; }
    bool LocalStretch() const override { return true; }
    bool StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const override;

private:
    long double FCotFirstParallel = 0;
};

class TSinusoidalPrj : public TCartesianPrj {
    ORVEX_CLASS_INFO
public:
    using TCartesianPrj::TCartesianPrj;
    static TSinusoidalPrj* Create(TOrvex3* View) { return new TSinusoidalPrj(View); }

    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;

protected:
    bool FlatForward(TFlatForward& F) const override;
    bool StretchBounds(long double& PerLongitude, long double& PerLatitude) const override;
    bool LocalStretch() const override { return true; }
    bool StretchBoundsWithin(const TPointBox& Box, double& PerLongitude, double& PerLatitude) const override;
};
