#include "cli/Options.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const OptionDef* findLong(const std::vector<OptionDef>& known, QStringView name)
{
    for (const OptionDef& option : known) {
        if (option.longName == name)
            return &option;
    }
    return nullptr;
}

const OptionDef* findShort(const std::vector<OptionDef>& known, QChar name)
{
    for (const OptionDef& option : known) {
        if (!option.shortName.isNull() && option.shortName == name)
            return &option;
    }
    return nullptr;
}

// One "--name[=value]" argument; `next` is taken for a value when needed.
bool takeLong(ParsedArgs& parsed, const std::vector<OptionDef>& known, const QString& arg,
              const QString* next, bool& usedNext)
{
    const qsizetype equals = arg.indexOf(u'=');
    const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
    const OptionDef* option = findLong(known, name);
    if (!option) {
        parsed.error = u"未知的选项 --"_s + name;
        return false;
    }
    if (!option->takesValue) {
        if (equals >= 0) {
            parsed.error = u"选项 --"_s + name + u" 不带值"_s;
            return false;
        }
        parsed.options[name] = QString();
        return true;
    }
    if (equals >= 0) {
        parsed.options[name] = arg.mid(equals + 1);
        return true;
    }
    if (!next) {
        parsed.error = u"选项 --"_s + name + u" 缺少值"_s;
        return false;
    }
    parsed.options[name] = *next;
    usedNext = true;
    return true;
}

// One "-abc" bundle of short options; the last may take a value.
bool takeShort(ParsedArgs& parsed, const std::vector<OptionDef>& known, const QString& arg,
               const QString* next, bool& usedNext)
{
    for (qsizetype i = 1; i < arg.size(); ++i) {
        const OptionDef* option = findShort(known, arg[i]);
        if (!option) {
            parsed.error = u"未知的选项 -"_s + arg[i];
            return false;
        }
        if (!option->takesValue) {
            parsed.options[option->longName] = QString();
            continue;
        }
        if (i + 1 < arg.size()) {
            parsed.options[option->longName] = arg.mid(i + 1);
        } else if (next) {
            parsed.options[option->longName] = *next;
            usedNext = true;
        } else {
            parsed.error = u"选项 -"_s + arg[i] + u" 缺少值"_s;
            return false;
        }
        return true;
    }
    return true;
}

} // namespace

QString ParsedArgs::value(const QString& name) const
{
    const auto found = options.find(name);
    return found == options.end() ? QString() : found->second;
}

ParsedArgs parseArgs(const std::vector<QString>& args, const std::vector<OptionDef>& known)
{
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (parsed.dashDash || arg == u"-"_s || !arg.startsWith(u'-')) {
            parsed.operands.push_back(arg);
            continue;
        }
        if (arg == u"--"_s) {
            parsed.dashDash = parsed.operands.size();
            continue;
        }
        const QString* next = i + 1 < args.size() ? &args[i + 1] : nullptr;
        bool usedNext = false;
        const bool ok = arg.startsWith(u"--"_s) ? takeLong(parsed, known, arg, next, usedNext)
                                                : takeShort(parsed, known, arg, next, usedNext);
        if (!ok)
            return parsed;
        if (usedNext)
            ++i;
    }
    return parsed;
}

} // namespace cli
