#pragma once
// The user-interface services that the component, the importers and the editor call:
// message boxes, the warning with OK and Cancel, the hourglass cursor, processing pending
// messages and modal dialogs. The Qt implementation shows real windows; the scripted one
// records what was shown and gives preset answers, so tests and the command-line tool make
// the same choices without a window.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QDialog;

// The icon of a message box.
enum TMessageKind : uint8_t { mkInformation, mkWarning, mkError };

class TUiServices {
public:
    virtual ~TUiServices() = default;
    // A message box with an OK button; mkWarning shows the exclamation icon.
    virtual void ShowMessage(const std::string& Caption, const std::string& Text,
                             TMessageKind Kind = mkInformation) = 0;
    // A warning with OK and Cancel; true for OK.
    virtual bool ConfirmWarning(const std::string& Caption, const std::string& Text) = 0;
    // Hourglass calls nest; the cursor returns when every Begin has its End.
    virtual void BeginHourglass() = 0;
    virtual void EndHourglass() = 0;
    // Lets the window system deliver what is pending (paints, input) during long work.
    virtual void ProcessMessages() = 0;
    // Runs Dialog modally; true when it was accepted.
    virtual bool ExecDialog(QDialog& Dialog) = 0;
};

// The services in use. Unless some were installed: the Qt ones inside a QApplication, else
// a scripted instance that answers OK to everything. Both only in a program that links them
// (see UseWindowUiServices); elsewhere nothing is shown and every question is answered OK.
TUiServices& UiServices();
// Installs Services (not owned) for the whole process; null returns to the default.
// Returns what was installed before.
TUiServices* SetUiServices(TUiServices* Services);
// The default when nothing is installed, as a function giving the services.
void SetDefaultUiServices(TUiServices& (*Services)());
// Makes the window system's services (the Qt or scripted ones above) the default. Every map
// view does when it is made, and any program that links them has them from the start.
void UseWindowUiServices();

class TQtUiServices : public TUiServices {
public:
    void ShowMessage(const std::string& Caption, const std::string& Text, TMessageKind Kind = mkInformation) override;
    bool ConfirmWarning(const std::string& Caption, const std::string& Text) override;
    void BeginHourglass() override;
    void EndHourglass() override;
    void ProcessMessages() override;
    bool ExecDialog(QDialog& Dialog) override;
};

class TScriptedUiServices : public TUiServices {
public:
    struct TMessage {
        std::string Caption;
        std::string Text;
        bool Warning = false;  // shown with OK and Cancel
        TMessageKind Kind = mkInformation;
    };

    void ShowMessage(const std::string& Caption, const std::string& Text, TMessageKind Kind = mkInformation) override;
    bool ConfirmWarning(const std::string& Caption, const std::string& Text) override;
    void BeginHourglass() override { ++HourglassDepth; }
    void EndHourglass() override { --HourglassDepth; }
    void ProcessMessages() override;
    bool ExecDialog(QDialog& Dialog) override;

    // Everything shown, in order.
    std::vector<TMessage> Messages;
    // Answers for ConfirmWarning and ExecDialog, used from the front; DefaultAnswer once empty.
    std::deque<bool> Answers;
    bool DefaultAnswer = true;
    // Called with a dialog before it is answered, to fill in its fields as a user would.
    std::function<void(QDialog&)> OnDialog;
    // Called on every ProcessMessages, to play events that arrive during long work.
    std::function<void()> OnProcessMessages;
    int32_t HourglassDepth = 0;
    int32_t ProcessMessagesCount = 0;
    int32_t DialogCount = 0;

private:
    bool NextAnswer();
};

// Installs Services for the life of the scope, then restores what was there before.
class TUiServicesScope {
public:
    explicit TUiServicesScope(TUiServices& Services) : FPrevious(SetUiServices(&Services)) {}
    ~TUiServicesScope() { SetUiServices(FPrevious); }
    TUiServicesScope(const TUiServicesScope&) = delete;
    TUiServicesScope& operator=(const TUiServicesScope&) = delete;

private:
    TUiServices* FPrevious;
};
