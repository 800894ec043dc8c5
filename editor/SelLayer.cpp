#include "editor/SelLayer.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/OrvexLayer.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "view/Orvex3.h"

namespace {
constexpr int kClientWidth = 245;
constexpr int kClientHeight = 337;
constexpr int kButtonStripHeight = 41;
}  // namespace

TfrmSelLayer::TfrmSelLayer(TOrvex3& View, QWidget* Parent) : QDialog(Parent), FView(View) {
    setObjectName("frmSelLayer");
    setWindowTitle("Select a Layer");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    lvLayers = new QTreeWidget(this);
    lvLayers->setObjectName("lvLayers");
    lvLayers->setRootIsDecorated(false);
    lvLayers->setUniformRowHeights(true);
    lvLayers->setSelectionMode(QAbstractItemView::SingleSelection);
    lvLayers->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvLayers->setAllColumnsShowFocus(true);
    lvLayers->setHeaderLabels({"Name", "Objects", "Presenters"});
    lvLayers->setColumnWidth(0, 100);
    lvLayers->setColumnWidth(1, 55);
    lvLayers->setColumnWidth(2, 65);
    // The selection stays visible when the list loses the focus.
    QPalette Palette = lvLayers->palette();
    Palette.setColor(QPalette::Inactive, QPalette::Highlight, Palette.color(QPalette::Active, QPalette::Highlight));
    Palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     Palette.color(QPalette::Active, QPalette::HighlightedText));
    lvLayers->setPalette(Palette);
    Layout->addWidget(lvLayers, 1);

    auto* Strip = new QFrame(this);
    Strip->setFixedHeight(kButtonStripHeight);
    auto* StripLayout = new QHBoxLayout(Strip);
    StripLayout->setContentsMargins(6, 6, 6, 6);
    btnOK = new QPushButton("OK", Strip);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton("Cancel", Strip);
    btnCancel->setObjectName("btnCancel");
    StripLayout->addStretch(1);
    StripLayout->addWidget(btnOK);
    StripLayout->addWidget(btnCancel);
    Layout->addWidget(Strip);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    for (TOrvexLayer* L : View.Layers()) {
        auto* Item = new QTreeWidgetItem(lvLayers);
        Item->setText(0, ToQString(L->Name()));
        Item->setText(1, QString::number(L->ObjectCount()));
        Item->setText(2, QString::number(L->PresenterCount()));
    }
    if (lvLayers->topLevelItemCount() > 0) lvLayers->setCurrentItem(lvLayers->topLevelItem(0));

    if (const QScreen* Screen = QGuiApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
}

TOrvexLayer* TfrmSelLayer::SelectedLayer() const {
    const QList<QTreeWidgetItem*> Selected = lvLayers->selectedItems();
    if (Selected.isEmpty()) return nullptr;
    const int Row = lvLayers->indexOfTopLevelItem(Selected.front());
    // The rows were made from the view's list; a layer gone since has no row to answer for.
    return Row >= 0 && Row < FView.LayerCount() ? FView.Layers()[static_cast<size_t>(Row)] : nullptr;
}

TOrvexLayer* SelectLayer(TOrvex3& View, QWidget* Parent) {
    TfrmSelLayer Dialog(View, Parent);
    if (!UiServices().ExecDialog(Dialog)) return nullptr;
    return Dialog.SelectedLayer();
}
