#pragma once

#include <QString>

class QWidget;

namespace oz::ui {

class Dialogs;

// The text behind "疑点说明": a short introduction and the numbered questions operators ask.
QString helpText();

// Shows it in the text window, display mode, titled "疑点说明".
void showHelpText(QWidget* owner, Dialogs& dialogs);

}  // namespace oz::ui
