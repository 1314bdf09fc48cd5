#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <utility>

namespace platform {

// An identifier list of the shell namespace in the platform's byte layout: a
// sequence of items, each a 16-bit little-endian byte count (the two count
// bytes included) followed by its payload, ended by a zero count.
//
// The value owns its bytes. It is move-only: a copy is asked for with copy(),
// so that every place that keeps a list says so. Comparison is byte for byte.
// A default-constructed list is null ("no list"); empty() is the desktop's
// list, which has no items but is a list.
class ItemIdList {
public:
    ItemIdList() = default;
    ItemIdList(ItemIdList&&) noexcept = default;
    ItemIdList& operator=(ItemIdList&&) noexcept = default;
    ItemIdList(const ItemIdList&) = delete;
    ItemIdList& operator=(const ItemIdList&) = delete;

    // The list without items (the desktop, the root of the namespace).
    static ItemIdList empty();
    // Takes the bytes of a list. Counts are checked against the bytes that
    // are there: a count below 2, one that runs past the end, or a missing
    // terminator gives a null list. Bytes after the terminator are dropped.
    static ItemIdList fromBytes(QByteArrayView bytes);
    // A list of one item with that payload; null when the payload does not
    // fit a 16-bit count.
    static ItemIdList fromItem(QByteArrayView payload);

    ItemIdList copy() const;

    bool isNull() const { return bytes_.isEmpty(); }
    // True for null and for the list without items.
    bool isEmpty() const { return bytes_.size() <= 2; }
    int count() const;
    // All bytes including the terminator; 0 for a null list.
    qsizetype byteSize() const { return bytes_.size(); }
    const QByteArray& bytes() const { return bytes_; }

    // The payload of item i (without its count); empty when out of range.
    QByteArrayView payload(int i) const;
    // Item i alone, as a one-item list.
    ItemIdList item(int i) const;
    // The first n items / the items from index n on.
    ItemIdList first(int n) const;
    ItemIdList from(int n) const;
    ItemIdList parent() const { return first(count() - 1); }
    ItemIdList last() const { return item(count() - 1); }

    // This list followed by the items of relative. A null operand counts as
    // the list without items; two null operands give null.
    ItemIdList joined(const ItemIdList& relative) const;

    friend bool operator==(const ItemIdList& a, const ItemIdList& b)
    {
        return a.bytes_ == b.bytes_;
    }

private:
    explicit ItemIdList(QByteArray bytes) : bytes_(std::move(bytes)) {}
    // Byte offset of item i, or of the terminator for i == count().
    qsizetype offsetOf(int i) const;

    QByteArray bytes_;
};

} // namespace platform
