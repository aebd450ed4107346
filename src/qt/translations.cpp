#include "translations.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdlib>
#include <string>

namespace quorvel::qt {
namespace {

// The locale the user chose, in the order the C library looks; empty when
// nothing is set.
std::string UserLocale() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return v;
  }
  return "";
}

}  // namespace

bool InstallQtTranslations(QCoreApplication& app) {
  std::string name = UserLocale();
  if (name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0) name = "ja_JP";
  QLocale locale(QString::fromStdString(name.substr(0, name.find('.'))));
  auto* translator = new QTranslator(&app);
  if (!translator->load(locale, "qtbase", "_", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace quorvel::qt
