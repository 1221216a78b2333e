// A listener's search of the directory: the requests a search text makes, and how the answers
// of those requests become one list shown a page at a time. No network here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "directory/stations.h"

namespace sonaro::directory {

inline constexpr size_t kResultsPerPage = 20;
// A longer search text is cut here (in characters): no station's name needs more.
inline constexpr int kMaxSearchChars = 64;

// The paths with queries a search for text asks (name, then tag, for each of its
// ChineseVariants); none for a text that is blank.
std::vector<std::string> SearchRequests(std::string_view text);

// The answers to one search's requests as one list: each stationuuid once (its first entry),
// those the directory's check found working first, then the name that is the text itself
// (folded), then by clicks and by votes; equal ones keep the answers' order. At most
// kMaxStations.
std::vector<DirectoryStation> MergeAnswers(
    const std::vector<std::vector<DirectoryStation>>& answers, std::string_view text);

struct ResultPage {
  size_t first = 0;  // the page's first station in the list
  size_t count = 0;
  int number = 0;  // from 1; 0 when there is nothing to show
  int pages = 0;
};

// Page `number` of a list of `total` stations; a number past either end gives the nearest page.
ResultPage PageOf(size_t total, int number, size_t perPage = kResultsPerPage);

// What the result list shows of a station (UTF-8).
struct ResultTexts {
  std::string name;    // marked （可能失效） when the directory's check found it failing
  std::string region;  // the country or region's Chinese name, else its code
  std::string coding;  // "AAC 64k", "MP3", ""
  std::string tags;    // the directory's tags, ", " between them
};
ResultTexts TextsOf(const DirectoryStation& station);

}  // namespace sonaro::directory
