#pragma once

#include <QLocale>
#include <memory>

class QCoreApplication;
class QTranslator;

// Qt's own translations of its standard dialogs and buttons (file, colour, print, message
// boxes): those for `locale` when Qt ships them, else Simplified Chinese, the language of the
// rest of the window. Null when neither can be read (the dialogs then stay in English).
std::unique_ptr<QTranslator> LoadQtTranslations(const QLocale& locale);

// Installs LoadQtTranslations(QLocale::system()) into `app`, which keeps it.
void InstallQtTranslations(QCoreApplication& app);
