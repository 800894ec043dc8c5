#pragma once
// The "Select a Layer" dialog: one row per layer of the view (name, object and presenter
// counts); the object commands ask it for the layer to move or copy to.

#include <QDialog>

class QPushButton;
class QTreeWidget;
class TOrvex3;
class TOrvexLayer;

class TfrmSelLayer : public QDialog {
public:
    TfrmSelLayer(TOrvex3& View, QWidget* Parent = nullptr);

    // The layer of the selected row, or null.
    TOrvexLayer* SelectedLayer() const;

    QTreeWidget* lvLayers;
    QPushButton* btnOK;
    QPushButton* btnCancel;

private:
    TOrvex3& FView;
};

// Shows the dialog modally; the chosen layer, or null when it was cancelled or no row was
// selected.
TOrvexLayer* SelectLayer(TOrvex3& View, QWidget* Parent = nullptr);
