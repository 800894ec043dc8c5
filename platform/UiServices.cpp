// Which services are in use. The window system's own are in UiServicesQt.cpp, apart: the
// model calls UiServices() (the hourglass of a long load), and a program that reads layers
// without any window (orvex info) links none of the GUI libraries.
#include "platform/UiServices.h"

namespace {

TUiServices* Installed = nullptr;
TUiServices& (*Default)() = nullptr;

// Where there is no window system: nothing is shown and every question is answered OK.
class TQuietUiServices : public TUiServices {
public:
    void ShowMessage(const std::string&, const std::string&, TMessageKind) override {}
    bool ConfirmWarning(const std::string&, const std::string&) override { return true; }
    void BeginHourglass() override {}
    void EndHourglass() override {}
    void ProcessMessages() override {}
    // No dialog exists without the window system's services.
    bool ExecDialog(QDialog&) override { return false; }
};

}  // namespace

TUiServices& UiServices() {
    if (Installed) return *Installed;
    if (Default) return Default();
    static TQuietUiServices Quiet;
    return Quiet;
}

TUiServices* SetUiServices(TUiServices* Services) {
    TUiServices* Previous = Installed;
    Installed = Services;
    return Previous;
}

void SetDefaultUiServices(TUiServices& (*Services)()) { Default = Services; }
