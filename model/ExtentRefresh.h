#pragma once
// Bringing an object's extent up to date after a change of scale, or after a reader that
// measured each chain's box as it read the points.

class TOrvexObject;

// A chain whose box still stands keeps it and only has what its presenter makes of the
// scale redone (its 3D cache knows the scale it was thinned for); any other object is
// measured afresh.
void RefreshExtents(TOrvexObject& O);
