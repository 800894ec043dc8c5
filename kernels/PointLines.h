#pragma once
// The point lines of MIF files ("-77.0880598154 83.1256427863"), the bulk of a large file,
// read straight from the file's buffer.

#include <cstdint>
#include <vector>

#include "foundation/OXUtils.h"
#include "kernels/Versions.h"

// The line at P when it is nothing but two plain decimals (ScanDecimal's form) in the usual
// range of degrees, one or more blanks apart, ending in LF, CR LF or CR: its point (MakePoint's,
// by PairDegreesToUnits or else FastDegreesToUnits). P moves past the line end. False (P left)
// for any other line, and for one that may go on behind End unless Last says the file ends there.
bool ScanPointLine(const char*& P, const char* End, bool Last, TPoint3D& Point);

// Up to Room such lines from P into Out while the buffer, which starts at Floor, holds 64 bytes
// ahead: how many (P moves past them). Stops at the first line ScanPointLine does not take.
int32_t ScanPointLines(const char*& P, const char* Floor, const char* End, int32_t Room, TPoint3D* Out);

namespace Kernels {
using TPointLinesFn = int32_t(const char*& P, const char* Floor, const char* End, int32_t Room, TPoint3D* Out);
std::vector<TKernelVersion<TPointLinesFn>> PointLinesVersions();

// The line scanner inside each version of ScanPointLines, which takes the lines it can whole and
// leaves the others to ScanPointLine: the lines of two plain decimals, blanks apart, that end
// within 32 bytes. The line's length with its end and the two numbers exactly as ScanDecimal
// reads them; 0 for any other line. The 16 bytes in front of P and the 33 from P on must be
// readable.
using TLineScanFn = int(const char* P, double& X, double& Y);
std::vector<TKernelVersion<TLineScanFn>> LineScanVersions();
}  // namespace Kernels
