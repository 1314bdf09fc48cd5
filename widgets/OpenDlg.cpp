#include "widgets/OpenDlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace widgets {

namespace {

QString chooseExecutable(QWidget* parent, const QString& title, const QString& description,
                         const QString& proposedName)
{
    QFileDialog dialog(parent, title);
    // Qt's own dialog: the desktop's dialogs ignore the executable filter.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(description + u" (*)"_s);
    dialog.setFilter(QDir::AllDirs | QDir::Files | QDir::Executable | QDir::NoDotAndDotDot);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QFileInfo chosen(dialog.selectedFiles().first());
    return chosen.isFile() && chosen.isExecutable() ? chosen.absoluteFilePath() : QString();
}

} // namespace

FileChooser executableChooser(const QString& title, const QString& description,
                              const QString& proposedName)
{
    return [=](QWidget* parent) {
        return chooseExecutable(parent, title, description, proposedName);
    };
}

} // namespace widgets
