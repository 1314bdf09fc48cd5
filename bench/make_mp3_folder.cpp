// Writes the folder the listing benchmarks read (see Mp3Folder.h), for
// bench/cli_ls and for trying the window or the command line on by hand.
//
//   make_mp3_folder N FOLDER

#include "bench/Mp3Folder.h"

#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_mp3_folder N FOLDER\n");
        return 2;
    }
    bool isNumber = false;
    const int files = QByteArray(argv[1]).toInt(&isNumber);
    if (!isNumber || files < 0) {
        std::fprintf(stderr, "make_mp3_folder: not a number of files: %s\n", argv[1]);
        return 2;
    }
    if (const auto error = benchsupport::writeMp3Folder(QFile::decodeName(argv[2]), files)) {
        std::fprintf(stderr, "make_mp3_folder: %s\n", qPrintable(*error));
        return 1;
    }
    return 0;
}
