#include "platform/UiServices.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace {

TUiServices* Installed = nullptr;

QString ToQt(const std::string& Text) {
    // The model keeps the bytes files hold: UTF-8 when valid, else Latin-1.
    QString Utf8 = QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
    if (!Utf8.contains(QChar::ReplacementCharacter)) return Utf8;
    return QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size()));
}

bool HaveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

TUiServices& UiServices() {
    if (Installed) return *Installed;
    if (HaveWidgets()) {
        static TQtUiServices Qt;
        return Qt;
    }
    static TScriptedUiServices Scripted;
    return Scripted;
}

TUiServices* SetUiServices(TUiServices* Services) {
    TUiServices* Previous = Installed;
    Installed = Services;
    return Previous;
}

void TQtUiServices::ShowMessage(const std::string& Caption, const std::string& Text) {
    QMessageBox::information(QApplication::activeWindow(), ToQt(Caption), ToQt(Text));
}

bool TQtUiServices::ConfirmWarning(const std::string& Caption, const std::string& Text) {
    return QMessageBox::warning(QApplication::activeWindow(), ToQt(Caption), ToQt(Text),
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

void TScriptedUiServices::ShowMessage(const std::string& Caption, const std::string& Text) {
    Messages.push_back({Caption, Text, false});
}

bool TScriptedUiServices::ConfirmWarning(const std::string& Caption, const std::string& Text) {
    Messages.push_back({Caption, Text, true});
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
