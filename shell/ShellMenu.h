#pragma once

#include <QHash>
#include <QMenu>
#include <QPointer>
#include <QString>

class QAction;
class QWidget;

// The popup of the shell context menu: the shell's verbs at the top, then
// copies of a control's own menu items (and one level of their sub-items),
// each named as its source + "2". The copies run nothing themselves: the
// browser triggers the source of a picked copy, so that a picked item runs
// once however the menu was answered.
class ShellMenu {
public:
    explicit ShellMenu(QWidget* parent);

    QMenu& menu() { return menu_; }
    void addVerb(const QString& verb, bool enabled, bool isDefault);
    void addSeparator() { menu_.addSeparator(); }
    void addCopiesOf(const QMenu& source);

    // The verb of a picked action; empty for any other.
    QString verbOf(const QAction* action) const;
    // The source of a picked copy; null for any other action.
    QAction* sourceOf(const QAction* action) const;

private:
    QAction* copyInto(QMenu& into, QAction* source, bool withSubItems);

    QMenu menu_;
    QHash<const QAction*, QString> verbs_;
    QHash<const QAction*, QPointer<QAction>> sources_;
};
