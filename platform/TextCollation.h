#pragma once

#include <QByteArray>
#include <QStringView>

#include <memory>

// The order a reader expects of names and titles: ICU's Chinese collation,
// which puts Chinese in pinyin order and Latin letters in the usual one, with
// runs of digits read as numbers ("Track 2" before "Track 10").
namespace platform {

class TextCollator {
public:
    TextCollator();
    ~TextCollator();
    TextCollator(const TextCollator&) = delete;
    TextCollator& operator=(const TextCollator&) = delete;

    // A key whose bytewise order is the collation's order of the texts:
    // sorting many texts compares their keys, made once each, rather than
    // collating every pair again.
    QByteArray sortKey(QStringView text) const;

private:
    struct Collator;
    std::unique_ptr<Collator> collator_;
};

} // namespace platform
