#include "trackc/track_override.h"

#include "framework/parameter_track.h"

bool replaceTrackKeys(TrackRegistry* registry, const TrackDocument& document, const std::string& path,
                      std::string* error) {
    for (const TrackKeys& keys : document.tracks) {
        const int32_t index = findTrack(registry, keys.name.c_str());
        if (index < 0) {
            *error = path + ": the show has no track '" + keys.name + "' registered";
            return false;
        }
        const auto count = static_cast<int32_t>(keys.times.size());
        if (setTrackKeys(registry->tracks[index], keys.times.data(), keys.values.data(), keys.modes.data(),
                         count) != 0) {
            *error = path + ": out of memory for the keys of '" + keys.name + "'";
            return false;
        }
    }
    return true;
}
