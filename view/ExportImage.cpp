#include "view/ExportImage.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <cctype>
#include <chrono>
#include <new>
#include <vector>
#include <string_view>

#include "foundation/OXUtils.h"
#include "foundation/OrvexExceptions.h"
#include "foundation/ProgressAborted.h"
#include "platform/AtomicFile.h"
#include "platform/PngWriter.h"
#include "view/OrvexCanvas.h"
#include "view/Orvex3.h"

namespace {
bool EndsWith(const std::string& S, std::string_view Suffix) {
    if (S.size() < Suffix.size()) return false;
    for (size_t I = 0; I < Suffix.size(); ++I)
        if (std::tolower(static_cast<unsigned char>(S[S.size() - Suffix.size() + I])) != Suffix[I]) return false;
    return true;
}

// Times one step of an export into the given field, when someone asks.
class TStepTimer {
public:
    explicit TStepTimer(std::chrono::nanoseconds* Field) : FField(Field) {}
    ~TStepTimer() {
        if (FField) *FField += std::chrono::steady_clock::now() - FStart;
    }
    TStepTimer(const TStepTimer&) = delete;
    TStepTimer& operator=(const TStepTimer&) = delete;

private:
    std::chrono::nanoseconds* FField;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
};

// Exported pictures show every point, whatever the window draws from.
class TFullDetail {
public:
    explicit TFullDetail(TOrvex3& View) : FView(View), FWas(View.LevelOfDetail()) { View.SetLevelOfDetail(false); }
    ~TFullDetail() { FView.SetLevelOfDetail(FWas); }
    TFullDetail(const TFullDetail&) = delete;
    TFullDetail& operator=(const TFullDetail&) = delete;

private:
    TOrvex3& FView;
    bool FWas;
};

// The PDF document of what View shows.
QByteArray DrawDocument(TOrvex3& View, int32_t Width, int32_t Height) {
    QBuffer Buffer;
    Buffer.open(QIODevice::WriteOnly);
    QPdfWriter Writer(&Buffer);
    Writer.setResolution(96);
    Writer.setPageSize(QPageSize(QSizeF(Width * 72.0 / 96.0, Height * 72.0 / 96.0), QPageSize::Point));
    Writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const TFullDetail Full(View);
    View.WithSurfaceSize(Width, Height, [&] { View.RenderToDevice(&Writer); });
    if (View.RenderAborted()) throw EProgressAborted("Export cancelled");
    return Buffer.data();
}

// What View shows as an image. PNG takes the drawing surface's own pixel layout, so that the
// finished surface is copied as it is; the JPEG writer wants RGB.
QImage DrawImage(TOrvex3& View, TPictureFormat Kind, int32_t Width, int32_t Height) {
    QImage Image(Width, Height, Kind == TPictureFormat::Png ? QImage::Format_BGR888 : QImage::Format_RGB888);
    if (Image.isNull())
        throw EOrvexException(
            Format("There is not enough memory for an image of %d x %d pixels", int(Width), int(Height)));
    const TOrvexCanvas& Surface = *View.Canvas();
    const TFullDetail Full(View);
    if (Width == Surface.Width() && Height == Surface.Height())
        View.RenderToImage(Image);
    else
        View.WithSurfaceSize(Width, Height, [&] { View.RenderToDevice(&Image); });
    if (View.RenderAborted()) throw EProgressAborted("Export cancelled");
    return Image;
}

bool WriteImage(const QImage& Image, TPictureFormat Kind, TAtomicFile& File) {
    if (Kind == TPictureFormat::Jpeg) {
        QBuffer Buffer;
        Buffer.open(QIODevice::WriteOnly);
        if (!Image.save(&Buffer, "JPG")) return false;
        return File.Write(Buffer.data().constData(), size_t(Buffer.data().size()));
    }
    std::vector<uint8_t> Png;
    try {
        Png = EncodePng(Image);
    } catch (const std::bad_alloc&) {
        throw EOrvexException(Format("There is not enough memory to write an image of %d x %d pixels",
                                     Image.width(), Image.height()));
    }
    return File.Write(Png.data(), Png.size());
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

bool ExportPicture(TOrvex3& View, const std::string& Path, int32_t Width, int32_t Height, TExportTimes* Times) {
    if (const std::string Problem = PictureSizeProblem(Width, Height); !Problem.empty()) throw EOrvexException(Problem);
    const TPictureFormat Kind = PictureFormatOf(Path);
    if (Kind == TPictureFormat::Unknown)
        throw EOrvexException(
            Format("Cannot export to '%s': the file name must end in .png, .jpg, .jpeg or .pdf", Path.c_str()));
    // Made first, so that a place that cannot be written costs no drawing.
    TAtomicFile File(Path);
    if (File.Failed()) return false;
    if (Kind == TPictureFormat::Pdf) {
        QByteArray Document;
        {
            const TStepTimer Timer(Times ? &Times->Draw : nullptr);
            Document = DrawDocument(View, Width, Height);
        }
        const TStepTimer Timer(Times ? &Times->Write : nullptr);
        return File.Write(Document.constData(), size_t(Document.size())) && File.Commit();
    }
    QImage Image;
    {
        const TStepTimer Timer(Times ? &Times->Draw : nullptr);
        Image = DrawImage(View, Kind, Width, Height);
    }
    const TStepTimer Timer(Times ? &Times->Write : nullptr);
    return WriteImage(Image, Kind, File) && File.Commit();
}
