#include "projections/PrjRegistry.h"

#include <QString>

#include "projections/CartesianPrj.h"
#include "projections/MercatorPrj.h"
#include "projections/OXProject.h"
#include "projections/SphericalPrj.h"

namespace {

template <class T>
TProjectionInfo Entry(const char* Name, const char* Key) {
    return TProjectionInfo{Name, Key, T::StaticClassInfo().ClassName,
                           [](TOrvex3* View) -> TPrjModel* { return T::Create(View); }};
}

bool SameText(const std::string& A, const std::string& B) {
    return QString::fromStdString(A).compare(QString::fromStdString(B), Qt::CaseInsensitive) == 0;
}

}  // namespace

const std::vector<TProjectionInfo>& ProjectionRegistry() {
    static const std::vector<TProjectionInfo> Registry = {
        Entry<TSphericalPrj>("Spherical", "spherical"),
        Entry<TCartesianPrj>("Cartesian", "cartesian"),
        Entry<TMercatorPrj>("Mercator", "mercator"),
        Entry<TEquidistantPrj>("Azithmul Equidistant", "equidistant"),
        Entry<TCylEqualAreaPrj>("Cylindrical Equal Area", "cylindrical"),
        Entry<TBehrmannCylEqualAreaPrj>("Behrmann Cylindrical Equal Area", "behrmann"),
        Entry<TPetersPrj>("Peters", "peters"),
        Entry<TAlbersEqualAreaConicPrj>("Albers Equal Area Conic", "albers"),
        Entry<TSinusoidalPrj>("Sinusoidal", "sinusoidal"),
        Entry<TBonnePrj>("Bonne", "bonne"),
    };
    return Registry;
}

const TProjectionInfo* FindProjection(const std::string& Text) {
    for (const TProjectionInfo& P : ProjectionRegistry())
        if (SameText(P.Key, Text) || SameText(P.Name, Text) || SameText(P.ClassName, Text)) return &P;
    return nullptr;
}

std::string ProjectionKeys() {
    std::string Keys;
    for (const TProjectionInfo& P : ProjectionRegistry()) {
        if (!Keys.empty()) Keys += '|';
        Keys += P.Key;
    }
    return Keys;
}
