#pragma once
// The one dialog of the property handlers, with a page each for set members, values in
// OrvexUnits and font names. The handler that makes it picks the page and the caption.

#include <QDialog>
#include <array>

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QStackedWidget;

class TPropertyForm : public QDialog {
public:
    explicit TPropertyForm(QWidget* Parent = nullptr);

    // "Sets", "OrvexUnits" or "FontName"; other names leave the page as it is.
    void SetActivePage(const QString& Name);
    QString ActivePage() const;

    // The OrvexUnits field changed (by the user or by code): every other field the user is
    // not editing shows the value converted, to two decimals.
    void edtOUChange();
    // The user changed the field with Tag (0 degrees, 1 nautical miles, 2 kilometres): the
    // OrvexUnits field takes its value, or lblException says why it cannot.
    void edtValueChange(int Tag);

    QStackedWidget* Notebook1;
    QWidget* pageSets;
    QWidget* pageOrvexUnits;
    QWidget* pageFontName;
    QFrame* Panel1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    QListWidget* lbSetMembers;

    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* edtOU;
    QLineEdit* edtDD;
    QLineEdit* edtNM;
    QLineEdit* edtKM;
    QLabel* lblException;

    QListWidget* lstFonts;

private:
    QLineEdit* ValueEdit(int Tag) const;
    // The field whose change is being applied; edtOUChange leaves it as the user typed it.
    int FEditingTag = -1;
};
