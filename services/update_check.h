// The update check of the Update window and its download worker.
#pragma once

#include <string>

#include "services/core/gbk.h"
#include "services/core/webget.h"

namespace sonaro {

// The update check's program state.
struct UpdateState {
  Text currentVersion;   // "2.0" once the Update window has been set up
  Text downloadAddress;  // written by a check that finds a newer version
};

struct UpdateSettings {
  Text pageAddress;    // the update page: "http://" service host "/gengxin.html"
  std::string folder;  // where a downloaded file goes: the program folder
  WebGetOptions pageFetch = PageFetchOptions();
  WebGetOptions downloadFetch = DownloadFetchOptions();
};

// The service host's update page and the program folder.
UpdateSettings DefaultUpdateSettings();

// Window set-up: sets the current version and gives the caption of the label 标签1,
// "当前版本：2.0".
Text SetUpUpdateWindow(UpdateState& state);

// The check, run in the Update window's creation event after SetUpUpdateWindow: lets pending
// messages run, fetches and reads the update page and, when it offers a newer version, asks the
// user (Yes/No) and opens the download page or starts the download worker; otherwise says
// "暂时没有更新". The caller destroys the window afterwards.
void CheckForUpdate(UpdateState& state, const UpdateSettings& settings);

// The download worker's work, on its own copy of the address: fetches it, saves the bytes in
// folder under the address's last piece and tells the user where, or says "下载失败".
void DownloadUpdate(Text address, std::string folder, WebGetOptions fetch);

}  // namespace sonaro
