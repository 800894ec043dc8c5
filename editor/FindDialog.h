#pragma once
// The "Find" dialog: objects of the visible layers whose title contains the typed text, in
// any case, listed by layer and title. Choosing a match hands it to OnChoose (the main
// window centres the map on it and selects it); the dialog stays open for the next one.

#include <QDialog>
#include <functional>
#include <vector>

#include "model/Persistent.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TOrvex3;
class TOrvexObject;

class TfrmFind : public QDialog {
public:
    // No more rows than this are listed; the count says how many there are.
    static constexpr int kMaxListed = 1000;

    explicit TfrmFind(TOrvex3& View, QWidget* Parent = nullptr);

    // Lists the matches of the current text.
    void Search();
    int MatchCount() const { return FMatchCount; }
    // The object of a listed row, or null when it has been freed since.
    TOrvexObject* MatchAt(int Row) const;
    // Hands the object of Row (the current row when -1) to OnChoose.
    void Choose(int Row = -1);

    std::function<void(TOrvexObject*)> OnChoose;

    QLineEdit* edText;
    QTreeWidget* lvMatches;
    QLabel* lblCount;
    QPushButton* btnShow;
    QPushButton* btnClose;

private:
    TOrvex3& FView;
    // The list may outlive what it lists.
    std::vector<TPersistentRef<TOrvexObject>> FMatches;
    int FMatchCount = 0;
};
