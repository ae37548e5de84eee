#include "BroadcastCommandLine.h"

#include <QHostAddress>

namespace {

QString fail(const QString &text)
{
    return QStringLiteral("coverlume-broadcast: ") + text;
}

} // namespace

BroadcastCommandLine BroadcastCommandLine::parse(const QStringList &arguments)
{
    BroadcastCommandLine result;
    auto failWith = [&result](const QString &text) {
        result.action = Action::Fail;
        result.errorMessage = fail(text);
        return result;
    };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        QString value;
        bool hasValue = false;
        const qsizetype equals = name.indexOf(u'=');
        if (name.startsWith(QLatin1String("--")) && equals > 2) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= arguments.size())
                return false;
            value = arguments.at(++i);
            return true;
        };
        if (name == QLatin1String("--help")) {
            result.action = Action::ShowHelp;
            return result;
        }
        if (name == QLatin1String("--version")) {
            result.action = Action::ShowVersion;
            return result;
        }
        if (name == QLatin1String("--allow-commands") && !hasValue) {
            result.allowCommands = true;
        } else if (name == QLatin1String("--listen")) {
            if (!takeValue())
                return failWith(QStringLiteral("--listen needs an address"));
            if (QHostAddress(value).isNull())
                return failWith(QStringLiteral("--listen needs an IP address like 192.168.1.7, not '%1'").arg(value));
            result.listenAddress = value;
        } else if (name == QLatin1String("--players")) {
            if (!takeValue() || value.isEmpty())
                return failWith(QStringLiteral("--players needs a file name"));
            result.playersFile = value;
        } else if (name.startsWith(u'-')) {
            return failWith(QStringLiteral("unknown option '%1' (see --help)").arg(name));
        } else {
            return failWith(QStringLiteral("unexpected argument '%1' (see --help)").arg(name));
        }
    }
    return result;
}

QString BroadcastCommandLine::helpText()
{
    return QStringLiteral(
        "Usage: coverlume-broadcast [options]\n"
        "Serves what this computer's music player is playing to Coverlume displays\n"
        "on other computers, over HTTP on port 45055.\n"
        "\n"
        "  --help               show this text and exit\n"
        "  --version            show the version and exit\n"
        "  --listen ADDRESS     the address to serve on (default 127.0.0.1, this\n"
        "                       computer only)\n"
        "  --allow-commands     act on play/pause, previous, next and volume requests\n"
        "                       (default: they are refused with 403)\n"
        "  --players FILE       serve the simulated players of a scenario file\n"
        "                       instead of the real players\n"
        "\n"
        "Security: anyone who can reach the port sees what you are playing, and with\n"
        "--allow-commands can pause, skip and change the volume of the music in the\n"
        "house. There is no password. Listen on a LAN address only on a network you\n"
        "trust, and never on one that reaches the internet.\n"
        "\n"
        "How another computer finds it: Coverlume looks for broadcasters among the\n"
        "neighbours its computer has talked to (the ARP table) and the addresses it\n"
        "found before; a broadcaster on the loopback address is never among them.\n"
        "So listen on this computer's LAN address, for example\n"
        "    coverlume-broadcast --listen 192.168.1.7\n"
        "and, if the display does not find it by itself, add it there by hand:\n"
        "    coverlume --add-broadcaster 192.168.1.7\n"
        "Then turn on listening for a broadcaster in the display's settings.\n"
        "\n"
        "Exit status: 0 done, 1 cannot listen on the address, 2 a bad argument or\n"
        "scenario.\n");
}
