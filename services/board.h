// The dedication board: the feed's records as list rows, without repeated wishes.
#pragma once

#include <array>
#include <vector>

#include "core/gbk.h"
#include "core/webget.h"
#include "core/xmldoc.h"

namespace sonaro::services {

// The ten column texts of one board row.
using DedicationRow = std::array<core::Text, 10>;

// Column numbers of a row.
namespace column {
inline constexpr int kDedicatorTitle = 0;
inline constexpr int kDedicator = 1;
inline constexpr int kRecipientTitle = 2;
inline constexpr int kFor = 3;  // "为"
inline constexpr int kRecipient = 4;
inline constexpr int kSong = 5;
inline constexpr int kDedicated = 6;  // "点播了一首歌曲"
inline constexpr int kAddress = 7;    // the song's address
inline constexpr int kWishes = 8;
inline constexpr int kDetails = 9;  // "<详情点击查看>"
}  // namespace column

// What one refresh accepts, generous for a real feed of a few hundred records: a larger feed or
// announcement counts as one that could not be fetched (no rows are added; the announcement
// becomes empty).
inline constexpr size_t kMaxFeedBytes = size_t(4) << 20;
inline constexpr size_t kMaxFeedRecords = 10'000;
inline constexpr size_t kMaxAnnouncementBytes = size_t(1) << 20;

// Limits of the refresh's two fetches (the page limits unless a test shortens them); while a
// silent host keeps a refresh waiting this long, the ticks that come are skipped.
core::WebGetOptions& BoardFetchOptions();

// Whether a refresh is fetching (its result not yet applied).
bool BoardRefreshRunning();

// Record i (from 1) of a loaded feed as a row; missing fields are empty.
DedicationRow RowFromFeed(const core::XmlDoc& feed, int record);

// Appends the rows to the list, leaving out every row whose wishes text is listed already or
// comes earlier among the rows: the list as if all were appended and each later repeat removed.
// Costs what the rows bring, not what the list holds. Returns how many rows were appended.
int AppendNewDedications(const std::vector<DedicationRow>& rows);

// Shows a dedication like a greeting card in the details window and plays its song.
void ShowDedication(const DedicationRow& row);

}  // namespace sonaro::services
