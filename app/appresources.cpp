#include "app/appresources.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

// Q_INIT_RESOURCE declares a function of the global namespace, so it cannot stand inside one.
static void initResourcesData()
{
    Q_INIT_RESOURCE(resources);
}

void registerAppResources()
{
    static const bool once = (initResourcesData(), true);
    (void)once;
}

bool installQtTranslations(QCoreApplication *app)
{
    registerAppResources();
    const QString name = QStringLiteral("qtbase_zh_CN");
    const QString folders[] = {
        QStringLiteral(":/translations"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        auto *translator = new QTranslator(app);
        if (translator->load(name, folder)) {
            app->installTranslator(translator);
            return true;
        }
        delete translator;
    }
    return false;
}
