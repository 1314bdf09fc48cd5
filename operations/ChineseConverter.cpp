#include "operations/ChineseConverter.h"

#include <opencc.h>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

const opencc_t failed = reinterpret_cast<opencc_t>(-1);

} // namespace

QStringList ChineseConverter::directions()
{
    return {u"s2t"_s, u"s2tw"_s, u"s2hk"_s, u"t2s"_s, u"tw2s"_s, u"hk2s"_s};
}

void ChineseConverter::Closer::operator()(void* handle) const
{
    opencc_close(handle);
}

ChineseConverter::ChineseConverter(QStringView direction)
{
    if (!directions().contains(direction)) {
        error_ = u"未知的转换: "_s + direction.toString();
        return;
    }
    // OpenCC finds a configuration by its file name in its own data folder.
    const QByteArray config = (direction.toString() + u".json"_s).toUtf8();
    const opencc_t handle = opencc_open(config.constData());
    if (handle == failed || handle == nullptr) {
        error_ = u"无法载入简繁转换词典 (%1): %2"_s.arg(direction.toString(),
                                                        QString::fromUtf8(opencc_error()));
        return;
    }
    handle_.reset(handle);
}

QString ChineseConverter::convert(const QString& text) const
{
    if (!handle_ || text.isEmpty())
        return text;
    const QByteArray utf8 = text.toUtf8();
    char* converted = opencc_convert_utf8(handle_.get(), utf8.constData(), size_t(utf8.size()));
    if (!converted)
        return text;
    const std::unique_ptr<char, void (*)(char*)> owner(converted, opencc_convert_utf8_free);
    return QString::fromUtf8(converted);
}

} // namespace operations
