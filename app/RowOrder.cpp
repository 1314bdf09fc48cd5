#include "app/RowOrder.h"

#include "platform/TextCollation.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace {

enum Group { Numbers, Texts, Empty };

struct CellKey {
    Group group = Empty;
    std::int64_t number = 0;
    QByteArray text; // the collation's key
};

CellKey keyOf(QStringView cell, CellKind kind, const platform::TextCollator& collator)
{
    const QStringView text = cell.trimmed();
    if (text.isEmpty())
        return {};
    CellKey key{Texts, 0, collator.sortKey(text)};
    if (kind != CellKind::Number)
        return key;
    // Eighteen digits still fit; a longer run is no track number anyway.
    qsizetype digits = 0;
    for (; digits < text.size() && digits < 18; ++digits) {
        const char16_t c = text[digits].unicode();
        if (c < u'0' || c > u'9')
            break;
        key.number = key.number * 10 + (c - u'0');
    }
    if (digits > 0)
        key.group = Numbers;
    return key;
}

// Within a group: by number, then by text ("3" before "3/12").
bool before(const CellKey& a, const CellKey& b)
{
    if (a.number != b.number)
        return a.number < b.number;
    return a.text < b.text;
}

} // namespace

std::vector<int> sortedCells(const std::vector<QStringView>& cells, CellKind kind,
                             Qt::SortOrder order, const platform::TextCollator& collator)
{
    std::vector<CellKey> keys;
    keys.reserve(cells.size());
    for (const QStringView cell : cells)
        keys.push_back(keyOf(cell, kind, collator));
    std::vector<int> sorted(cells.size());
    std::iota(sorted.begin(), sorted.end(), 0);
    const bool ascending = order == Qt::AscendingOrder;
    std::stable_sort(sorted.begin(), sorted.end(), [&](int left, int right) {
        const CellKey& a = keys[std::size_t(left)];
        const CellKey& b = keys[std::size_t(right)];
        if (a.group != b.group)
            return a.group < b.group;
        return ascending ? before(a, b) : before(b, a);
    });
    return sorted;
}
