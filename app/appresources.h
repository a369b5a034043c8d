#pragma once

class QCoreApplication;

// Registers the compiled-in resources: the window and tray icons and, in a Windows build, Qt's
// own Chinese texts. They live in a static library that nothing references by name, so without
// this call the linker drops them and every ":/..." icon is silently empty. The main window
// calls it, so nothing that shows the window can forget it.
void registerAppResources();

// Makes Qt's standard dialogs and buttons (file dialogs, Yes/No, the overwrite question) speak
// Chinese like the rest of the program. The translation comes from the resources when the build
// embedded it (Windows), else from Qt's translations folder (Debian's qttranslations5-l10n).
// false when none was found; the standard texts then stay English.
bool installQtTranslations(QCoreApplication *app);
