#include "view/ExportImage.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <cctype>
#include <string_view>

#include "foundation/OXUtils.h"
#include "foundation/OrvexExceptions.h"
#include "foundation/ProgressAborted.h"
#include "platform/AtomicFile.h"
#include "view/OrvexCanvas.h"
#include "view/Orvex3.h"

namespace {
bool EndsWith(const std::string& S, std::string_view Suffix) {
    if (S.size() < Suffix.size()) return false;
    for (size_t I = 0; I < Suffix.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(S[S.size() - Suffix.size() + I])) != Suffix[I]) return false;
    return true;
}

// The picture's bytes in the chosen format; false when they could not be made.
bool MakePicture(TOrvex3& View, TPictureFormat Kind, int32_t Width, int32_t Height, QBuffer& Buffer) {
    if (Kind == TPictureFormat::Pdf) {
        QPdfWriter Writer(&Buffer);
        Writer.setResolution(96);
        Writer.setPageSize(QPageSize(QSizeF(Width * 72.0 / 96.0, Height * 72.0 / 96.0), QPageSize::Point));
        Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        View.WithSurfaceSize(Width, Height, [&] { View.RenderToDevice(&Writer); });
        if (View.RenderAborted()) throw EProgressAborted("Export cancelled");
        return true;
    }
    QImage Image(Width, Height, QImage::Format_RGB888);
    if (Image.isNull())
        throw EOrvexException(
            Format("There is not enough memory for an image of %d x %d pixels", int(Width), int(Height)));
    const TOrvexCanvas& Surface = *View.Canvas();
    if (Width == Surface.Width() && Height == Surface.Height())
        View.RenderToImage(Image);
    else
        View.WithSurfaceSize(Width, Height, [&] { View.RenderToDevice(&Image); });
    if (View.RenderAborted()) throw EProgressAborted("Export cancelled");
    return Image.save(&Buffer, Kind == TPictureFormat::Png ? "PNG" : "JPG");
}
}  // namespace

TPictureFormat PictureFormatOf(const std::string& Path) {
    if (EndsWith(Path, ".png")) return TPictureFormat::Png;
    if (EndsWith(Path, ".jpg") || EndsWith(Path, ".jpeg")) return TPictureFormat::Jpeg;
    if (EndsWith(Path, ".pdf")) return TPictureFormat::Pdf;
    return TPictureFormat::Unknown;
}

std::string PictureSizeProblem(int64_t Width, int64_t Height) {
    if (Width < 1 || Height < 1)
        return "The width and the height of the image must be at least 1 pixel";
    if (Width > MaxPictureSide || Height > MaxPictureSide)
        return Format("An image of %lld x %lld pixels is too large: the width and the height may be at most %d pixels",
                      static_cast<long long>(Width), static_cast<long long>(Height), int(MaxPictureSide));
    return {};
}

bool ExportPicture(TOrvex3& View, const std::string& Path, int32_t Width, int32_t Height) {
    if (const std::string Problem = PictureSizeProblem(Width, Height); !Problem.empty()) throw EOrvexException(Problem);
    const TPictureFormat Kind = PictureFormatOf(Path);
    if (Kind == TPictureFormat::Unknown)
        throw EOrvexException(
            Format("Cannot export to '%s': the file name must end in .png, .jpg, .jpeg or .pdf", Path.c_str()));
    TAtomicFile File(Path);
    if (File.Failed()) return false;
    QBuffer Buffer;
    Buffer.open(QIODevice::WriteOnly);
    if (!MakePicture(View, Kind, Width, Height, Buffer)) return false;
    const QByteArray& Bytes = Buffer.data();
    return File.Write(Bytes.constData(), size_t(Bytes.size())) && File.Commit();
}
