#include "editor/FindDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/Text.h"
#include "view/Orvex3.h"

TfrmFind::TfrmFind(TOrvex3& View, QWidget* Parent) : QDialog(Parent), FView(View) {
    setObjectName("frmFind");
    setWindowTitle("Find");
    resize(360, 380);

    auto* Layout = new QVBoxLayout(this);
    auto* Row = new QHBoxLayout;
    auto* Label = new QLabel("&Title contains:", this);
    edText = new QLineEdit(this);
    edText->setObjectName("edText");
    edText->setClearButtonEnabled(true);
    Label->setBuddy(edText);
    Row->addWidget(Label);
    Row->addWidget(edText, 1);
    Layout->addLayout(Row);

    lvMatches = new QTreeWidget(this);
    lvMatches->setObjectName("lvMatches");
    lvMatches->setRootIsDecorated(false);
    lvMatches->setUniformRowHeights(true);
    lvMatches->setSelectionMode(QAbstractItemView::SingleSelection);
    lvMatches->setAllColumnsShowFocus(true);
    lvMatches->setHeaderLabels({"Layer", "Title"});
    lvMatches->setColumnWidth(0, 110);
    Layout->addWidget(lvMatches, 1);

    auto* Bottom = new QHBoxLayout;
    lblCount = new QLabel(this);
    lblCount->setObjectName("lblCount");
    btnShow = new QPushButton("&Show", this);
    btnShow->setObjectName("btnShow");
    btnShow->setDefault(true);
    btnShow->setEnabled(false);
    btnClose = new QPushButton("Close", this);
    btnClose->setObjectName("btnClose");
    Bottom->addWidget(lblCount, 1);
    Bottom->addWidget(btnShow);
    Bottom->addWidget(btnClose);
    Layout->addLayout(Bottom);

    connect(edText, &QLineEdit::textChanged, this, [this] { Search(); });
    connect(lvMatches, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* Item) {
        Choose(lvMatches->indexOfTopLevelItem(Item));
    });
    connect(lvMatches, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* Item) { btnShow->setEnabled(Item != nullptr); });
    connect(btnShow, &QPushButton::clicked, this, [this] { Choose(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    edText->setFocus();
    Search();
}

void TfrmFind::Search() {
    FMatches.clear();
    FMatchCount = 0;
    lvMatches->clear();
    const QString Text = edText->text();
    if (!Text.isEmpty()) {
        QList<QTreeWidgetItem*> Items;
        for (int32_t L = 0; L < FView.LayerCount(); ++L) {
            const TOrvexLayer* Layer = FView.GetLayer(L);
            if (!Layer->Visible()) continue;
            const QString LayerName = ToQString(Layer->Name());
            const auto& Objects = Layer->Objects();
            for (size_t O = 0; O < Objects.size(); ++O) {
                const QString Title = ToQString(Objects[O]->Title());
                // Qt compares case-insensitively by Unicode case folding.
                if (!Title.contains(Text, Qt::CaseInsensitive)) continue;
                if (++FMatchCount > kMaxListed) continue;
                FMatches.emplace_back(Objects[O]);
                Items << new QTreeWidgetItem(QStringList{LayerName, Title});
            }
        }
        lvMatches->addTopLevelItems(Items);
    }
    if (!FMatches.empty()) lvMatches->setCurrentItem(lvMatches->topLevelItem(0));
    btnShow->setEnabled(!FMatches.empty());
    if (Text.isEmpty())
        lblCount->clear();
    else if (FMatchCount > kMaxListed)
        lblCount->setText(QString("%1 matches, the first %2 listed").arg(FMatchCount).arg(kMaxListed));
    else
        lblCount->setText(FMatchCount == 1 ? QString("1 match") : QString("%1 matches").arg(FMatchCount));
}

TOrvexObject* TfrmFind::MatchAt(int Row) const {
    if (Row < 0 || Row >= static_cast<int>(FMatches.size())) return nullptr;
    return FMatches[static_cast<size_t>(Row)];
}

void TfrmFind::Choose(int Row) {
    if (Row < 0) Row = lvMatches->indexOfTopLevelItem(lvMatches->currentItem());
    TOrvexObject* O = MatchAt(Row);
    if (!O) {
        // A list that names freed objects is made afresh.
        Search();
        return;
    }
    if (OnChoose) OnChoose(O);
}
