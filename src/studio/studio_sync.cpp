#include "studio/studio_sync.h"

#include "framework/scenes.h"
#include "studio/studio.h"
#include "studio/sync_link.h"

#include <chrono>

namespace {

SyncLink gLink;

uint64_t monotonicMs() {
    return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

void pollStudioSync(void* context, const StudioState* state, StudioRequests* requests) {
    auto* link = static_cast<SyncLink*>(context);
    SyncTransport transport{};
    transport.tick = state->transport.tick;
    pollSyncLink(link, monotonicMs(), &transport);
    if (transport.seekRow >= 0) {
        requests->seek = true;
        requests->tick = float(transport.seekRow);
    }
    requests->pause = transport.pauseRequest == 1;
    requests->play = transport.pauseRequest == 0;
    requests->tracksChanged = transport.tracksChanged;
    requests->status = (syncLinkConnected(link) ? "connected " : "disconnected ") + link->endpoint;
}

} // namespace

bool startStudioSync(const StudioOptions& options, std::string* error) {
    const std::string trackSource =
        options.sources.empty() ? "" : options.sources + "/src/tracks/show.rocket";
    if (!startSyncLink(&gLink, options.syncHost.c_str(), options.syncPort, &frameworkState()->registry,
                       trackSource.c_str(), error))
        return false;
    setStudioLink(pollStudioSync, &gLink);
    return true;
}
