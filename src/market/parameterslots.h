#pragma once

#include <QStringView>

// The slots of the maker's parameter pages that the program reads by number, named in
// one place for the windows, the CLI and the libraries alike.
namespace Market {

// The main window's parameter slots, filled at start-up from copy36.htm.
namespace MainSlot {
inline constexpr int count = 43;
// The open-platform gateway; the window also compares it with its design text to decide
// whether the contact label has a notice to show.
inline constexpr int gateway = 0;
inline constexpr int appSecret = 1;
inline constexpr int appKey = 2;
inline constexpr int signMethod = 3;
inline constexpr int apiVersion = 4;
inline constexpr int replyFormat = 5;
inline constexpr int startAddress = 7; // goes into the address box at start-up
inline constexpr int noticeAddress = 16;
// Six markers, slots 28 to 33, that find the description pictures.
inline constexpr int descriptionPictureMarkers = 28;
inline constexpr int descriptionPictureMarkerCount = 6;
inline constexpr int helpAddress = 34; // "帮助" and "软件教程"
} // namespace MainSlot

// Slot 0 before any page was read: also the "no notice" value.
inline constexpr QStringView noticeVersionDesignText = u"bb1.0";

// copy_app35.htm: the application table the window keeps for its lifetime.
inline constexpr int applicationSlotCount = 21;
// copy_fwz33.htm, ks_set.htm and f_1sp.htm.
inline constexpr int pageSlotCount = 51;

} // namespace Market
