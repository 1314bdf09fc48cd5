// The peer of the command line's `set title=TITLE -- FILE...`: TagLib
// retitling the files in one process, as a program built on it would.
//   taglib_retitle TITLE FILE...
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: taglib_retitle TITLE FILE...\n");
        return 2;
    }
    const TagLib::String title(argv[1], TagLib::String::UTF8);
    int failed = 0;
    for (int i = 2; i < argc; ++i) {
        // No audio properties: saving a title does not need them.
        TagLib::MPEG::File mp3(argv[i], false);
        if (!mp3.isValid() || !mp3.ID3v2Tag(true)) {
            ++failed;
            continue;
        }
        mp3.ID3v2Tag(true)->setTitle(title);
        failed += mp3.save() ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}
