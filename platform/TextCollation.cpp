#include "platform/TextCollation.h"

#include <unicode/ucol.h>

namespace platform {

struct TextCollator::Collator {
    UCollator* handle = nullptr;
    ~Collator() { ucol_close(handle); }
};

TextCollator::TextCollator() : collator_(std::make_unique<Collator>())
{
    UErrorCode status = U_ZERO_ERROR;
    // "zh" is pinyin order in ICU's root data; a system without it falls
    // back to the root collation, still a sensible order.
    collator_->handle = ucol_open("zh", &status);
    if (U_FAILURE(status)) {
        ucol_close(collator_->handle);
        collator_->handle = nullptr;
        return;
    }
    ucol_setAttribute(collator_->handle, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
}

TextCollator::~TextCollator() = default;

QByteArray TextCollator::sortKey(QStringView text) const
{
    if (!collator_->handle)
        return text.toUtf8(); // code point order: better than none
    const auto* chars = reinterpret_cast<const UChar*>(text.utf16());
    const auto length = static_cast<int32_t>(text.size());
    QByteArray key(64, Qt::Uninitialized);
    int32_t needed = ucol_getSortKey(collator_->handle, chars, length,
                                     reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
    if (needed > key.size()) {
        key.resize(needed);
        needed = ucol_getSortKey(collator_->handle, chars, length,
                                 reinterpret_cast<uint8_t*>(key.data()), needed);
    }
    // The key ends in a NUL byte that orders nothing.
    key.resize(needed > 0 ? needed - 1 : 0);
    return key;
}

} // namespace platform
