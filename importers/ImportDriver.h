#pragma once
// The run every importer reads its files in: the hourglass and the closing report, a report at
// the start of each file, the cancel, the layer of the file being read (kept with what it holds
// after a failure, removed after a cancel) and one report of a failure. The importer reads a
// file into the layers it asks for; the driver does the rest.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "importers/ImportSupport.h"

class TOrvex3;
class TOrvexLayer;

class TImportDriver {
public:
    // The hourglass from here on; FinishText goes out with MsgType 2 when the driver goes,
    // whatever ended the run.
    TImportDriver(TOrvex3& View, std::string FinishText);
    ~TImportDriver();
    TImportDriver(const TImportDriver&) = delete;
    TImportDriver& operator=(const TImportDriver&) = delete;

    // Reads the files in order. Before each, pending messages run and StartText with the path
    // goes out with MsgType 1 (an empty StartText leaves that report to ReadFile). ReadFile
    // returns false to end the run quietly (a dialog was cancelled). A cancel removes the
    // layer being made and raises EProgressAborted; EImportAborted and the failures of
    // ReportAndFail pass without a further report; any other failure goes out with MsgType -1
    // and is raised again. Layers made before stay, with their extents computed.
    using TReadFile = std::function<bool(const std::string& Path)>;
    void Run(const std::vector<std::string>& Files, const std::string& StartText, const TReadFile& ReadFile);

    // For ReadFile. A new layer for the file; the one it made before is complete.
    TOrvexLayer* AddLayer(const std::string& Name);
    // The layer being made is complete: its extents computed, its update ended.
    void FinishLayer();
    // A progress report; raises EProgressAborted when the user cancelled and, while a layer is
    // being made, EImportError when the handler removed it.
    void Progress(int MsgType, const std::string& Text);
    // EImportError when the layer being made is no longer the view's (messages ran meanwhile).
    void CheckLayer() const;
    // Text goes out with MsgType -1 at once, and Error ends the run as EImportError...
    [[noreturn]] void ReportAndFail(const std::string& Text, const std::string& Error);
    // ... or as EImportAborted, an end the editor does not show again.
    [[noreturn]] void ReportAndAbort(const std::string& Text, const std::string& Error);

private:
    void EndFile(bool Cancelled);

    TImportRun FRun;
    TOrvex3& FView;
    std::string FPath;  // of the file being read
    TOrvexLayer* FLayer = nullptr;
    std::unique_ptr<TLayerFill> FFill;
};
