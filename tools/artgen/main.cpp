// sonaro-artgen <outdir>: draws every picture of the program and writes it, together with the
// resource list, into <outdir>. The output depends only on this code, Qt and the Noto CJK fonts.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "artgen.h"

namespace {

struct Output {
  QString name;
  QByteArray bytes;
};

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return file.write(bytes) == bytes.size() && file.flush();
}

QByteArray ResourceList(const std::vector<Output>& outputs) {
  QByteArray qrc(
      "<!DOCTYPE RCC>\n<!-- Written by tools/artgen; run tools/make-assets.sh to regenerate. -->\n"
      "<RCC version=\"1.0\">\n  <qresource prefix=\"/assets\">\n");
  QStringList names;
  for (const Output& o : outputs) names << o.name;
  names.sort();
  for (const QString& name : names) qrc += "    <file>" + name.toUtf8() + "</file>\n";
  qrc += "  </qresource>\n</RCC>\n";
  return qrc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sonaro-artgen <outdir>\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  artgen::RequireFonts();

  const QDir outDir(QString::fromLocal8Bit(argv[1]));
  if (!outDir.exists() && !QDir().mkpath(outDir.path())) {
    std::fprintf(stderr, "sonaro-artgen: cannot create %s\n", argv[1]);
    return 1;
  }

  using namespace artgen;
  const QImage skin = MainSkin();
  std::vector<Output> outputs = {
      {"main_skin.png", EncodePng(skin, true)},
      {"main_background.jpg", EncodeJpegWithoutWhite(MainBackground(skin))},
      {"station_box.png", EncodePng(PatchFromSkin(skin, mainlayout::kStationBox), false)},
      {"status_box.png", EncodePng(PatchFromSkin(skin, mainlayout::kStatusBox), false)},
      {"close_normal.png", EncodePng(CloseKey(false), true)},
      {"close_hover.png", EncodePng(CloseKey(true), true)},
      {"minimise_normal.png", EncodePng(MinimiseKey(false), true)},
      {"minimise_hover.png", EncodePng(MinimiseKey(true), true)},
      {"maximise_normal.png", EncodePng(MaximiseKey(false), true)},
      {"maximise_hover.png", EncodePng(MaximiseKey(true), true)},
      {"stations_normal.png", EncodePng(StationsButton(false), true)},
      {"stations_hover.png", EncodePng(StationsButton(true), true)},
      {"request_normal.png", EncodePng(RequestButton(false), true)},
      {"request_hover.png", EncodePng(RequestButton(true), true)},
      {"board_button_normal.png", EncodePng(BoardButton(false), true)},
      {"board_button_hover.png", EncodePng(BoardButton(true), true)},
      {"animation.gif", EncodeGif(AnimationFrames(skin), 12)},
      {"station_panel.bmp", EncodeBmp24(StationPanel())},
      {"board.bmp", EncodeBmp24(Board())},
      {"details.bmp", EncodeBmp24(Details())},
      {"request_form.bmp", EncodeBmp24(RequestForm())},
      {"volume_knob.bmp", EncodeBmp24(VolumeKnob())},
      {"volume_scale.bmp", EncodeBmp24(VolumeScale())},
      {"xiao.cur", EncodeCursor(CursorImage(), QPoint(9, 5))},
      {"sonaro.png", EncodePng(ProgramIcon(), true)},
  };
  outputs.push_back({"search_window.bmp", EncodeBmp24(SearchWindow())});
  const struct {
    const char* name;
    const char* caption;
    QSize size;
    bool canBeDisabled;
  } searchKeys[] = {{"search_go", "搜索", {84, 28}, false},
                    {"search_previous", "上一页", {72, 26}, true},
                    {"search_next", "下一页", {72, 26}, true},
                    {"search_keep", "收藏", {72, 26}, true},
                    {"search_close", "关闭", {72, 26}, false}};
  for (const auto& key : searchKeys) {
    const QString name = QString::fromLatin1(key.name);
    const QString caption = QString::fromUtf8(key.caption);
    outputs.push_back(
        {name + "_normal.png", EncodePng(SearchKey(caption, key.size, KeyLook::kNormal), true)});
    outputs.push_back(
        {name + "_hover.png", EncodePng(SearchKey(caption, key.size, KeyLook::kHover), true)});
    if (key.canBeDisabled) {
      outputs.push_back({name + "_disabled.png",
                         EncodePng(SearchKey(caption, key.size, KeyLook::kDisabled), true)});
    }
  }
  Output qrc{"assets.qrc", ResourceList(outputs)};
  outputs.push_back(std::move(qrc));
  // The launcher's icons, installed into the icon theme rather than built into the program.
  if (!QDir(outDir.filePath("icons")).exists() && !outDir.mkdir("icons")) {
    std::fprintf(stderr, "sonaro-artgen: cannot create %s/icons\n", argv[1]);
    return 1;
  }
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    outputs.push_back(
        {QStringLiteral("icons/%1.png").arg(size), EncodePng(ProgramIcon(size), true)});
  }

  for (const Output& o : outputs) {
    if (!WriteFile(outDir.filePath(o.name), o.bytes)) {
      std::fprintf(stderr, "sonaro-artgen: cannot write %s\n", qPrintable(outDir.filePath(o.name)));
      return 1;
    }
    std::printf("%-26s %8lld bytes\n", qPrintable(o.name), static_cast<long long>(o.bytes.size()));
  }
  return 0;
}
