#pragma once

#include "core/CoverlumeView.h"
#include "platform/DefaultsStore.h"
#include "platform/FrameClock.h"
#include "platform/NotificationCenter.h"
#include "support/Fakes.h"

#include <QTemporaryDir>
#include <memory>

// A display view on fakes: settings in a temporary directory, a scripted clock,
// private notification centres, recording engine, stage and power control.
class ViewHarness
{
public:
    explicit ViewHarness(const QVariantMap &settings = {}, QSizeF frameSize = QSizeF(1280, 800));

    // As the application does: created, started, handed a null artwork.
    CoverlumeView &makeView();
    void frames(int n);

    QTemporaryDir dir;
    std::unique_ptr<DefaultsStore> defaults;
    FrameClock clock{QDateTime(QDate(2026, 12, 6), QTime(15, 30))};
    NotificationCenter local;
    NotificationCenter distributed;
    FakeHost host;
    NoScripts scripts;
    QSizeF frameSize;

    // Owned by the view once it is made.
    FakeNowPlaying *nowPlaying = nullptr;
    RecordingStage *stage = nullptr;
    RecordingPower *power = nullptr;
    std::unique_ptr<CoverlumeView> view;
};
