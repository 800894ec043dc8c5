#include "projections/PrjModel.h"

const TClassInfo& TPrjModel::StaticClassInfo() {
    static const TClassInfo Info{"TPrjModel", &TPersistent::StaticClassInfo(), {}, {}};
    return Info;
}

const TClassInfo& TPrjModel::ClassInfo() const { return StaticClassInfo(); }

void TPrjModel::SetParameter(int32_t Index, int32_t Value) {
    switch (Index) {
        case 0: FXRotation = Value; break;
        case 1: FYRotation = Value; break;
        case 2: FZRotation = Value; break;
        case 3: FCentralMeridian = Value; break;
        case 4: FFirstParallel = Value; break;
        case 5: FSecondParallel = Value; break;
        case 6: FCentralParallel = Value; break;
        default: break;
    }
}

// The base places nothing; each projection supplies the geometry.
bool TPrjModel::IsExtentVisible(const TExtent&, TOrvexObject*, uint8_t&) { return false; }

bool TPrjModel::LLToXY(int32_t Longitude, int32_t Latitude, int32_t Index) {
    return PointToXY(TPoint3D{Longitude, Latitude, 0}, Index);
}

bool TPrjModel::PointToXY(const TPoint3D&, int32_t) { return false; }

bool TPrjModel::XYToLL(int32_t, int32_t, int32_t) { return false; }
