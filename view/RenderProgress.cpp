// Progress and Cancel of long renders and prints, and what keeps events let through meanwhile
// from disturbing the render: paints only show the picture so far, input to the view is
// dropped, a second render is refused, and a render met inside a paint of the window (where
// no events may be let through) is handed over to the event loop.

#include <QBackingStore>
#include <QEvent>
#include <QPainter>
#include <QPrinter>
#include <QTimer>
#include <algorithm>

#include "foundation/OrvexExceptions.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "projections/PrjModel.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"
#include "view/PrintOutput.h"

void TOrvex3::RefuseWhileRendering() const {
    if (FRenderRunning) throw EOrvexException("TOrvex3: the view is already rendering");
}

TOrvex3::TRenderRun::TRenderRun(TOrvex3& View, TRenderPaint Paint) : FView(View) {
    View.RefuseWhileRendering();
    View.FRenderRunning = true;
    View.FRenderAbort = false;
    View.FRenderReported = false;
    View.FRenderPaint = Paint;
    View.FRenderTicks = 0;
    View.FNextRenderReport = View.RenderProgressDelay;
    View.FRenderClock.start();
    const TPrjModel* P = View.FProjection.get();
    View.FFrameDetail = P && P->UniformDetailStretch() ? TFrameDetail{P, P->ScaleFactor(), P->DetailLevel(TExtent{})}
                                                       : TFrameDetail{};
}

TOrvex3::TRenderRun::~TRenderRun() {
    TOrvex3& V = FView;
    V.FRenderRunning = false;
    V.FFrameDetail = {};
    V.FRenderPaint = TRenderPaint::None;
    // A resize that came meanwhile takes effect from the event loop, after the render has
    // settled its own state.
    if (V.FResizeHeld) {
        V.FResizeHeld = false;
        QTimer::singleShot(0, &V, [&V] {
            if (V.Rendering() || V.Printing())
                V.FResizeHeld = true;
            else
                V.LayoutClientArea();
        });
    }
    if (V.FRenderReported && V.OnRenderProgress) {
        V.FRenderReported = false;
        bool Ignored = false;
        try {
            V.OnRenderProgress(&V, true, Ignored);
        } catch (...) {
            // A destructor must not throw; the report is only a notice.
        }
    }
}

void TOrvex3::AbortRender() {
    if (!FRenderRunning) return;
    FRenderAbort = true;
    // A printer that can drop its job does so; a PDF file is dropped by the print itself.
    if (FPrinter) FPrinter->abort();
}

bool TOrvex3::RenderCheckpointSlow() {
    if (Printing() && PrintAborted()) FRenderAbort = true;
    if (FRenderAbort || !OnRenderProgress) return FRenderAbort;
    const int64_t Now = FRenderClock.elapsed();
    if (Now < FNextRenderReport) return false;
    // No events may be let through inside a paint: a grab is drawn whole, and the window's
    // own paint hands the render over to the event loop.
    if (FRenderPaint == TRenderPaint::Other) return false;
    if (FRenderPaint == TRenderPaint::Window) {
        if (!FRenderQueued) {
            FRenderQueued = true;
            QTimer::singleShot(0, this, [this] { RenderQueued(); });
        }
        FRenderAbort = true;
        return true;
    }
    FRenderReported = true;
    bool Abort = false;
    OnRenderProgress(this, false, Abort);
    if (Abort) AbortRender();
    FNextRenderReport = FRenderClock.elapsed() + RenderProgressPeriod;
    return FRenderAbort || (Printing() && PrintAborted());
}

void TOrvex3::RenderQueued() {
    FRenderQueued = false;
    if (FRenderRunning || Printing() || !(RedrawPending || ScaleChanged) || !isVisible()) return;
    try {
        Render();
    } catch (const std::exception& E) {
        qWarning("Orvex: render failed: %s", E.what());
    }
    // A cancelled render leaves what it drew on show; only a finished one is painted.
    if (!FRenderAbort) update();
}

bool TOrvex3::PaintsWindow() const {
    // The backing store of the window is where its paints go; a grab goes to a pixmap.
    QBackingStore* Store = window()->backingStore();
    const QPaintDevice* Target = redirected(nullptr);
    return Store && Target && Target == Store->paintDevice();
}

bool TOrvex3::PaintDuringRender() {
    // The surface has the printer's size and resolution while printing: nothing to show.
    if (Printing()) return true;
    if (!FRenderRunning) {
        FPainting = PaintsWindow() ? TRenderPaint::Window : TRenderPaint::Other;
        return false;
    }
    QPainter Painter(this);
    Painter.scale(1 / FSurfaceRatio, 1 / FSurfaceRatio);
    Painter.drawImage(0, 0, FCanvas->Image());
    return true;
}

bool TOrvex3::event(QEvent* Event) {
    if (FRenderRunning) {
        switch (Event->type()) {
            // The render uses the projection, the origin and the surface: what would change
            // them waits for the render's end (a resize) or is dropped (input).
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ContextMenu:
            case QEvent::DragEnter:
            case QEvent::DragMove:
            case QEvent::Drop:
                Event->accept();
                return true;
            case QEvent::Resize:
                FResizeHeld = true;
                return true;
            default:
                break;
        }
    }
    const bool Handled = QWidget::event(Event);
    // On a screen of another device pixel ratio the surface takes the new resolution (a
    // paint checks it too: not every platform tells).
    if (Event->type() == QEvent::ScreenChangeInternal) LayoutClientArea();
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
    if (Event->type() == QEvent::DevicePixelRatioChange) LayoutClientArea();
#endif
    return Handled;
}

TPrintOutput::TPrintOutput(QPrinter& Printer) : FPrinter(Printer) {
    if (Printer.outputFormat() != QPrinter::PdfFormat || Printer.outputFileName().isEmpty()) return;
    FTarget = Printer.outputFileName();
    FFile = std::make_unique<TAtomicFile>(PathFromQString(FTarget), TAtomicFile::TWriter::ByName);
    if (FFile->Failed()) {
        FFile.reset();
        return;
    }
    Printer.setOutputFileName(PathToQString(FFile->TempPath()));
}

TPrintOutput::~TPrintOutput() {
    if (FFile) FPrinter.setOutputFileName(FTarget);
}

bool TPrintOutput::Commit() { return !FFile || FFile->Commit(); }
