#pragma once
// The hidden option --tour FOLDER: pictures of the editor as a user sees it, for its README and
// for a look over every dialog at once. The main window on the globe, on every projection and
// with the inspector on a presenter, and every dialog the window opens, each reached through
// its command as the user reaches it. The tour answers the dialogs itself: none waits for a user.

#include <string>
#include <vector>

class QWidget;
class TfrmMain;

// A picture of Widget as a PNG file at Path (the file system's bytes), written whole or not at all.
bool SaveWidgetPicture(QWidget& Widget, const std::string& Path);

// The files of the tour, in the order it takes them: plain ASCII names that stay the same from
// run to run ("main-window.png", "projection-mercator.png", "dialog-find.png", ...).
std::vector<std::string> TourPictureNames();

// Takes every picture of the tour into Folder (made when missing) from Main, which is on show.
// Returns what failed, one line each; empty when every picture was written. Main is left on
// the globe with the earth picture as its texture.
std::vector<std::string> RunTour(TfrmMain& Main, const std::string& Folder);
