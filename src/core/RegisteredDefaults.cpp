#include "core/RegisteredDefaults.h"

#include "platform/DefaultsStore.h"

QVariantMap registeredDefaults()
{
    // Floats are registered as single-precision values, as the readers
    // narrow them to float anyway.
    return {
        {QStringLiteral("imageSize"), double(1.2f)},
        {QStringLiteral("defaultSaver"), QStringLiteral("Flurry")},
        {QStringLiteral("preferredPlayer"), 2},
        {QStringLiteral("showPaused"), 1},
        {QStringLiteral("actionWhenPaused"), 2},
        {QStringLiteral("showProgress"), true},
        {QStringLiteral("centred"), false},
        {QStringLiteral("keepStatic"), false},
        {QStringLiteral("showRating"), true},
        {QStringLiteral("showLoved"), true},
        {QStringLiteral("showClock"), false},
        {QStringLiteral("defaultArtwork"), 2},
        {QStringLiteral("3Deffect"), double(0.3f)},
        {QStringLiteral("fontSize"), double(1.0f)},
        {QStringLiteral("modifier"), 0},
        // Registered as a boolean; the preferences store 0…3 under it.
        {QStringLiteral("showTime"), false},
        {QStringLiteral("theme"), 5},
        {QStringLiteral("remoteEnabled"), false},
        {QStringLiteral("overrideSnowtape"), true},
        {QStringLiteral("cycle"), 600},
        {QStringLiteral("listenForBroadcaster"), false},
        {QStringLiteral("displayFloatingWindow"), true},
        {QStringLiteral("keepOnTop"), true},
        {QStringLiteral("blockSleepInFullScreen"), true},
        {QStringLiteral("hideMouseCursorInFullScreen"), true},
        {QStringLiteral("fullScreenAfterSystemIdleTime"), 0},
        {QStringLiteral("exitFullScreenAfterActivity"), false},
        {QStringLiteral("noMusicNoAutoFullScreen"), false},
        {QStringLiteral("multipleArtwork"), false},
        {QStringLiteral("userPaused"), false},
        {QStringLiteral("hideDockIcon"), false},
        {QStringLiteral("responsivenessWhenInIdleMode"), 4},
    };
}

void registerAppDefaults(DefaultsStore &defaults)
{
    defaults.registerDefaults(registeredDefaults());
    defaults.set(QStringLiteral("userPaused"), false);
}
