#include "cli/Options.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

const OptionSpec* findLong(const std::vector<OptionSpec>& specs, QStringView name)
{
    for (const OptionSpec& spec : specs) {
        if (spec.longName == name)
            return &spec;
    }
    return nullptr;
}

const OptionSpec* findShort(const std::vector<OptionSpec>& specs, QChar name)
{
    for (const OptionSpec& spec : specs) {
        if (!spec.shortName.isNull() && spec.shortName == name)
            return &spec;
    }
    return nullptr;
}

// One "--name[=value]" argument; `next` is taken for a value when needed.
bool takeLong(ParsedArgs& parsed, const std::vector<OptionSpec>& specs, const QString& arg,
              const QString* next, bool& usedNext)
{
    const qsizetype equals = arg.indexOf(u'=');
    const QString name = arg.mid(2, equals < 0 ? -1 : equals - 2);
    const OptionSpec* spec = findLong(specs, name);
    if (!spec) {
        parsed.error = u"未知的选项 --"_s + name;
        return false;
    }
    if (!spec->takesValue) {
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
bool takeShort(ParsedArgs& parsed, const std::vector<OptionSpec>& specs, const QString& arg,
               const QString* next, bool& usedNext)
{
    for (qsizetype i = 1; i < arg.size(); ++i) {
        const OptionSpec* spec = findShort(specs, arg[i]);
        if (!spec) {
            parsed.error = u"未知的选项 -"_s + arg[i];
            return false;
        }
        if (!spec->takesValue) {
            parsed.options[spec->longName] = QString();
            continue;
        }
        if (i + 1 < arg.size()) {
            parsed.options[spec->longName] = arg.mid(i + 1);
        } else if (next) {
            parsed.options[spec->longName] = *next;
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

ParsedArgs parseArgs(const std::vector<QString>& args, const std::vector<OptionSpec>& specs)
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
        const bool ok = arg.startsWith(u"--"_s) ? takeLong(parsed, specs, arg, next, usedNext)
                                                : takeShort(parsed, specs, arg, next, usedNext);
        if (!ok)
            return parsed;
        if (usedNext)
            ++i;
    }
    return parsed;
}

} // namespace cli
