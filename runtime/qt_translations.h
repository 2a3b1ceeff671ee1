// Qt's own dialogs (message boxes, file and folder pickers) in the language of the program.
#pragma once

class QCoreApplication;

namespace kivo::runtime {

// Installs Qt's translations for the system's language, or Simplified Chinese where Qt has
// none for it: the program speaks Chinese, so its dialogs must not fall back to English.
void loadQtTranslations(QCoreApplication& application);

}  // namespace kivo::runtime
