#include "view/OrvexCanvas.h"

TPixelPoint* PointBuffer = nullptr;
TPixelPoint* ClipBuffer = nullptr;
