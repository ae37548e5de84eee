#include "session/CommandLine.h"

#include "broadcaster/CoverlumeBroadcasterHelper.h"

#include <QRegularExpression>
#include <functional>
#include <limits>

namespace {

// Builds are numbered by hand; the number goes up with each release build.
constexpr auto kBuildNumber = "1";

QString fail(const QString &text)
{
    return QStringLiteral("coverlume: ") + text;
}

std::optional<qint64> wholeNumber(const QString &text, qint64 min, qint64 max)
{
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<QSize> parseSize(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,9})[xX]([0-9]{1,9})$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int width = match.captured(1).toInt();
    const int height = match.captured(2).toInt();
    if (width < 1 || height < 1 || width > CommandLine::maxSidePoints
        || height > CommandLine::maxSidePoints)
        return std::nullopt;
    return QSize(width, height);
}

std::optional<QDateTime> parseLocalTime(const QString &text)
{
    // A time without an offset is local time, which is what Qt assumes.
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text, Qt::ISODate);
    if (!time.isValid() || !text.contains(QLatin1Char('T')))
        return std::nullopt;
    return time;
}

struct OptionEntry
{
    const char *name;
    bool takesValue;
    // Stores the value; returns an error text (without the program prefix)
    // or an empty string.
    std::function<QString(CommandLine &, const QString &)> apply;
};

QString needsWholeNumber(const QString &option, const QString &value)
{
    return QStringLiteral("%1 needs a whole number, not '%2'").arg(option, value);
}

QString needsPath(const QString &option)
{
    return QStringLiteral("%1 needs a file name").arg(option);
}

const QList<OptionEntry> &optionTable()
{
    static const QList<OptionEntry> table = {
        {"--help", false, [](CommandLine &c, const QString &) {
             c.action = CommandLine::Action::ShowHelp;
             return QString();
         }},
        {"--version", false, [](CommandLine &c, const QString &) {
             c.action = CommandLine::Action::ShowVersion;
             return QString();
         }},
        {"--players", true, [](CommandLine &c, const QString &v) {
             c.playersFile = v;
             return v.isEmpty() ? needsPath(QStringLiteral("--players")) : QString();
         }},
        {"--list-players", false, [](CommandLine &c, const QString &) {
             c.listPlayers = true;
             return QString();
         }},
        {"--offscreen", false, [](CommandLine &c, const QString &) {
             c.offscreen = true;
             return QString();
         }},
        {"--frames", true, [](CommandLine &c, const QString &v) {
             c.frames = wholeNumber(v, 0, CommandLine::maxFrames);
             if (c.frames)
                 return QString();
             if (wholeNumber(v, std::numeric_limits<qint64>::min(),
                             std::numeric_limits<qint64>::max()))
                 return QStringLiteral("--frames needs a number from 0 to %1, not '%2'")
                     .arg(CommandLine::maxFrames).arg(v);
             return needsWholeNumber(QStringLiteral("--frames"), v);
         }},
        {"--snapshot", true, [](CommandLine &c, const QString &v) {
             c.snapshotFile = v;
             return v.isEmpty() ? needsPath(QStringLiteral("--snapshot")) : QString();
         }},
        {"--size", true, [](CommandLine &c, const QString &v) {
             c.size = parseSize(v);
             return c.size ? QString()
                           : QStringLiteral("--size needs WIDTHxHEIGHT in points, each "
                                            "from 1 to %1, not '%2'")
                                 .arg(CommandLine::maxSidePoints).arg(v);
         }},
        {"--seed", true, [](CommandLine &c, const QString &v) {
             const auto seed = wholeNumber(v, 0, std::numeric_limits<quint32>::max());
             if (seed)
                 c.seed = quint32(*seed);
             return seed ? QString()
                         : QStringLiteral("--seed needs a whole number from 0 to %1, not '%2'")
                               .arg(std::numeric_limits<quint32>::max()).arg(v);
         }},
        {"--now", true, [](CommandLine &c, const QString &v) {
             c.now = parseLocalTime(v);
             return c.now ? QString()
                          : QStringLiteral("--now needs a date and time like "
                                           "2026-12-06T15:30:00, not '%1'").arg(v);
         }},
        {"--fullscreen", false, [](CommandLine &c, const QString &) {
             c.fullscreen = true;
             return QString();
         }},
        {"--config-dir", true, [](CommandLine &c, const QString &v) {
             c.configDir = v;
             return v.isEmpty() ? QStringLiteral("--config-dir needs a directory") : QString();
         }},
        {"--script-log", true, [](CommandLine &c, const QString &v) {
             c.scriptLogFile = v;
             return v.isEmpty() ? needsPath(QStringLiteral("--script-log")) : QString();
         }},
        {"--state", true, [](CommandLine &c, const QString &v) {
             c.stateFile = v;
             return v.isEmpty() ? needsPath(QStringLiteral("--state")) : QString();
         }},
        {"--verbosity", true, [](CommandLine &c, const QString &v) {
             const auto level = wholeNumber(v, std::numeric_limits<int>::min(),
                                            std::numeric_limits<int>::max());
             if (level)
                 c.verbosity = int(*level);
             return level ? QString() : needsWholeNumber(QStringLiteral("--verbosity"), v);
         }},
        {"--add-broadcaster", true, [](CommandLine &c, const QString &v) {
             const QString text = v.trimmed();
             c.addBroadcaster = CoverlumeBroadcasterHelper::isBaseAddress(text)
                 ? text
                 : CoverlumeBroadcasterHelper::baseAddress(text);
             return c.addBroadcaster.isEmpty()
                 ? QStringLiteral("--add-broadcaster needs an IPv4 address like 192.168.1.7, "
                                  "not '%1'").arg(v)
                 : QString();
         }},
    };
    return table;
}

const OptionEntry *findOption(const QString &name)
{
    for (const OptionEntry &entry : optionTable()) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

// Options that only make sense together with another one.
QString checkCombinations(const CommandLine &c)
{
    if (!c.scriptLogFile.isEmpty() && c.playersFile.isEmpty())
        return QStringLiteral("--script-log needs --players (only simulated players keep a log)");
    return QString();
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments)
{
    CommandLine result;
    auto failWith = [&result](const QString &text) {
        result.action = Action::Fail;
        result.errorMessage = fail(text);
        return result;
    };

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        QString name = argument;
        std::optional<QString> inlineValue;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (argument.startsWith(QLatin1String("--")) && equals > 2) {
            name = argument.left(equals);
            inlineValue = argument.mid(equals + 1);
        }

        const OptionEntry *entry = findOption(name);
        if (!entry) {
            if (!argument.startsWith(QLatin1Char('-')))
                return failWith(QStringLiteral("unexpected argument '%1' (see --help)").arg(argument));
            return failWith(QStringLiteral("unknown option '%1' (see --help)").arg(name));
        }

        QString value;
        if (entry->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments.at(++i);
            } else {
                return failWith(QStringLiteral("%1 needs a value").arg(name));
            }
        } else if (inlineValue) {
            return failWith(QStringLiteral("%1 takes no value").arg(name));
        }

        const QString error = entry->apply(result, value);
        if (!error.isEmpty())
            return failWith(error);
        // --help and --version win over whatever follows.
        if (result.action != Action::Run)
            return result;
    }

    const QString error = checkCombinations(result);
    if (!error.isEmpty())
        return failWith(error);
    return result;
}

int CommandLine::exitStatus() const
{
    return action == Action::Fail ? 2 : 0;
}

QString CommandLine::versionText()
{
    return QStringLiteral("%1 (%2)").arg(QStringLiteral(COVERLUME_VERSION),
                                         QLatin1String(kBuildNumber));
}

QString CommandLine::helpText()
{
    return QStringLiteral(
        "Usage: coverlume [options]\n"
        "Shows what the music player is playing, with its artwork.\n"
        "\n"
        "  --help               show this text and exit\n"
        "  --version            show the version and exit\n"
        "  --players FILE       follow the simulated players of a scenario file\n"
        "                       instead of the real players\n"
        "  --list-players       list the players on the session bus, the name\n"
        "                       each stands for, and which are ignored, then exit\n"
        "                       (1 when there is no session bus)\n"
        "  --offscreen          run without a window; with --frames the frames\n"
        "                       run back to back\n"
        "  --frames N           run N frames, write the outputs and quit\n"
        "                       (in a window too)\n"
        "  --snapshot FILE.png  write what the display shows when the run ends\n"
        "  --state FILE         write the display's state as JSON when the run ends\n"
        "  --script-log FILE    write the scripts the simulated players ran, one\n"
        "                       JSON object a line, when the run ends\n"
        "  --size WxH           display size in points (default: 1280x800 without\n"
        "                       a window, else shaped from the screen)\n"
        "  --seed N             seed the random draws (default: from the time)\n"
        "  --now TIME           the clock at frame 0, like 2026-12-06T15:30:00;\n"
        "                       the clock then moves 50 ms a frame\n"
        "  --fullscreen         start full screen (without a window: act as if\n"
        "                       shown full screen)\n"
        "  --config-dir DIR     keep the settings in DIR/defaults.json\n"
        "  --verbosity N        the diagnostic level for this run only\n"
        "  --add-broadcaster ADDRESS\n"
        "                       remember a broadcaster on another computer (an\n"
        "                       IPv4 address like 192.168.1.7, serving on port\n"
        "                       45055) in the settings, then exit\n"
        "\n"
        "Outputs are written when the run ends: after the last of --frames, or\n"
        "when the application quits (SIGINT and SIGTERM quit in order too).\n"
        "Exit status: 0 done, 1 an output could not be written or there is no\n"
        "screen for the window, 2 a bad argument or scenario.\n");
}
