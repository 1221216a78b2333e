// Window and unit identifiers of the catalogue, by the names the handlers use.
#pragma once

#include <cstdint>

namespace sonaro::ids {

// Windows.
inline constexpr uint32_t kMainWindow = 0x52010001;
inline constexpr uint32_t kStationPanel = 0x52010006;
inline constexpr uint32_t kBoard = 0x5201014B;
inline constexpr uint32_t kDetails = 0x52010324;
inline constexpr uint32_t kUpdateWindow = 0x52010406;
inline constexpr uint32_t kRequestForm = 0x52010449;
inline constexpr uint32_t kSearchWindow = 0x52010501;
inline constexpr uint32_t kAddStationWindow = 0x52010511;  // 添加电台

// The windows' own unit IDs.
inline constexpr uint32_t kMainWindowUnit = 0x06010000;
inline constexpr uint32_t kStationPanelUnit = 0x06010005;
inline constexpr uint32_t kBoardUnit = 0x0601014A;
inline constexpr uint32_t kDetailsUnit = 0x06010323;
inline constexpr uint32_t kUpdateWindowUnit = 0x06010405;
inline constexpr uint32_t kRequestFormUnit = 0x06010448;
inline constexpr uint32_t kSearchWindowUnit = 0x06010500;
inline constexpr uint32_t kAddStationWindowUnit = 0x06010510;

namespace main {
inline constexpr uint32_t kDiange = 0x16010340;
inline constexpr uint32_t kDiantaidaohang = 0x1601013D;
inline constexpr uint32_t kSuperMenu = 0x16010134;
inline constexpr uint32_t kZuixiao = 0x1601010F;
inline constexpr uint32_t kZuida = 0x1601010A;
inline constexpr uint32_t kCloseButton = 0x16010104;  // 关闭按钮
inline constexpr uint32_t kStationBox = 0x160100DE;   // diantaim
inline constexpr uint32_t kStatusBox = 0x160100CF;    // 状态
inline constexpr uint32_t kMenu = 0x2601012F;         // 菜单, hidden top-level item
inline constexpr uint32_t kMenuShow = 0x26010134;     // 显示主窗口: the trays' way back
inline constexpr uint32_t kMenuAbout = 0x26010130;
inline constexpr uint32_t kMenuSuggest = 0x26010131;
inline constexpr uint32_t kMenuUpdate = 0x26010403;
inline constexpr uint32_t kMenuRequest = 0x26010132;
inline constexpr uint32_t kMenuSearch = 0x26010135;      // 搜索电台…
inline constexpr uint32_t kMenuAddStation = 0x26010136;  // 添加电台…
inline constexpr uint32_t kMenuImport = 0x26010137;      // 导入电台…
inline constexpr uint32_t kMenuExport = 0x26010138;      // 导出电台…
inline constexpr uint32_t kMenuExit = 0x26010133;
}  // namespace main

namespace panel {
inline constexpr uint32_t kNotice = 0x16010469;  // 标签5
inline constexpr uint32_t kFrameLeft = 0x16010468;
inline constexpr uint32_t kFrameRight = 0x16010467;
inline constexpr uint32_t kFrameBottom = 0x16010466;
inline constexpr uint32_t kFrameTop = 0x16010465;
inline constexpr uint32_t kAdvertBox = 0x16010458;
inline constexpr uint32_t kVolumeCaption = 0x16010303;
inline constexpr uint32_t kVolumeKnob = 0x160102A0;   // 音量拖动
inline constexpr uint32_t kVolumeFill = 0x1601029F;   // 图形按钮2
inline constexpr uint32_t kVolumeTrack = 0x1601029E;  // 图形按钮1
inline constexpr uint32_t kSystemVolume = 0x16010277;
inline constexpr uint32_t kTree = 0x160101D5;  // 树型框1
}  // namespace panel

namespace board {
inline constexpr uint32_t kTimer = 0x16011590;
inline constexpr uint32_t kAnnouncement = 0x16010446;
inline constexpr uint32_t kRequestButton = 0x16010402;  // 按钮1
inline constexpr uint32_t kList = 0x16011925;           // 超级列表框1
}  // namespace board

namespace details {
inline constexpr uint32_t kWishes = 0x160103FF;     // 编辑框1
inline constexpr uint32_t kGreeting = 0x160103F7;   // 透明标签点歌者3
inline constexpr uint32_t kSongTitle = 0x160103F1;  // 透明标签歌名
inline constexpr uint32_t kSignature = 0x160103EF;  // 透明标签点歌者
inline constexpr uint32_t kHeading = 0x160103EE;    // 透明标签8
inline constexpr uint32_t kCorner = 0x16010334;     // 透明标签1
}  // namespace details

namespace update {
inline constexpr uint32_t kLabel = 0x1601041F;  // 标签1
}  // namespace update

namespace request {
inline constexpr uint32_t kHelp = 0x1601174C;
inline constexpr uint32_t kClose = 0x16011749;
inline constexpr uint32_t kEdit1 = 0x160116DA;
inline constexpr uint32_t kOk = 0x1601049F;  // 按钮1 "确定"
inline constexpr uint32_t kEdit7 = 0x1601049E;
inline constexpr uint32_t kEdit6 = 0x1601049D;
inline constexpr uint32_t kEdit5 = 0x1601049C;
inline constexpr uint32_t kEdit4 = 0x1601049B;
inline constexpr uint32_t kEdit3 = 0x1601049A;
inline constexpr uint32_t kEdit2 = 0x16010499;
inline constexpr uint32_t kNote = 0x1601044E;  // 透明标签5
inline constexpr uint32_t kBrowser = 0x16011583;
}  // namespace request

namespace search {
inline constexpr uint32_t kBox = 0x16010501;       // 搜索电台名称
inline constexpr uint32_t kSearch = 0x16010502;    // 搜索
inline constexpr uint32_t kResults = 0x16010503;   // 搜索结果
inline constexpr uint32_t kPrevious = 0x16010504;  // 上一页
inline constexpr uint32_t kNext = 0x16010505;      // 下一页
inline constexpr uint32_t kKeep = 0x16010506;      // 收藏
inline constexpr uint32_t kClose = 0x16010507;     // 关闭
inline constexpr uint32_t kStatus = 0x16010508;    // 搜索状态
}  // namespace search
namespace add_station {
inline constexpr uint32_t kName = 0x16010511;     // 电台名称
inline constexpr uint32_t kAddress = 0x16010512;  // 电台地址
inline constexpr uint32_t kOk = 0x16010513;
inline constexpr uint32_t kCancel = 0x16010514;
inline constexpr uint32_t kStatus = 0x16010515;  // 添加状态
inline constexpr uint32_t kNameCaption = 0x16010516;
inline constexpr uint32_t kAddressCaption = 0x16010517;
inline constexpr uint32_t kHeading = 0x16010518;
}  // namespace add_station

}  // namespace sonaro::ids
