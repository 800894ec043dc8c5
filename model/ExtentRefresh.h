#pragma once
// Bringing an object's extent up to date after a change of scale, or after a reader that
// measured each chain's box as it read the points.

class TOrvexObject;

// A chain whose box still stands keeps it and only has what its presenter makes of the
// scale redone (and its 3D cache, thinned for the old scale, dropped); any other object is
// measured afresh.
void RefreshExtents(TOrvexObject& O);
