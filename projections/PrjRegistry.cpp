#include "projections/PrjRegistry.h"

#include <QString>

#include "platform/Text.h"
#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/OXProject.h"
#include "projections/SphericalPrj.h"

namespace {

template <class T>
TProjectionInfo Entry(const char* Name, const char* Key, TOrvexProjection Kind) {
    return TProjectionInfo{Name, Key, T::StaticClassInfo().ClassName, Kind,
                           [](TOrvex3* View) -> TPrjModel* { return T::Create(View); }};
}

bool SameText(const std::string& A, const std::string& B) {
    return ToQString(A).compare(ToQString(B), Qt::CaseInsensitive) == 0;
}

}  // namespace

const std::vector<TProjectionInfo>& ProjectionRegistry() {
    static const std::vector<TProjectionInfo> Registry = {
        Entry<TSphericalPrj>("Spherical", "spherical", opSpherical),
        Entry<TCartesianPrj>("Cartesian", "cartesian", opCartesian),
        Entry<TMercatorPrj>("Mercator", "mercator", opMercator),
        // The further projections are flat maps of the cartesian kind.
        Entry<TEquidistantPrj>("Azimuthal Equidistant", "equidistant", opCartesian),
        Entry<TCylEqualAreaPrj>("Cylindrical Equal Area", "cylindrical", opCartesian),
        Entry<TBehrmannCylEqualAreaPrj>("Behrmann Cylindrical Equal Area", "behrmann", opCartesian),
        Entry<TPetersPrj>("Peters", "peters", opCartesian),
        Entry<TAlbersEqualAreaConicPrj>("Albers Equal Area Conic", "albers", opCartesian),
        Entry<TSinusoidalPrj>("Sinusoidal", "sinusoidal", opCartesian),
        Entry<TBonnePrj>("Bonne", "bonne", opCartesian),
    };
    return Registry;
}

const TProjectionInfo* FindProjection(const std::string& Text) {
    for (const TProjectionInfo& P : ProjectionRegistry())
        if (SameText(P.Key, Text) || SameText(P.Name, Text) || SameText(P.ClassName, Text)) return &P;
    return nullptr;
}

std::string ProjectionKeys(const std::string& Separator) {
    std::string Keys;
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        if (!Keys.empty()) Keys += Separator;
        Keys += P.Key;
    }
    return Keys;
}

const TProjectionInfo& ProjectionOfKind(TOrvexProjection Kind) {
    const std::vector<TProjectionInfo>& Registry = ProjectionRegistry();
    for (const TProjectionInfo& P : Registry)
        if (P.Kind == Kind) return P;
    for (const TProjectionInfo& P : Registry)
        if (P.Kind == opSpherical) return P;
    return Registry.front();
}

const TProjectionInfo* ProjectionInfoOf(const TPrjModel& Model) {
    for (const TClassInfo* C = &Model.ClassInfo(); C; C = C->Parent)
        for (const TProjectionInfo& P : ProjectionRegistry())
            if (P.ClassName == C->ClassName) return &P;
    return nullptr;
}

TOrvexProjection ProjectionKindOf(const TPrjModel& Model) {
    const TProjectionInfo* Info = ProjectionInfoOf(Model);
    return Info ? Info->Kind : opUnknown;
}
