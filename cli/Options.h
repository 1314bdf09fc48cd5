#pragma once

#include <QString>

#include <map>
#include <optional>
#include <vector>

// GNU-style options of one command: long ones (--name, --name=value,
// --name value), short flags that may be bundled (-r), "--" ending the
// options; options and operands in any order.
namespace cli {

struct OptionDef {
    QString longName;
    QChar shortName; // null for none
    bool takesValue = false;
    QString valueName; // for the help: "v1|v2|prefer-v2"
    QString help;
};

struct ParsedArgs {
    std::map<QString, QString> options; // by long name; flags map to ""
    std::vector<QString> operands;      // decoded file-name style: bytes kept
    // Where "--" stood among the operands: the number of operands before it.
    std::optional<std::size_t> dashDash;
    QString error; // bad usage: why; empty when the line parsed

    bool has(const QString& name) const { return options.contains(name); }
    QString value(const QString& name) const;
};

ParsedArgs parseArgs(const std::vector<QString>& args, const std::vector<OptionDef>& known);

} // namespace cli
