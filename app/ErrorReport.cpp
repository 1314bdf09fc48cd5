#include "app/ErrorReport.h"

#include "app/Application.h"

#include <QApplication>
#include <QMessageBox>

void ShowException(const std::exception& error, QWidget* parent)
{
    QMessageBox::critical(parent ? parent : QApplication::activeWindow(), TApplication::title(),
                          QString::fromUtf8(error.what()));
}
