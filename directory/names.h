// Station names compared as a listener reads them: traditional and simplified characters,
// full-width and half-width forms, case, spaces and punctuation make no difference.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonaro::directory {

// The name folded for comparison (UTF-8 in, UTF-8 out): traditional characters to simplified
// (OpenCC's t2s; where OpenCC cannot be opened the characters stay as they are), compatibility
// forms to their plain ones (NFKC: Ｆ, ｍ, full-width digits), lower case, and without spaces,
// punctuation and symbols. "香港電台 第一台" and "香港电台第一台" fold alike.
std::string FoldName(std::string_view utf8);

// What a listener typed as the directory may have written it: the text itself, then its
// simplified and its traditional form (OpenCC's t2s and s2t), each once. The directory matches
// characters as stored, so "電台" finds only traditional names.
std::vector<std::string> ChineseVariants(std::string_view utf8);

// Whether OpenCC's converters could be opened (for the tests to tell the difference).
bool HasChineseConversion();

}  // namespace sonaro::directory
