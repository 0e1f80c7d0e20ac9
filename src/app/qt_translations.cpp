#include "app/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

constexpr char kCatalogue[] = "qtbase";

}  // namespace

std::unique_ptr<QTranslator> LoadQtTranslations(const QLocale& locale) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    // The C locale of a bare system names no language at all.
    if (locale.language() != QLocale::C &&
        translator->load(locale, QString::fromLatin1(kCatalogue), QStringLiteral("_"), folder)) {
        return translator;
    }
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QString::fromLatin1(kCatalogue),
                         QStringLiteral("_"), folder)) {
        return translator;
    }
    return nullptr;
}

void InstallQtTranslations(QCoreApplication& app) {
    if (std::unique_ptr<QTranslator> translator = LoadQtTranslations(QLocale::system())) {
        translator->setParent(&app);
        app.installTranslator(translator.release());
    }
}
