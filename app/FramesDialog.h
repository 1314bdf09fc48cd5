#pragma once

#include "operations/FrameEditing.h"
#include "operations/FrameFields.h"
#include "operations/TagText.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;

// Every frame of one file: the ID3v2 frames in the tag's order, then the
// ID3v1 fields and the APEv2 items (read only). Frames are added, edited and
// removed here and written together by a save, every other frame byte for
// byte; the APEv2 tag can be removed with them.
class TFramesDialog : public QDialog {
public:
    using Save = std::function<operations::FramesSaved(const operations::FrameChanges& changes,
                                                       const operations::TagsSeen& seen)>;
    TFramesDialog(QWidget* parent, QString path, operations::TextRules rules, Save save);

    bool isModified() const { return changes().any(); }
    // False when the file could not be read: the dialog shows why.
    bool load();

    void reject() override; // Escape and the window's close ask as the close button does

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A row of the list: a frame as read (possibly edited or removed), or a
    // frame added by hand.
    struct Entry {
        std::optional<std::size_t> read;              // index into rows_
        std::optional<operations::FrameContent> edit; // new content
        bool removed = false;
    };
    void build();
    void fill();
    void addFrame();
    void editFrame();
    void deleteFrames();
    void removeApe();
    bool saveFrames();
    bool editable(const Entry& entry) const;
    std::vector<int> chosenEntries() const;
    operations::FrameChanges changes() const;
    void say(const QString& text);

    QString path_;
    operations::TextRules rules_;
    Save save_;
    std::vector<operations::TagRow> rows_;
    std::vector<Entry> entries_; // the ID3v2 frames, those added last
    operations::TagsSeen seen_;
    bool hasApe_ = false;
    bool removeApe_ = false;

    QTreeWidget* list_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* apeRemove_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QLabel* status_ = nullptr;
};
