#pragma once

#include "operations/Journal.h"
#include "operations/TagText.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The frame dialog's edits of one file: frames added, replaced and removed
// by hand, every frame not named kept byte for byte, and the APEv2 tag cut
// off on request; saved as one step of the journal.
namespace operations {

// A frame the user writes: a text frame (T***), TXXX, COMM, USLT or a URL
// frame (W***).
struct FrameContent {
    QString id;
    QString description; // TXXX, WXXX, COMM, USLT
    QString language;    // COMM, USLT: three letters
    QString value;
};
// Why the frame cannot be written as it is; empty when it can.
QString frameContentRefusal(const FrameContent& frame);
bool carriesLanguage(const QString& id);
bool carriesDescription(const QString& id);

// The edits, by the frames' indexes as readTagRows gives them.
struct FrameChanges {
    std::vector<std::size_t> removed;
    std::vector<std::pair<std::size_t, FrameContent>> replaced;
    std::vector<FrameContent> added; // after all the others, in this order
    bool removeApe = false;
    bool framesChanged() const { return !removed.empty() || !replaced.empty() || !added.empty(); }
    bool any() const { return framesChanged() || removeApe; }
};

// What the dialog read of the file: its tags as bytes. A save finds them
// again, or refuses: another program's change is never written over.
struct TagsSeen {
    QByteArray digest;              // of the ID3v2 and ID3v1 regions
    std::optional<std::string> ape; // the APEv2 tag's bytes
    bool operator==(const TagsSeen&) const = default;
};
// nullopt when the file cannot be read.
std::optional<TagsSeen> tagsSeen(const QString& path);

struct FramesSaved {
    bool succeeded = false;
    QString message; // failed: why; else what was done ("修改帧", "删除 APEv2 标签")
    std::vector<QString> problems; // what the journal could not keep
};
// The frames changed and the APEv2 tag cut off when asked, in one write
// (through a copy when the tag goes) and one step of the journal, undone by
// it. Nothing is written when the file holds other tags than `seen`, or when
// an edit cannot be written.
FramesSaved saveFrames(Journal* journal, const QString& path, const FrameChanges& changes,
                       const TagsSeen& seen, const TextRules& rules = {});

} // namespace operations
