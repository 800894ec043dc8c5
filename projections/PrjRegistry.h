#pragma once
// The one list of the view's projections. The view's projection switching, the
// command-line tool and the editor's projection list all read it: a new projection is one
// entry here.

#include <functional>
#include <string>
#include <vector>

class TOrvex3;
class TPrjModel;

struct TProjectionInfo {
    std::string Name;       // as the editor's projection list shows it, e.g. "Mercator"
    std::string Key;        // the command-line name, e.g. "mercator"
    std::string ClassName;  // e.g. "TMercatorPrj"
    // A new projection for View, which the caller hands to the view (it takes ownership).
    std::function<TPrjModel*(TOrvex3*)> Create;
};

// In the order of the editor's list.
const std::vector<TProjectionInfo>& ProjectionRegistry();
// Case-insensitive match of Key, Name or ClassName; null when none matches.
const TProjectionInfo* FindProjection(const std::string& Text);
// The command-line names joined with '|' ("spherical|cartesian|...").
std::string ProjectionKeys();
