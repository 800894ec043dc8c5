#pragma once
// The zoom buttons' glyphs: a magnifier with a plus or a minus, and a globe in a frame for
// fitting the whole map. They are drawn, not stored, so that they stay sharp at any size and
// device pixel ratio.

#include <QIcon>

enum TGlyph { glFit, glZoomIn, glZoomOut };

// An icon that draws Glyph afresh at every size it is asked for.
QIcon ZoomIcon(TGlyph Glyph);
