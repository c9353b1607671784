#pragma once
// How the desktop program runs its windows, shared by the program and its
// event-loop tests.
class QApplication;

namespace tallyglass {

class TForm3;

// The program ends when the connection window closes, and only then. While a
// request runs every window of the program may be hidden, so Qt's own rule
// (quit when the last window closes) would end it when a message box closed.
void PrepareApplication(QApplication& app, TForm3& connection);

// Qt's own Russian texts (qtbase_ru from Qt's translations folder), so the
// standard buttons and the file dialog speak the program's language. False
// when they are not installed; the program then runs with Qt's English.
bool InstallRussianTranslations(QApplication& app);

}  // namespace tallyglass
