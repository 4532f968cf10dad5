#include "app/app_exception.h"

#include <QMessageBox>
#include <exception>

#include "app/dialog_hooks.h"
#include "app/program_folder.h"
#include "images/error_box.h"

TMorfApplication::TMorfApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TMorfApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        AppException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        AppException(QStringLiteral("Unknown error."));
    }
    return false;
}

void AppException(const QString& message)
{
    Beep();
    if (Dialogs().ExceptionBox) {
        Dialogs().ExceptionBox(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, ApplicationTitle(), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void InstallMessageHooks()
{
    SetErrorBoxHook([](const ErrorBoxMessage& m) {
        // System-modal boxes have no equivalent here; application-modal is
        // the closest and keeps the user from starting another command.
        QMessageBox box(QMessageBox::Critical, QString::fromStdString(m.Caption), QString::fromStdString(m.Text),
                        QMessageBox::Ok, QApplication::activeWindow());
        if (m.Caption == "Warning.")
            box.setIcon(QMessageBox::Warning);
        box.setWindowModality(Qt::ApplicationModal);
        box.exec();
    });
    SetBeepHook([] { QApplication::beep(); });
}
