#include "importers/ImportDriver.h"

#include <algorithm>

#include "model/OrvexLayer.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {
// A failure whose report has gone out already.
class EReportedImportError : public EImportError {
public:
    using EImportError::EImportError;
};
}  // namespace

TImportDriver::TImportDriver(TOrvex3& View, std::string FinishText) : FRun(View, std::move(FinishText)), FView(View) {}

TImportDriver::~TImportDriver() = default;

void TImportDriver::Run(const std::vector<std::string>& Files, const std::string& StartText,
                        const TReadFile& ReadFile) {
    for (const std::string& Path : Files) {
        FPath = Path;
        UiServices().ProcessMessages();
        try {
            if (!StartText.empty()) Progress(1, StartText + Path);
            const bool GoOn = ReadFile(Path);
            EndFile(false);
            if (!GoOn) return;
        } catch (const EProgressAborted&) {
            EndFile(true);
            throw;
        } catch (const EReportedImportError&) {
            EndFile(false);
            throw;
        } catch (const EImportAborted&) {
            EndFile(false);
            throw;
        } catch (const std::exception& E) {
            EndFile(false);
            FView.Progress(-1, E.what());
            throw;
        }
    }
}

void TImportDriver::EndFile(bool Cancelled) {
    FFill.reset();
    // A cancelled file leaves no half layer; the handler may have removed it already.
    const auto& Layers = FView.Layers();
    if (Cancelled && FLayer && std::find(Layers.begin(), Layers.end(), FLayer) != Layers.end()) FLayer->Delete();
    FLayer = nullptr;
}

TOrvexLayer* TImportDriver::AddLayer(const std::string& Name) {
    FinishLayer();
    FLayer = FView.AddLayer(Name);
    FFill = std::make_unique<TLayerFill>(FView, FLayer);
    return FLayer;
}

void TImportDriver::FinishLayer() { FFill.reset(); }

void TImportDriver::Progress(int MsgType, const std::string& Text) {
    if (FView.Progress(MsgType, Text)) throw EProgressAborted("Import cancelled");
    CheckLayer();
}

void TImportDriver::CheckLayer() const {
    if (FFill) FFill->CheckAlive(FPath);
}

void TImportDriver::ReportAndFail(const std::string& Text, const std::string& Error) {
    FView.Progress(-1, Text);
    throw EReportedImportError(Error);
}

void TImportDriver::ReportAndAbort(const std::string& Text, const std::string& Error) {
    FView.Progress(-1, Text);
    throw EImportAborted(Error);
}
