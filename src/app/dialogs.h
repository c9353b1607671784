#pragma once
// The message boxes of the windows, titled with the application title.
#include <QString>

class QWidget;

namespace tallyglass {

// Information box with OK.
void ShowInform(QWidget* parent, const QString& text);
// Question with Retry and Cancel; true for Retry. Closing the box is Cancel.
bool AskRetry(QWidget* parent, const QString& caption, const QString& text);
// The standard error box.
void ShowError(QWidget* parent, const QString& text);

}  // namespace tallyglass
