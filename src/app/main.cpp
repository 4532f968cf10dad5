// The workstation: the main window, and optionally a project file given on
// the command line opened at once.
#include <QStringList>

#include "app/app_exception.h"
#include "app/main_morf_form.h"

int main(int argc, char** argv)
{
    TMorfApplication app(argc, argv);
    InstallMessageHooks();
    TMainMorfForm mainForm;
    mainForm.show();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1)
        mainForm.OpenProjectFile(args.at(1));
    return app.exec();
}
