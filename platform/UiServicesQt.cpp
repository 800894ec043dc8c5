// The window system's services, and the scripted ones that stand in for them.
#include "platform/UiServices.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

#include "platform/MessageBox.h"
#include "platform/Text.h"

namespace {

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

// Inside a QApplication the Qt services, else a scripted instance that answers OK to everything.
TUiServices& WindowSystemDefault() {
    if (HaveWidgets()) {
        static TQtUiServices Qt;
        return Qt;
    }
    static TScriptedUiServices Scripted;
    return Scripted;
}

// Every program that links these services uses them by default.
[[maybe_unused]] const bool Registered = (UseWindowUiServices(), true);

}  // namespace

void UseWindowUiServices() { SetDefaultUiServices(&WindowSystemDefault); }

void TQtUiServices::ShowMessage(const std::string& Caption, const std::string& Text, TMessageKind Kind) {
    QWidget* Parent = QApplication::activeWindow();
    switch (Kind) {
        case mkWarning: QMessageBox::warning(Parent, ToQString(Caption), ToQString(Text)); break;
        case mkError: QMessageBox::critical(Parent, ToQString(Caption), ToQString(Text)); break;
        default: QMessageBox::information(Parent, ToQString(Caption), ToQString(Text)); break;
    }
}

std::unique_ptr<QDialog> MakeMessageBox(const std::string& Caption, const std::string& Text, TMessageKind Kind) {
    const QMessageBox::Icon Icon = Kind == mkError     ? QMessageBox::Critical
                                   : Kind == mkWarning ? QMessageBox::Warning
                                                       : QMessageBox::Information;
    return std::make_unique<QMessageBox>(Icon, ToQString(Caption), ToQString(Text), QMessageBox::Ok,
                                         QApplication::activeWindow());
}

bool TQtUiServices::ConfirmWarning(const std::string& Caption, const std::string& Text) {
    return QMessageBox::warning(QApplication::activeWindow(), ToQString(Caption), ToQString(Text),
                                QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Ok;
}

void TQtUiServices::BeginHourglass() {
    if (HaveWidgets()) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TQtUiServices::EndHourglass() {
    if (HaveWidgets() && QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void TQtUiServices::ProcessMessages() { QCoreApplication::processEvents(); }

bool TQtUiServices::ExecDialog(QDialog& Dialog) { return Dialog.exec() == QDialog::Accepted; }

void TScriptedUiServices::ShowMessage(const std::string& Caption, const std::string& Text, TMessageKind Kind) {
    Messages.push_back({Caption, Text, false, Kind});
}

bool TScriptedUiServices::ConfirmWarning(const std::string& Caption, const std::string& Text) {
    Messages.push_back({Caption, Text, true, mkWarning});
    return NextAnswer();
}

void TScriptedUiServices::ProcessMessages() {
    ++ProcessMessagesCount;
    if (OnProcessMessages) OnProcessMessages();
}

bool TScriptedUiServices::ExecDialog(QDialog& Dialog) {
    ++DialogCount;
    if (OnDialog) OnDialog(Dialog);
    const bool Accepted = NextAnswer();
    Dialog.setResult(Accepted ? QDialog::Accepted : QDialog::Rejected);
    return Accepted;
}

bool TScriptedUiServices::NextAnswer() {
    if (Answers.empty()) return DefaultAnswer;
    const bool Answer = Answers.front();
    Answers.pop_front();
    return Answer;
}
