#include "editor/CommandRegistry.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QVariant>
#include <QWidget>

#include "editor/EditorErrors.h"
#include "platform/Text.h"

namespace {
const char* const kWatched = "OrvexCommandsWatched";
}

struct TCommandRegistry::TEntry {
    TCommand Command;
    QAction* Action;
};

TCommandRegistry::TCommandRegistry(QWidget& Owner) : QObject(&Owner), FOwner(Owner) {}

TCommandRegistry::~TCommandRegistry() = default;

QAction* TCommandRegistry::Add(TCommand Command) {
    auto* A = new QAction(Command.Caption, &FOwner);
    A->setObjectName(ToQString(Command.Name));
    A->setShortcuts(Command.Keys);
    A->setCheckable(static_cast<bool>(Command.Checked));
    A->setData(Command.Tag);
    if (!Command.Hint.isEmpty()) A->setStatusTip(Command.Hint);
    // The keys work wherever the focus is in the window, with or without a menu showing them.
    FOwner.addAction(A);
    const std::string Name = Command.Name;
    connect(A, &QAction::triggered, this, [this, Name] { Run(Name); });
    FEntries.push_back(std::make_unique<TEntry>(TEntry{std::move(Command), A}));
    UpdateState(*FEntries.back());
    return A;
}

TCommandRegistry::TEntry* TCommandRegistry::Entry(const std::string& Name) const {
    for (const auto& E : FEntries)
        if (E->Command.Name == Name) return E.get();
    return nullptr;
}

QAction* TCommandRegistry::Action(const std::string& Name) const {
    const TEntry* E = Entry(Name);
    return E ? E->Action : nullptr;
}

const TCommand* TCommandRegistry::Find(const std::string& Name) const {
    const TEntry* E = Entry(Name);
    return E ? &E->Command : nullptr;
}

std::vector<std::string> TCommandRegistry::Names() const {
    std::vector<std::string> Names;
    for (const auto& E : FEntries) Names.push_back(E->Command.Name);
    return Names;
}

bool TCommandRegistry::IsEnabled(const std::string& Name) const {
    const TEntry* E = Entry(Name);
    return E && (!E->Command.Enabled || E->Command.Enabled());
}

bool TCommandRegistry::Run(const std::string& Name) {
    const TEntry* E = Entry(Name);
    if (!E) return false;
    bool Ran = false;
    if (!CommandsHeld() && IsEnabled(Name)) Ran = Perform(Name, E->Command.Run);
    // A check item toggles itself on a click that may not have run its command.
    UpdateState(*E);
    return Ran;
}

bool TCommandRegistry::Perform(const std::string& What, const std::function<void()>& Body) {
    if (CommandsHeld()) return false;
    if (OnRun) OnRun(What);
    RunGuarded(Body);
    if (OnAfter) RunGuarded(OnAfter);
    // A command may have switched what a check item shows (a profile's antialiasing).
    for (const auto& E : FEntries) UpdateState(*E);
    return true;
}

void TCommandRegistry::UpdateState(const TEntry& E) const {
    if (E.Command.Checked) E.Action->setChecked(E.Command.Checked());
}

void TCommandRegistry::UpdateStates(const QList<QAction*>& Actions) const {
    for (const auto& E : FEntries)
        if (Actions.contains(E->Action)) {
            E->Action->setEnabled(IsEnabled(E->Command.Name));
            UpdateState(*E);
        }
}

void TCommandRegistry::Fill(QMenu& Menu, std::initializer_list<const char*> Names) {
    for (const char* Name : Names) {
        if (std::string(Name) == "-")
            Menu.addSeparator();
        else if (QAction* A = Action(Name))
            Menu.addAction(A);
    }
    // A menu filled in parts is watched once.
    if (Menu.property(kWatched).toBool()) return;
    Menu.setProperty(kWatched, true);
    connect(&Menu, &QMenu::aboutToShow, this, [this, &Menu] { UpdateStates(Menu.actions()); });
}

void TCommandRegistry::Bind(QAbstractButton& Button, const std::string& Name) {
    connect(&Button, &QAbstractButton::clicked, this, [this, Name] { Run(Name); });
}
