// The Qt side of tarn::MessageBox (platform/message_box.h): installs the handler that shows a
// themed QMessageBox, modal to the active window. A box asked for on another thread is shown on
// the UI thread, and the asking thread waits for the answer.
#pragma once

#include <QString>

class QWidget;

namespace tarn::ui {

// `defaultTitle` is used when a box has no title of its own (the application's title).
void InstallMessageBoxHandler(const QString& defaultTitle);
void RemoveMessageBoxHandler();

}  // namespace tarn::ui
