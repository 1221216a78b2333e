// The update check of the Update window and its download worker.
#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "core/gbk.h"
#include "core/webget.h"

namespace sonaro::services {

// The update check's program state.
struct UpdateState {
  core::Text currentVersion;   // "2.0" once the Update window has been set up
  core::Text downloadAddress;  // written by a check that finds a newer version
};

struct UpdateSettings {
  core::Text pageAddress;  // the update page: the service host + "/gengxin.html"
  std::string folder;      // where a downloaded file goes: the program folder
  // Where it goes when the program folder cannot be written (an installed program): the user's
  // download folder.
  std::string fallbackFolder;
  core::WebGetOptions pageFetch = core::PageFetchOptions();
  core::WebGetOptions downloadFetch = core::DownloadFetchOptions();
};

// The service host's update page and the program folder.
UpdateSettings DefaultUpdateSettings();

// Window set-up: sets the current version and gives the caption of the label 标签1,
// "当前版本：2.0".
core::Text SetUpUpdateWindow(UpdateState& state);

// The check, run in the Update window's creation event after SetUpUpdateWindow: fetches the
// update page off the GUI thread; once it has arrived, and only while context lives, answers it
// (AnswerUpdatePage) and calls done.
void CheckForUpdate(UpdateState& state, const UpdateSettings& settings, QObject* context,
                    std::function<void()> done);

// Reads the update page and, when it offers a newer version, asks the user (Yes/No) and opens the
// download page or starts the download in the background; otherwise says "暂时没有更新".
void AnswerUpdatePage(UpdateState& state, const UpdateSettings& settings, const core::Text& page);

// The download's work, off the GUI thread, on its own copy of the address: fetches it and saves
// the bytes as a new file under the address's last piece, in folder or, where folder cannot be
// written, in fallbackFolder. Gives the message for the user: where the file went, or "下载失败"
// (also for a name the program's own files have, a library's or a hidden file's, and for a
// file that exists already).
struct UpdateMessage {
  core::Text text;
  int style = 0;
};
UpdateMessage DownloadUpdate(core::Text address, std::string folder, std::string fallbackFolder,
                             core::WebGetOptions fetch);

}  // namespace sonaro::services
