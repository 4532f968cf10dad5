// The application object and the hooks that connect the core's error box and
// beep to Qt. Errors that no command catches end in AppException: a beep and
// a message box, after which the program goes on.
#pragma once

#include <QApplication>

class TMorfApplication : public QApplication {
public:
    TMorfApplication(int& argc, char** argv);
    // Delivers the event; an exception thrown by its handler is shown by
    // AppException instead of ending the program.
    bool notify(QObject* receiver, QEvent* event) override;
};

// Beeps and shows the message of an error that escaped a command.
void AppException(const QString& message);

// Installs the message-box error hook and the beep hook.
void InstallMessageHooks();
