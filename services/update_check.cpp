#include "services/update_check.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>
#include <utility>

#include "core/background.h"
#include "core/files.h"
#include "core/service_contract.h"
#include "core/text.h"
#include "core/update_page.h"
#include "services/service_host.h"
#include "ui/facilities.h"

namespace sonaro::services {
namespace {

core::Text Gbk(const char* utf8) { return core::GbkFromUtf8(utf8); }

}  // namespace

UpdateSettings DefaultUpdateSettings() {
  UpdateSettings settings;
  settings.pageAddress = services::ServiceAddress(core::resource::kUpdatePage);
  settings.folder = core::ProgramFolder();
  settings.fallbackFolder =
      QStandardPaths::writableLocation(QStandardPaths::DownloadLocation).toStdString();
  return settings;
}

core::Text SetUpUpdateWindow(UpdateState& state) {
  state.currentVersion = "2.0";
  return Gbk("当前版本：") + state.currentVersion;
}

void CheckForUpdate(UpdateState& state, const UpdateSettings& settings, QObject* context,
                    std::function<void()> done) {
  // The page may take long or never come: the window stays live meanwhile.
  core::RunInBackground(
      context,
      [address = settings.pageAddress, fetch = settings.pageFetch] {
        return core::TextFromBytes(core::WebGet(address, fetch));
      },
      [&state, settings, done = std::move(done)](const core::Text& page) {
        AnswerUpdatePage(state, settings, page);
        if (done) done();
      });
}

void AnswerUpdatePage(UpdateState& state, const UpdateSettings& settings, const core::Text& page) {
  core::UpdatePage fields = core::ReadUpdatePage(page);
  if (!core::IsNewerVersion(fields.latest, state.currentVersion)) {
    ui::MessageBox(Gbk("暂时没有更新"), ui::kMbOk, Gbk("更新"));
    return;
  }
  state.downloadAddress = fields.address;
  core::Text question = Gbk("当前版本：") + state.currentVersion + "\r\n" + Gbk("最新版本：") +
                        fields.latest + "\r\n" + Gbk("更新内容：") + "\r\n" + fields.notes;
  if (ui::MessageBox(question, ui::kMbYesNo, Gbk("是否下载最新版？")) != ui::kIdYes) return;
  if (fields.mode == Gbk("打开网页")) {
    ui::OpenInBrowser(state.downloadAddress);
  } else if (fields.mode == Gbk("下载文件")) {
    // The download outlives the Update window; its message comes when it is over.
    core::RunInBackground(
        QCoreApplication::instance(),
        [address = state.downloadAddress, folder = settings.folder,
         fallback = settings.fallbackFolder, fetch = settings.downloadFetch] {
          return DownloadUpdate(address, folder, fallback, fetch);
        },
        [](const UpdateMessage& message) {
          ui::MessageBox(message.text, message.style, Gbk("更新"));
        });
  }
}

UpdateMessage DownloadUpdate(core::Text address, std::string folder, std::string fallbackFolder,
                             core::WebGetOptions fetch) {
  const UpdateMessage failed{Gbk("下载失败"), ui::kMbIconError};
  // The page names the file: it must not be able to replace or plant a file the program loads.
  const core::Text name = core::DownloadFileName(address);
  if (!core::IsSafeDownloadName(name)) return failed;
  // Beside the program only a package or an archive; anything else, and everything where the
  // program's folder cannot be written, goes to the user's download folder.
  if (!core::IsPackageName(name) || ::access(folder.c_str(), W_OK) != 0) {
    folder = fallbackFolder;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
  }
  bool complete = false;
  core::Bytes data = core::WebGet(address, fetch, &complete);
  // A download that broke off is a failed download, not a new version: nothing is saved.
  // The folder is a file-system name (UTF-8), the file name comes from the page (GBK).
  if (folder.empty() || data.empty() || !complete ||
      !core::WriteNewFile(folder + "/" + core::Utf8FromGbk(name), data)) {
    return failed;
  }
  return {Gbk("新版本已下载到：") + "\r\n" + core::GbkFromUtf8(folder) + "/" + name, ui::kMbOk};
}

}  // namespace sonaro::services
