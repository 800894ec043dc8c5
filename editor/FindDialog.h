#pragma once
// The "Find" dialog: objects of the visible layers whose title contains the typed text, in
// any case, listed by layer and title. Choosing a match hands it to OnChoose (the main
// window centres the map on it and selects it); the dialog stays open for the next one.

#include <QDialog>
#include <functional>
#include <vector>

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
    // The object of a listed row, or null when it is gone from the view since.
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
    // Where a match was: objects are looked up again before use, as the list may outlive them.
    struct TMatch {
        int32_t Layer;
        int32_t Object;
        const TOrvexObject* Found;
    };
    TOrvex3& FView;
    std::vector<TMatch> FMatches;
    int FMatchCount = 0;
};
