#pragma once

#include <array>
#include <string_view>

namespace marlin::desktop {

// The application's own icon: the window icon and the one installed for the
// desktop. Unlike the others it keeps its colours.
inline constexpr std::string_view kAppIconName = "marlin-viewer";

// Every icon in the resources, loaded as ":/icons/<name>.svg". All but the
// application's are drawn in the one icon colour so they can be tinted per
// state when shown.
inline constexpr std::array<std::string_view, 44> kIconNames{
    // Opening recordings and moving through them.
    "open-file",
    "open-disk",
    "fast-rewind",
    "play-reverse",
    "previous-frame",
    "pause",
    "next-frame",
    "play",
    "fast-forward",
    "rewind",
    "still-capture",
    "save-avi",
    // Finding the moment.
    "previous-event",
    "next-event",
    "event-list",
    // Split views.
    "split-1",
    "split-4",
    "split-9",
    "split-16",
    "channel-1",
    "channel-2",
    "channel-3",
    "channel-4",
    "channel-5",
    "channel-6",
    "channel-7",
    "channel-8",
    "channel-9",
    // Sound.
    "volume",
    "mute",
    // The live DVR.
    "player-mode",
    "client-mode",
    "connect",
    "disconnect",
    "record",
    "stop",
    "dvr-menu",
    "up",
    "down",
    "select",
    // The window's own buttons.
    "minimise",
    "close",
    "maximise",
    kAppIconName,
};

}  // namespace marlin::desktop
