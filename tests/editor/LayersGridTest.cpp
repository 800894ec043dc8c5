// The layers grid's Visible check box and dragged rows: each one user action, each undone
// and redone as one step, the grid and the current layer following.
#include <QAbstractItemModel>

#include "MainFixture.h"
#include "model/OrvexLayer.h"

namespace {

class LayersGridTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        for (const char* Name : {"A", "B", "C"}) {
            Act("actNewLayer")->trigger();
            Main->CurrentLayer()->SetName(Name);
        }
    }
    QPoint Cell(int Row, int Col) const {
        TListGrid* G = LayersGrid();
        return G->visualRect(G->model()->index(Row, Col)).center();
    }
    std::string Order() const {
        std::string S;
        for (int I = 0; I < View().LayerCount(); ++I) S += View().GetLayer(I)->Name();
        return S;
    }
    static constexpr int kVisible = 3;
};

TEST_F(LayersGridTest, OneClickOnTheCheckBoxTogglesVisibleAndUndoes) {
    TListGrid* G = LayersGrid();
    EXPECT_EQ(G->model()->data(G->model()->index(1, kVisible), Qt::CheckStateRole), Qt::Checked);
    EXPECT_FALSE(G->model()->data(G->model()->index(1, 0), Qt::CheckStateRole).isValid()) << "only the Visible column";
    QTest::mouseClick(G->viewport(), Qt::LeftButton, {}, Cell(1, kVisible));
    EXPECT_FALSE(View().GetLayer(1)->Visible());
    EXPECT_TRUE(View().GetLayer(0)->Visible() && View().GetLayer(2)->Visible());
    EXPECT_EQ(Main->CurrentLayer(), View().GetLayer(1)) << "the clicked row becomes current";
    EXPECT_EQ(G->model()->data(G->model()->index(1, kVisible), Qt::CheckStateRole), Qt::Unchecked);
    Act("actUndo")->trigger();
    EXPECT_TRUE(View().GetLayer(1)->Visible());
    Act("actRedo")->trigger();
    EXPECT_FALSE(View().GetLayer(1)->Visible());
    // A click on another column selects without toggling.
    QTest::mouseClick(G->viewport(), Qt::LeftButton, {}, Cell(2, 0));
    EXPECT_TRUE(View().GetLayer(2)->Visible());
    Paint();
}

TEST_F(LayersGridTest, DraggingARowMovesItsLayerAsUpAndDownDo) {
    TListGrid* G = LayersGrid();
    const struct {
        const char* Name;
        int From, To;
        const char* After;
    } Rows[] = {
        {"down two", 0, 2, "BCA"},
        {"up one", 2, 1, "BAC"},
        {"onto itself changes nothing", 1, 1, "BAC"},
    };
    for (const auto& R : Rows) {
        SCOPED_TRACE(R.Name);
        const std::string Before = Order();
        const std::string Moved = View().GetLayer(R.From)->Name();
        QTest::mousePress(G->viewport(), Qt::LeftButton, {}, Cell(R.From, 0));
        QTest::mouseMove(G->viewport(), Cell(R.To, 0));
        QTest::mouseRelease(G->viewport(), Qt::LeftButton, {}, Cell(R.To, 0));
        EXPECT_EQ(Order(), R.After);
        EXPECT_EQ(Main->CurrentLayer()->Name(), Moved) << "the dragged layer stays current";
        EXPECT_EQ(G->CursorRow(), Main->CurrentLayer()->Index());
        if (Before == R.After) continue;
        Act("actUndo")->trigger();
        EXPECT_EQ(Order(), Before) << "one undo step";
        Act("actRedo")->trigger();
        EXPECT_EQ(Order(), R.After);
    }
    Paint();
}

}  // namespace
