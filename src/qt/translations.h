// Qt's own texts (the Yes and No of a question, OK and Cancel, the file
// dialogs) in the user's language, as the rest of the window is Japanese.
#pragma once
#include <QCoreApplication>

namespace quorvel::qt {

// Loads Qt's translations for the user's locale (LC_ALL, LC_MESSAGES, LANG),
// or Japanese when none is set (or it is C or POSIX), from Qt's own
// translations folder. False when no translation was found.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace quorvel::qt
