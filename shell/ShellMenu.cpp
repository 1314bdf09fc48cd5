#include "shell/ShellMenu.h"

#include "shell/ShellStrings.h"

#include <QAction>

using namespace Qt::StringLiterals;

ShellMenu::ShellMenu(QWidget* parent) : menu_(parent) {}

void ShellMenu::addVerb(const QString& verb, bool enabled, bool isDefault)
{
    QAction* action = menu_.addAction(ShellStrings::VerbCaption(verb));
    action->setObjectName(verb);
    action->setEnabled(enabled);
    if (isDefault)
        menu_.setDefaultAction(action);
    verbs_.insert(action, verb);
}

QAction* ShellMenu::copyInto(QMenu& into, QAction* source, bool withSubItems)
{
    if (source->isSeparator())
        return into.addSeparator();
    QAction* copy = nullptr;
    QMenu* subMenu = source->menu<QMenu*>();
    if (withSubItems && subMenu) {
        QMenu* copyMenu = into.addMenu(source->icon(), source->text());
        for (QAction* sub : subMenu->actions())
            copyInto(*copyMenu, sub, false);
        copy = copyMenu->menuAction();
    } else {
        copy = into.addAction(source->icon(), source->text());
    }
    copy->setObjectName(source->objectName() + u"2"_s);
    copy->setShortcut(source->shortcut());
    copy->setCheckable(source->isCheckable());
    copy->setChecked(source->isChecked());
    copy->setEnabled(source->isEnabled());
    copy->setVisible(source->isVisible());
    copy->setToolTip(source->toolTip());
    copy->setStatusTip(source->statusTip());
    copy->setData(source->data());
    sources_.insert(copy, source);
    return copy;
}

void ShellMenu::addCopiesOf(const QMenu& source)
{
    for (QAction* action : source.actions())
        copyInto(menu_, action, true);
}

QString ShellMenu::verbOf(const QAction* action) const
{
    return verbs_.value(action);
}

QAction* ShellMenu::sourceOf(const QAction* action) const
{
    return sources_.value(action);
}
