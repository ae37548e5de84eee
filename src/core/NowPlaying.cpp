#include "core/NowPlaying.h"

void SilentNowPlaying::describe(QJsonObject &state) const
{
    state.insert(QStringLiteral("preferredPlayer"), 0);
    state.insert(QStringLiteral("track"), QJsonValue::Null);
    state.insert(QStringLiteral("artist"), QJsonValue::Null);
    state.insert(QStringLiteral("album"), QJsonValue::Null);
    state.insert(QStringLiteral("rating"), 0);
    state.insert(QStringLiteral("loved"), false);
    state.insert(QStringLiteral("disliked"), false);
    state.insert(QStringLiteral("progress"),
                 QJsonObject{{QStringLiteral("maximum"), 0.0},
                             {QStringLiteral("value"), 0.0},
                             {QStringLiteral("shown"), false}});
}
