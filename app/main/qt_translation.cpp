#include "qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/support/language.h"

namespace calmora {

bool UseQtTranslation(Language language) {
    static QTranslator* translator = nullptr;
    if (!QCoreApplication::instance()) return false;
    if (translator) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
        translator = nullptr;
    }
    if (language != Language::Italian) return true;
    auto* italian = new QTranslator;
    if (!italian->load(QStringLiteral("qtbase_it"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete italian;
        return false;
    }
    QCoreApplication::installTranslator(italian);
    translator = italian;
    return true;
}

}  // namespace calmora
