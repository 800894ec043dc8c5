#pragma once
// The main window as the program makes it, answered by scripted UI services, with layers
// of square polygons built in code and a temporary folder as the program's folder.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include "editor/CommandRegistry.h"
#include "editor/FileDialog.h"
#include "editor/InplaceGrid.h"
#include "editor/OXProp.h"
#include "editor/Inspector.h"
#include "editor/ListGrid.h"
#include "editor/ProgressPanel.h"
#include "editor/RecentFiles.h"
#include "editor/Undo.h"
#include "editor/uMain.h"
#include "model/OrvexLayer.h"
#include "model/OrvexObject.h"
#include "platform/DeviceContext.h"
#include "platform/Text.h"
#include "platform/UiServices.h"
#include "styling/PolygonPresenter.h"
#include "view/Orvex3.h"
#include "view/OrvexCanvas.h"

// The widgets the window keeps to itself, for the tests that drive them.
class TMainWindowTestAccess {
public:
    static TListGrid* LayersGrid(const TfrmMain& M) { return M.LayersGrid; }
    static TListGrid* ObjectsGrid(const TfrmMain& M) { return M.ObjectsGrid; }
    static TListGrid* PresentersGrid(const TfrmMain& M) { return M.PresentersGrid; }
    static TInspector* Inspector(const TfrmMain& M) { return M.Inspector; }
    static TProgressPanel* Progress(const TfrmMain& M) { return M.Progress; }
    static TEditorUndo* Undo(const TfrmMain& M) { return M.Undo; }
};

inline std::string SourceFile(const std::string& Relative) { return std::string(ORVEX_SOURCE_DIR) + "/" + Relative; }

class MainWindowTest : public ::testing::Test {
protected:
    TScriptedUiServices Ui;
    TUiServicesScope Scope{Ui};
    QTemporaryDir Dir;
    std::unique_ptr<TfrmMain> Main;

    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        // What the window remembers stays in this test's folder.
        TRecentFiles::SetStorageFile(Folder() + "remembered.ini");
        Open();
    }
    void TearDown() override {
        if (Main) Paint();
        Main.reset();
        TRecentFiles::SetStorageFile("");
    }
    void Open(const std::string& LayerFile = {}) {
        Main.reset();
        Main = std::make_unique<TfrmMain>(LayerFile);
        Main->ProgramFolder = Folder();
        Main->show();
    }
    std::string Folder() const { return PathFromQString(Dir.path()) + "/"; }
    TOrvex3& View() const { return Main->View(); }
    TListGrid* LayersGrid() const { return TMainWindowTestAccess::LayersGrid(*Main); }
    TListGrid* ObjectsGrid() const { return TMainWindowTestAccess::ObjectsGrid(*Main); }
    TListGrid* PresentersGrid() const { return TMainWindowTestAccess::PresentersGrid(*Main); }
    TInspector* Inspector() const { return TMainWindowTestAccess::Inspector(*Main); }
    TProgressPanel* Progress() const { return TMainWindowTestAccess::Progress(*Main); }
    // A command's action, as its menu, key or button starts it.
    QAction* Act(const std::string& Name) const {
        QAction* A = Main->Commands().Action(Name);
        EXPECT_NE(A, nullptr) << Name;
        return A;
    }
    // A widget of the window by its object name.
    template <class T>
    T* Child(const char* Name) const {
        T* W = Main->findChild<T*>(Name);
        EXPECT_NE(W, nullptr) << Name;
        return W;
    }
    // Renders the map and paints every widget, so that anything reading a freed item is caught.
    void Paint() const { (void)Main->grab(); }

    // The next run of Dialog answers with Files; no files cancels it.
    static void Answer(TFileDialog& Dialog, std::vector<std::string> Files) {
        Dialog.OnExecute = [Files](TFileDialog& D) {
            D.Files = Files;
            return !Files.empty();
        };
    }
    // The caption when no load is running: the program's, with the selected object's title.
    QString RestCaption() const {
        const TOrvexObject* Selected = View().SelectedObject();
        return ToQString(std::string(kMainCaption) + (Selected ? " " + Selected->Title() : ""));
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> Texts;
        for (const auto& M : Ui.Messages) Texts.push_back(M.Text);
        return Texts;
    }

    // A layer with one polygon presenter and Count squares of 10 degrees, the first with
    // its south-west corner at (Lon, 0), each next one 12 degrees further east. Titles are
    // Name followed by the number of the square.
    TOrvexLayer* AddSquares(const std::string& Name, int Count, double Lon) {
        TOrvexLayer* L = View().AddLayer(Name);
        auto* P = TOrvexPresenter::CreateNamed<TPolygonPresenter>(L, 0, Name + "Style");
        for (int I = 0; I < Count; ++I) {
            const double W = Lon + 12 * I;
            const TPoint3D Ring[] = {Deg(W, 0), Deg(W + 10, 0), Deg(W + 10, 10), Deg(W, 10), Deg(W, 0)};
            TGeoDataObject::Create(L, P, I + 1, Name + std::to_string(I + 1))->SetPoints(Ring, 5);
        }
        Main->AfterLoad(false);
        return L;
    }
    static TPoint3D Deg(double Lon, double Lat) { return TPoint3D{DegToOrvexUnits(Lon), DegToOrvexUnits(Lat), 0}; }
    // The pixel of a geographic point in the current picture.
    QPoint PixelOf(double Lon, double Lat) const {
        EXPECT_TRUE(View().ProjectionModel()->LLToXY(DegToOrvexUnits(Lon), DegToOrvexUnits(Lat), 0));
        return QPoint(PointBuffer[0].X, PointBuffer[0].Y);
    }
    // A left click on the map, as the mouse gives it.
    void ClickMap(double Lon, double Lat) {
        Paint();
        const QPoint P = PixelOf(Lon, Lat);
        QTest::mouseClick(&View(), Qt::LeftButton, {}, P);
    }
};
