#include "platform/ItemIdList.h"

#include <limits>

namespace platform {

namespace {

constexpr qsizetype countSize = 2;

quint16 countAt(const QByteArray& bytes, qsizetype offset)
{
    return quint16(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8));
}

quint16 countAt(QByteArrayView bytes, qsizetype offset)
{
    return quint16(quint8(bytes[offset]) | (quint8(bytes[offset + 1]) << 8));
}

void appendCount(QByteArray& bytes, quint16 count)
{
    bytes.append(char(count & 0xFF));
    bytes.append(char(count >> 8));
}

QByteArray terminator()
{
    return QByteArray(countSize, '\0');
}

} // namespace

ItemIdList ItemIdList::empty()
{
    return ItemIdList(terminator());
}

ItemIdList ItemIdList::fromBytes(QByteArrayView bytes)
{
    qsizetype offset = 0;
    for (;;) {
        if (bytes.size() - offset < countSize)
            return {};
        const quint16 count = countAt(bytes, offset);
        if (count == 0)
            return ItemIdList(bytes.first(offset + countSize).toByteArray());
        if (count < countSize || count > bytes.size() - offset)
            return {};
        offset += count;
    }
}

ItemIdList ItemIdList::fromItem(QByteArrayView payload)
{
    if (payload.size() > std::numeric_limits<quint16>::max() - countSize)
        return {};
    QByteArray bytes;
    bytes.reserve(payload.size() + 2 * countSize);
    appendCount(bytes, quint16(payload.size() + countSize));
    bytes.append(payload.data(), payload.size());
    bytes.append(terminator());
    return ItemIdList(std::move(bytes));
}

ItemIdList ItemIdList::copy() const
{
    return ItemIdList(bytes_);
}

int ItemIdList::count() const
{
    int n = 0;
    if (isNull())
        return 0;
    for (qsizetype offset = 0; countAt(bytes_, offset) != 0; offset += countAt(bytes_, offset))
        ++n;
    return n;
}

qsizetype ItemIdList::offsetOf(int i) const
{
    qsizetype offset = 0;
    for (int k = 0; k < i && countAt(bytes_, offset) != 0; ++k)
        offset += countAt(bytes_, offset);
    return offset;
}

QByteArrayView ItemIdList::payload(int i) const
{
    if (isNull() || i < 0)
        return {};
    const qsizetype offset = offsetOf(i);
    const quint16 count = countAt(bytes_, offset);
    if (count == 0)
        return {};
    return QByteArrayView(bytes_).sliced(offset + countSize, count - countSize);
}

ItemIdList ItemIdList::item(int i) const
{
    if (isNull() || i < 0 || i >= count())
        return {};
    return fromItem(payload(i));
}

ItemIdList ItemIdList::first(int n) const
{
    if (isNull() || n < 0)
        return {};
    QByteArray bytes = bytes_.first(offsetOf(n));
    bytes.append(terminator());
    return ItemIdList(std::move(bytes));
}

ItemIdList ItemIdList::from(int n) const
{
    if (isNull() || n < 0)
        return {};
    return ItemIdList(bytes_.sliced(offsetOf(n)));
}

ItemIdList ItemIdList::joined(const ItemIdList& relative) const
{
    if (isNull() && relative.isNull())
        return {};
    if (isNull())
        return relative.copy();
    if (relative.isNull())
        return copy();
    QByteArray bytes = bytes_.first(bytes_.size() - countSize);
    bytes.append(relative.bytes_);
    return ItemIdList(std::move(bytes));
}

} // namespace platform
