// The update page: a GBK text read by markers, not as HTML.
//
// The block lies between the first "////开始" and the first "////结束" after it; everything
// outside it is ignored. Each field is looked up from the start of the block (so fields may come
// in any order and only a field's first occurrence counts): "最新版=" ... "</p>",
// "下载地址=" ... "</p>", "下载方式=" ... "</p>", "更新说明=" ... "更新说明结束</p>".
#pragma once

#include <string_view>

#include "core/gbk.h"

namespace sonaro::core {

struct UpdatePage {
  Text latest;   // latest version, a decimal number
  Text address;  // the download page or file
  Text mode;     // "打开网页" or "下载文件"
  Text notes;    // with every "<p>", then every "</p>", removed
};

UpdatePage ReadUpdatePage(std::string_view page);

// Whether latest is a newer version than current: their numbers differ by more than 0.0000001.
bool IsNewerVersion(std::string_view latest, std::string_view current);

// The file name a download is saved under: the last piece of the address split at "/" (a
// trailing "/" adds no piece); empty when there is none.
Text DownloadFileName(std::string_view address);

// Whether a downloaded file may be saved under name beside the program. Never as one of the
// program's own files or modules, a shared library (the next start could load it) or a hidden
// file.
bool IsSafeDownloadName(std::string_view name);

// Whether the name ends as a package or an archive does (.deb, .rpm, .tar.gz, .tar.xz, .zip,
// .7z, .AppImage, .exe, .msi; any case): only such a file may land beside the program, where
// anything else (qt.conf, say) could be read at its next start.
bool IsPackageName(std::string_view name);

}  // namespace sonaro::core
