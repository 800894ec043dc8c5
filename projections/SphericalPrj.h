#pragma once
// The earth as a sphere seen from far away: points are rotated by the three rotation
// angles and projected orthographically; the far side is culled.

#include "projections/PrjModel.h"

struct TBoundingCap;

class TSphericalPrj : public TPrjModel {
    ORVEX_CLASS_INFO
public:
    explicit TSphericalPrj(TOrvex3* View);
    static TSphericalPrj* Create(TOrvex3* View) { return new TSphericalPrj(View); }

    // XRotation is clamped to +-90 degrees, YRotation and ZRotation wrapped; every change
    // rebuilds the matrices.
    void SetParameter(int32_t Index, int32_t Value) override;
    void ApplyScaleFactor(long double Value) override;
    // Where the object's bounding cap puts every sample of its extent on one side of the
    // horizon and on the surface, decided from the cap alone, with the samples' result.
    bool IsExtentVisible(const TExtent& Extent, TOrvexObject* Obj, uint8_t& ClipCode) override;
    // 1 when every point within the cap projects onto the surface on the near side, -1 the
    // same on the far side, 0 when the cap does not tell.
    int CapSide(const TBoundingCap& Cap) const;
    using TPrjModel::ProjectChain;
    int32_t ProjectChain(TOrvexObject* Obj, int32_t& Resume) override;
    // The vectors of a chain drawn with the level of detail, thinned for the next wheel notch in.
    int64_t PrepareChain(TOrvexObject* Obj) override;
    // Writes the entry for hidden points too; true on the near side, or on the far side
    // during the view's back-side pass.
    bool PointToXY(const TPoint3D& Point, int32_t Index) override;
    // The near-side point under the pixel; false outside the disc.
    bool XYToLL(int32_t X, int32_t Y, int32_t Index) override;
    // The textured sphere when the view shows its texture, else the disc outline.
    void PaintBackground() override;
    // The sphere covered with texture triangles from a subdivided octahedron.
    bool PaintTexture() override;

    const TMatrix3& ForwardMatrix() const { return FForwardMatrix; }
    const TMatrix3& InverseMatrix() const { return FInverseMatrix; }
    long double DiscRadius() const { return FDiscRadius; }

private:
    // Disc radius and matrices from the scale and the rotations.
    void Rebuild();
    bool Hidden(double Depth) const;
    // StorePixel for offsets held in doubles, rounded in doubles where that gives the same
    // whole numbers: the per-point path of a chain.
    bool StoreDoublePixel(int32_t Index, double OffsetX, double OffsetY) const;
    // Projects the vectors Source yields for positions Resume..Count-1 (Source returns false
    // for a position it drops); the pieces and Resume work as in ProjectChain.
    template <class TVector, class TSource>
    int32_t ProjectVectors(TSource& Source, int32_t Count, bool HorizonMode, int32_t& Resume);

    TMatrix3 FForwardMatrix{};
    TMatrix3 FInverseMatrix{};
    long double FDiscRadius = 0;
    long double FDiscRadiusSquared = 0;
};
