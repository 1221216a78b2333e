#include "services/update_check.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>
#include <utility>

#include "services/core/background.h"
#include "services/core/files.h"
#include "services/core/text.h"
#include "services/core/update_page.h"
#include "services/facilities.h"
#include "services/service_host.h"

namespace sonaro {
namespace {

Text Gbk(const char* utf8) { return GbkFromUtf8(utf8); }

}  // namespace

UpdateSettings DefaultUpdateSettings() {
  UpdateSettings settings;
  settings.pageAddress = services::ServiceAddress("/gengxin.html");
  settings.folder = ProgramFolder();
  settings.fallbackFolder =
      QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString();
  return settings;
}

Text SetUpUpdateWindow(UpdateState& state) {
  state.currentVersion = "2.0";
  return Gbk("当前版本：") + state.currentVersion;
}

void CheckForUpdate(UpdateState& state, const UpdateSettings& settings, QObject* context,
                    std::function<void()> done) {
  // The page may take long or never come: the window stays live meanwhile.
  RunInBackground(
      context,
      [address = settings.pageAddress, fetch = settings.pageFetch] {
        return TextFromBytes(WebGet(address, fetch));
      },
      [&state, settings, done = std::move(done)](const Text& page) {
        AnswerUpdatePage(state, settings, page);
        if (done) done();
      });
}

void AnswerUpdatePage(UpdateState& state, const UpdateSettings& settings, const Text& page) {
  UpdatePage fields = ReadUpdatePage(page);
  if (!IsNewerVersion(fields.latest, state.currentVersion)) {
    MessageBox(Gbk("暂时没有更新"), kMbOk, Gbk("更新"));
    return;
  }
  state.downloadAddress = fields.address;
  Text question = Gbk("当前版本：") + state.currentVersion + "\r\n" + Gbk("最新版本：") +
                  fields.latest + "\r\n" + Gbk("更新内容：") + "\r\n" + fields.notes;
  if (MessageBox(question, kMbYesNo, Gbk("是否下载最新版？")) != kIdYes) return;
  if (fields.mode == Gbk("打开网页")) {
    OpenInBrowser(state.downloadAddress);
  } else if (fields.mode == Gbk("下载文件")) {
    // The download outlives the Update window; its message comes when it is over.
    RunInBackground(
        QCoreApplication::instance(),
        [address = state.downloadAddress, folder = settings.folder,
         fallback = settings.fallbackFolder, fetch = settings.downloadFetch] {
          return DownloadUpdate(address, folder, fallback, fetch);
        },
        [](const UpdateMessage& message) { MessageBox(message.text, message.style, Gbk("更新")); });
  }
}

UpdateMessage DownloadUpdate(Text address, std::string folder, std::string fallbackFolder,
                             WebGetOptions fetch) {
  const UpdateMessage failed{Gbk("下载失败"), kMbIconError};
  // The page names the file: it must not be able to replace or plant a file the program loads.
  const Text name = DownloadFileName(address);
  if (!IsSafeDownloadName(name)) return failed;
  if (::access(folder.c_str(), W_OK) != 0) {
    folder = fallbackFolder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  bool complete = false;
  Bytes data = WebGet(address, fetch, &complete);
  // A download that broke off is a failed download, not a new version: nothing is saved.
  // The folder is a file-system name (UTF-8), the file name comes from the page (GBK).
  if (folder.empty() || data.empty() || !complete ||
      !WriteNewFile(folder + "/" + Utf8FromGbk(name), data)) {
    return failed;
  }
  return {Gbk("新版本已下载到：") + "\r\n" + GbkFromUtf8(folder) + "/" + name, kMbOk};
}

}  // namespace sonaro
