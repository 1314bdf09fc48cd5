#include "app/ErrorReport.h"

#include "app/Application.h"
#include "platform/SystemError.h"

#include <QApplication>
#include <QMessageBox>

#include <system_error>

using namespace Qt::StringLiterals;

namespace {

// A system error's own text is the system's English ("read: Permission
// denied"): the user reads it in Chinese.
QString textOf(const std::exception& error)
{
    const auto* system = dynamic_cast<const std::system_error*>(&error);
    if (system && (system->code().category() == std::generic_category() ||
                   system->code().category() == std::system_category()))
        return u"操作失败: "_s + platform::SystemErrorText(system->code().value());
    return QString::fromUtf8(error.what());
}

} // namespace

void ShowException(const std::exception& error, QWidget* parent)
{
    QMessageBox::critical(parent ? parent : QApplication::activeWindow(), TApplication::title(),
                          textOf(error));
}
