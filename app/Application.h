#pragma once

#include <QApplication>
#include <QString>

// The application object with the general error handler: an exception that
// an event handler lets escape is shown in a message box, and the event loop
// goes on; the interrupted handler does not resume.
class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The application's title: the caption of its message boxes.
    static QString title();
    void setTitle(const QString& title) { title_ = title; }

private:
    QString title_;
};
