#include "app/Application.h"

#include "app/ErrorReport.h"

#include <stdexcept>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(std::runtime_error("Unknown error"));
    }
    return false;
}

QString TApplication::title()
{
    if (const auto* app = qobject_cast<TApplication*>(QCoreApplication::instance());
        app && !app->title_.isEmpty())
        return app->title_;
    return QCoreApplication::applicationName();
}
