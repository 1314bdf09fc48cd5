#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace platform {
class TextCollator;
}

// One file of the folder the report list shows, with its tags as they were
// read the first time anything needed them: the cells are drawn from these,
// and every command that works on rows reads them here (through
// TReportModel::row, which reads them first).
struct TReportRow {
    // The file's name in the folder. A name that is not UTF-8 holds its bytes
    // whole (platform::encodeFileName gives them back); `shown` is then the
    // name as its code page reads it, otherwise the same string, shared.
    QString name;
    QString shown;
    // platform::FileStamp of the file when its tags were read, hashed: a
    // folder's rows are all read in the end, and eight bytes a row are far
    // less than an allocation a row.
    std::uint64_t stamp = 0;
    // Title, artist, album, year, genre name, comment, then track, disc,
    // album artist and composer: numbered as operations::Field numbers them.
    // All empty when the file could not be read (`hasTag` false: the row
    // shows its name only). Kept end to end in one string: one allocation a
    // row, not ten.
    static constexpr int kFieldCount = 10;
    using Fields = std::array<QString, kFieldCount>;
    // The first six, the fields the renaming patterns take.
    std::array<QString, 6> tags() const;
    QStringView tag(int field) const;
    Fields fields() const;
    void setFields(const Fields& fields);
    // Sets the first six; the others stay.
    void setTags(const std::array<QString, 6>& tags);
    void setTag(int field, const QString& text);
    bool hasTag = false;
    bool legacyName = false; // `name` is not UTF-8
    bool tagsRead = false;   // `stamp`, `hasTag` and the tags are filled in
    std::uint8_t icon = 0;   // index into the model's icons

private:
    QString tagText_;
    std::array<std::uint32_t, kFieldCount> tagEnds_{}; // where each tag ends in tagText_
};

// The rows of the report list: a caption column and a column for each of the
// row's fields. The rows are kept in the order the list shows them: sorting
// moves them, so that a row's index is its place on screen and everything
// that walks the rows by index walks them as the user sees them.
class TReportModel : public QAbstractTableModel {
public:
    enum Column {
        NameColumn,
        TitleColumn,
        ArtistColumn,
        AlbumColumn,
        YearColumn,
        GenreColumn,
        CommentColumn,
        TrackColumn,
        DiscColumn,
        AlbumArtistColumn,
        ComposerColumn,
        ColumnCount
    };

    explicit TReportModel(QObject* parent = nullptr);
    ~TReportModel() override;

    // The icons a row's `icon` picks from.
    void setIcons(QList<QIcon> icons);
    // Drags of rows carry what `mark` adds to their data.
    void setDragMark(std::function<void(QMimeData& data)> mark);

    // Fills in a row's stamp and tags. Reading a folder's files costs far more
    // than painting the few rows on screen, so a row is read the first time
    // anything asks for it, once; rows given without a reader are taken as read.
    void setReader(std::function<void(TReportRow& row)> read);
    void setRows(std::vector<TReportRow> rows);
    // The row with its tags read: the only way to a row, so that nothing sees
    // tags not yet read as empty ones.
    const TReportRow& row(int index) const;
    // The file's name without reading its tags.
    const QString& name(int index) const { return rows_[std::size_t(index)].name; }
    // Rows given without a reader count as read.
    bool isRead(int index) const { return rows_[std::size_t(index)].tagsRead || !read_; }
    int count() const { return int(rows_.size()); }
    // Changes one row in place (its tags set by a command, say); the view
    // redraws it.
    void changeRow(int index, const std::function<void(TReportRow& row)>& change);
    // Names a row anew after its file was renamed: its tags are not read
    // for that (a renaming of thousands of rows would read every file); a
    // row not read yet is read under its new name when first needed.
    void renameRow(int index, const std::function<void(TReportRow& row)>& name);
    // Reads the row's tags again (the file changed on disk).
    void rereadRow(int index);
    void removeRowAt(int index);
    // The text a cell shows: its name, or one of its fields.
    QStringView cellText(int index, int column) const;

    // Orders the rows by a column (-1: as they were given, from the next
    // setRows on). The order holds for the rows given later, until the next
    // sort; a row changed in place keeps its place until then.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return sortColumn_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    TReportRow& readRow(int index) const;
    // Where each row goes: the sorted rows' old indexes.
    std::vector<int> sortedOrder() const;
    void reorderRows(const std::vector<int>& order);

    // Mutable: a row's tags are read when a const caller (painting) first
    // needs them.
    mutable std::vector<TReportRow> rows_;
    std::function<void(TReportRow& row)> read_;
    QList<QIcon> icons_;
    std::function<void(QMimeData& data)> dragMark_;
    std::unique_ptr<platform::TextCollator> collator_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
