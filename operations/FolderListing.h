#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// What the window lists of a folder: its MP3 files, under their whole names.
namespace operations {

// Copies that a killed save left beside the music are removed when their
// folder is shown.
void tidyFolder(const QString& folder);

// A caption of the shell's list that is a file of the folder: its place
// among the captions and the file's whole name.
struct ListedFile {
    int index = 0;
    QString name;
};

// The shell may show names without their extension: the first caption that
// is a file, as it is or with ".mp3", tells which for the whole folder (the
// extension then added as ".MP3"). Every listed caption is a file: a folder,
// or anything that is gone, is left out.
std::vector<ListedFile> listedFiles(const QString& folder, const QStringList& captions);

} // namespace operations
