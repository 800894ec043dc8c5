#pragma once
// The one list of the view's projections. The view's projection switching, the
// command-line tool and the editor's projection list all read it: a new projection is one
// entry here.

#include <functional>
#include <string>
#include <vector>

#include "projections/PrjModel.h"

class TOrvex3;

struct TProjectionInfo {
    std::string Name;       // as the editor's projection list shows it, e.g. "Mercator"
    std::string Key;        // the command-line name, e.g. "mercator"
    std::string ClassName;  // e.g. "TMercatorPrj"
    TOrvexProjection Kind;  // what the view's Projection reads while it shows this projection
    // A new projection for View, which the caller hands to the view (it takes ownership).
    std::function<TPrjModel*(TOrvex3*)> Create;
};

// In the order of the editor's list.
const std::vector<TProjectionInfo>& ProjectionRegistry();
// Case-insensitive match of Key, Name or ClassName; null when none matches.
const TProjectionInfo* FindProjection(const std::string& Text);
// The command-line names joined with Separator ("spherical|cartesian|...").
std::string ProjectionKeys(const std::string& Separator = "|");
// The projection the view makes for Kind: the first entry of that kind, the spherical one
// for opUnknown.
const TProjectionInfo& ProjectionOfKind(TOrvexProjection Kind);
// The kind of Model: that of the entry for its class or, failing that, for the nearest
// class it derives from; opUnknown when there is none.
TOrvexProjection ProjectionKindOf(const TPrjModel& Model);
// The entry for Model's class or, failing that, for the nearest class it derives from; null
// when there is none.
const TProjectionInfo* ProjectionInfoOf(const TPrjModel& Model);
