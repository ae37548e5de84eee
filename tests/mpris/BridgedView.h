#pragma once

#include "support/Fakes.h"

#include "core/CoverlumeView.h"
#include "core/RegisteredDefaults.h"
#include "nowplaying/NowPlayingEngine.h"
#include "nowplaying/PlayerArtwork.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "players/mpris/MprisBridge.h"

#include <QCoreApplication>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>

// A view with its real engine on a bridge, a scripted clock and a
// recording stage; each frame first handles what the bus delivered.
struct BridgedView
{
    QTemporaryDir dir;
    DefaultsStore defaults{dir.path()};
    NotificationCenter local, distributed;
    FrameClock clock{QDateTime(QDate(2026, 12, 6), QTime(20, 0), Qt::UTC)};
    FakeHost host;
    MprisBridge bridge{defaults, &distributed};
    RecordingStage *stage = nullptr;
    std::unique_ptr<CoverlumeView> view;

    BridgedView()
    {
        registerAppDefaults(defaults);
        auto recording = std::make_unique<RecordingStage>();
        stage = recording.get();
        view = std::make_unique<CoverlumeView>(QSizeF(1280, 800),
                                               ViewServices{defaults, bridge, local, distributed, clock, host},
                                               ViewParts{.stage = std::move(recording), .power = std::make_unique<RecordingPower>()});
        view->startAnimation();
        view->setArtworkImage(QImage());
        // Pictures as a headless run has them: with the layout that names them.
        if (auto *engine = dynamic_cast<NowPlayingEngine *>(&view->nowPlaying()))
            engine->playerArtwork()->worker().waitForSmallPictures(std::numeric_limits<qint64>::max());
    }
    int framesRun = 0;
    int layoutFrame = -1; // the frame that laid a track out last

    void frames(int n)
    {
        for (int i = 0; i < n; ++i) {
            QCoreApplication::processEvents();
            clock.beginFrame();
            const qsizetype before = layouts().size();
            view->animateOneFrame();
            ++framesRun;
            if (layouts().size() != before)
                layoutFrame = framesRun;
        }
    }
    void runCycle() { frames(state().value(QStringLiteral("cycle")).toInt()); }
    // The frames shown since the last layout, that one included: a cycle
    // that began there and was not begun again counts as many.
    int framesSinceLayout() const { return framesRun - layoutFrame + 1; }
    QStringList layouts() const { return stage->calls.filter(QStringLiteral("layout(")); }
    QJsonObject state() const { return view->state(); }
};
