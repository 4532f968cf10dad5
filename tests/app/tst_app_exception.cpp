// The application-wide exception hook: an error escaping an event handler
// beeps, is shown, and the application keeps handling events.
#include <QTimer>
#include <QtTest>
#include <stdexcept>

#include "app/app_exception.h"
#include "app/gui_capture.h"

namespace {
class Thrower : public QObject {
public:
    int Handled = 0;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("Division by zero");
        if (e->type() == QEvent::Type(QEvent::User + 1))
            throw 42;
        if (e->type() == QEvent::Type(QEvent::User + 2)) {
            ++Handled;
            return true;
        }
        return QObject::event(e);
    }
};
}  // namespace

class TestAppException : public QObject {
    Q_OBJECT

private slots:
    void escapedErrorsAreShownAndTheRunGoesOn()
    {
        GuiCapture capture;
        Thrower thrower;
        QEvent first(QEvent::User);
        QCoreApplication::sendEvent(&thrower, &first);
        QCOMPARE(capture.Beeps, 1);
        QCOMPARE(capture.ExceptionTexts, QStringList({"Division by zero"}));

        // Posted events and foreign exceptions take the same road.
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 1)));
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::Type(QEvent::User + 2)));
        QCoreApplication::processEvents();
        QCOMPARE(capture.Beeps, 2);
        QCOMPARE(capture.ExceptionTexts.size(), 2);
        QCOMPARE(thrower.Handled, 1);

        // The event loop itself still runs.
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
    }
};

int main(int argc, char** argv)
{
    TMorfApplication app(argc, argv);
    TestAppException test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_app_exception.moc"
