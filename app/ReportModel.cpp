#include "app/ReportModel.h"

#include "app/RowOrder.h"
#include "platform/TextCollation.h"

#include <QMimeData>

using namespace Qt::StringLiterals;

QStringView TReportRow::tag(int field) const
{
    const std::uint32_t begin = field == 0 ? 0 : tagEnds_[std::size_t(field - 1)];
    return QStringView(tagText_).sliced(begin, tagEnds_[std::size_t(field)] - begin);
}

std::array<QString, 6> TReportRow::tags() const
{
    std::array<QString, 6> out;
    for (int f = 0; f < 6; ++f)
        out[std::size_t(f)] = tag(f).toString();
    return out;
}

TReportRow::Fields TReportRow::fields() const
{
    Fields out;
    for (int f = 0; f < kFieldCount; ++f)
        out[std::size_t(f)] = tag(f).toString();
    return out;
}

void TReportRow::setFields(const Fields& fields)
{
    qsizetype length = 0;
    for (const QString& text : fields)
        length += text.size();
    tagText_.clear();
    tagText_.reserve(length);
    for (std::size_t f = 0; f < fields.size(); ++f) {
        tagText_ += fields[f];
        tagEnds_[f] = std::uint32_t(tagText_.size());
    }
}

void TReportRow::setTags(const std::array<QString, 6>& tags)
{
    Fields all = fields();
    std::copy(tags.begin(), tags.end(), all.begin());
    setFields(all);
}

void TReportRow::setTag(int field, const QString& text)
{
    Fields all = fields();
    all[std::size_t(field)] = text;
    setFields(all);
}

TReportModel::TReportModel(QObject* parent)
    : QAbstractTableModel(parent), collator_(std::make_unique<platform::TextCollator>())
{
}

TReportModel::~TReportModel() = default;

void TReportModel::setIcons(QList<QIcon> icons)
{
    icons_ = std::move(icons);
}

void TReportModel::setDragMark(std::function<void(QMimeData& data)> mark)
{
    dragMark_ = std::move(mark);
}

void TReportModel::setReader(std::function<void(TReportRow& row)> read)
{
    read_ = std::move(read);
}

void TReportModel::setRows(std::vector<TReportRow> rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    // The rows of another folder come in the order the user chose.
    if (sortColumn_ >= 0)
        reorderRows(sortedOrder());
    endResetModel();
}

QStringView TReportModel::cellText(int index, int column) const
{
    if (column == NameColumn)
        return rows_[std::size_t(index)].shown;
    const TReportRow& row = readRow(index);
    if (!row.hasTag || column <= NameColumn || column >= ColumnCount)
        return {};
    return row.tag(column - TitleColumn);
}

std::vector<int> TReportModel::sortedOrder() const
{
    std::vector<QStringView> cells;
    cells.reserve(rows_.size());
    for (int i = 0; i < count(); ++i)
        cells.push_back(cellText(i, sortColumn_));
    const bool number =
        sortColumn_ == YearColumn || sortColumn_ == TrackColumn || sortColumn_ == DiscColumn;
    return sortedCells(cells, number ? CellKind::Number : CellKind::Text, sortOrder_, *collator_);
}

void TReportModel::reorderRows(const std::vector<int>& order)
{
    std::vector<TReportRow> sorted;
    sorted.reserve(rows_.size());
    for (const int from : order)
        sorted.push_back(std::move(rows_[std::size_t(from)]));
    rows_.swap(sorted);
}

void TReportModel::sort(int column, Qt::SortOrder order)
{
    sortColumn_ = column >= 0 && column < ColumnCount ? column : -1;
    sortOrder_ = order;
    if (sortColumn_ < 0)
        return;
    const std::vector<int> sorted = sortedOrder();
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection, the current row and the rows the filter hides go with
    // their rows.
    std::vector<int> placeOf(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i)
        placeOf[std::size_t(sorted[i])] = int(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(placeOf[std::size_t(index.row())], index.column()));
    reorderRows(sorted);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

TReportRow& TReportModel::readRow(int index) const
{
    TReportRow& row = rows_[std::size_t(index)];
    if (!row.tagsRead && read_)
        read_(row);
    row.tagsRead = true;
    return row;
}

const TReportRow& TReportModel::row(int index) const
{
    return readRow(index);
}

void TReportModel::changeRow(int index, const std::function<void(TReportRow& row)>& change)
{
    if (index < 0 || index >= count())
        return;
    // Read first: a change to one tag keeps the others the file has.
    change(readRow(index));
    Q_EMIT dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

void TReportModel::renameRow(int index, const std::function<void(TReportRow& row)>& name)
{
    if (index < 0 || index >= count())
        return;
    name(rows_[std::size_t(index)]);
    Q_EMIT dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

void TReportModel::rereadRow(int index)
{
    if (index < 0 || index >= count())
        return;
    TReportRow& row = rows_[std::size_t(index)];
    if (read_)
        read_(row);
    row.tagsRead = true;
    Q_EMIT dataChanged(this->index(index, 0), this->index(index, ColumnCount - 1));
}

void TReportModel::removeRowAt(int index)
{
    if (index < 0 || index >= count())
        return;
    beginRemoveRows({}, index, index);
    rows_.erase(rows_.begin() + index);
    endRemoveRows();
}

int TReportModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int TReportModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TReportModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const TReportRow& listed = rows_[std::size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole) {
        if (column == NameColumn)
            return listed.shown;
        const TReportRow& row = readRow(index.row());
        if (!row.hasTag)
            return {}; // a file that could not be read has its name only
        return row.tag(column - TitleColumn).toString();
    }
    if (role == Qt::DecorationRole && column == NameColumn)
        return icons_.value(listed.icon);
    return {};
}

QVariant TReportModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    // A first click on a column sorts it from the top: A to Z, 1 up.
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    if (role != Qt::DisplayRole)
        return {};
    static const std::array<QString, ColumnCount> captions{
        u"文件名"_s, u"标题"_s, u"作者"_s, u"专辑"_s,       u"年代"_s, u"类型"_s,
        u"备注"_s,   u"音轨"_s, u"碟号"_s, u"专辑艺术家"_s, u"作曲"_s};
    return section >= 0 && section < int(captions.size()) ? captions[std::size_t(section)]
                                                          : QVariant();
}

Qt::ItemFlags TReportModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QMimeData* TReportModel::mimeData(const QModelIndexList& indexes) const
{
    QMimeData* data = QAbstractTableModel::mimeData(indexes);
    if (data && dragMark_)
        dragMark_(*data);
    return data;
}
