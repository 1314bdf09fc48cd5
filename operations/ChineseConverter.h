#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <memory>

// Simplified and Traditional Chinese through OpenCC, whose phrase
// dictionaries get words right that a table of single characters gets wrong
// (头发 is 頭髮, not 頭發).
namespace operations {

class ChineseConverter {
public:
    // "s2t", "s2tw", "s2hk" (Simplified to Traditional, Taiwan, Hong Kong) and
    // back, "t2s", "tw2s", "hk2s".
    static QStringList directions();

    explicit ChineseConverter(QStringView direction);
    // Empty when the direction's dictionaries are loaded; otherwise why not.
    QString error() const { return error_; }
    // The text converted; as it was when the converter could not load.
    QString convert(const QString& text) const;

private:
    struct Closer {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Closer> handle_;
    QString error_;
};

} // namespace operations
