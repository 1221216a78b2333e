// The dedication board: the feed's records as list rows, without repeated wishes.
#pragma once

#include <array>

#include "services/core/gbk.h"
#include "services/core/webget.h"
#include "services/core/xmldoc.h"

namespace sonaro::services {

// The ten column texts of one board row.
using DedicationRow = std::array<Text, 10>;

// Column numbers of a row.
namespace column {
inline constexpr int kDedicatorTitle = 0;  // chenghu
inline constexpr int kDedicator = 1;       // diangezhe
inline constexpr int kRecipientTitle = 2;  // beichenghu
inline constexpr int kFor = 3;             // "为"
inline constexpr int kRecipient = 4;       // beidiangezhe
inline constexpr int kSong = 5;            // geming
inline constexpr int kDedicated = 6;       // "点播了一首歌曲"
inline constexpr int kAddress = 7;         // gequdizhi
inline constexpr int kWishes = 8;          // zhufuyu
inline constexpr int kDetails = 9;         // "<详情点击查看>"
}  // namespace column

// Limits of the refresh's two fetches (the page limits unless a test shortens them); while a
// silent host keeps a refresh waiting this long, the ticks that come are skipped.
WebGetOptions& BoardFetchOptions();

// Whether a refresh is fetching (its result not yet applied).
bool BoardRefreshRunning();

// Record i (from 1) of a loaded feed as a row; missing fields are empty.
DedicationRow RowFromFeed(const XmlDoc& feed, int record);

// Deletes every list row whose wishes text an earlier row already has (first one stays).
// Returns how many rows went.
int RemoveDuplicateWishes();

// Shows a dedication like a greeting card in the details window and plays its song.
void ShowDedication(const DedicationRow& row);

}  // namespace sonaro::services
