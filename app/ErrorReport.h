#pragma once

#include <exception>

class QWidget;

// Shows an error's message in a message box titled with the application's
// title, as the application's general error handler does.
void ShowException(const std::exception& error, QWidget* parent = nullptr);
