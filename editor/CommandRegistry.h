#pragma once
// The one path of the editor's commands. A command is registered once: its name (the object
// name of its action), caption, keys, what it runs and when it can run. Menus, context menus,
// tool-bar buttons and keys start it through its action; whatever else the user starts
// (dropped files, a recent file, a projection from the list) goes through Perform. The path
// refuses everything while a render holds commands (they could free what is drawn), shows
// what a command raises, and lets the window catch up after each one.

#include <QList>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QMenu;
class QWidget;

struct TCommand {
    std::string Name;
    QString Caption;
    std::function<void()> Run;
    // When it can run (none: always). A command that cannot run is not run, however started.
    std::function<bool()> Enabled = {};
    QList<QKeySequence> Keys = {};
    // A check item's state, read again after every run of the path.
    std::function<bool()> Checked = {};
    // Shown in the hint bar; a tag for the commands of a family (zoom steps, object commands).
    QString Hint = {};
    int Tag = 0;
};

class TCommandRegistry : public QObject {
public:
    // Actions belong to Owner, whose keys start them wherever the focus is in it.
    explicit TCommandRegistry(QWidget& Owner);
    ~TCommandRegistry() override;

    QAction* Add(TCommand Command);
    // Null for a name never registered.
    QAction* Action(const std::string& Name) const;
    const TCommand* Find(const std::string& Name) const;
    std::vector<std::string> Names() const;
    bool IsEnabled(const std::string& Name) const;

    // Runs the named command; false when it was held, could not run or is unknown.
    bool Run(const std::string& Name);
    // Runs Body, something the user started that is no registered command, on the same path.
    bool Perform(const std::string& What, const std::function<void()>& Body);

    // Adds the named commands to Menu in order ("-" a separator), and brings their enabled
    // and check states up to date each time it opens.
    void Fill(QMenu& Menu, std::initializer_list<const char*> Names);
    // The states of the commands of these actions, as a menu shows them.
    void UpdateStates(const QList<QAction*>& Actions) const;
    // A button whose click runs the named command.
    void Bind(QAbstractButton& Button, const std::string& Name);

    // Told before a command runs (the hint bar, tests); OnAfter runs after every command the
    // path ran, even one that failed: the window shows what the command left.
    std::function<void(const std::string& Name)> OnRun;
    std::function<void()> OnAfter;

private:
    struct TEntry;
    TEntry* Entry(const std::string& Name) const;
    void UpdateState(const TEntry& E) const;

    QWidget& FOwner;
    std::vector<std::unique_ptr<TEntry>> FEntries;
};
