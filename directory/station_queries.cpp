#include "directory/station_queries.h"

#include <array>

namespace sonaro::directory {

namespace {

// Row by row as the station table lists them; {} for a station off the air.
const std::array<StationQuery, 119> kQueries = {{
    {},                                     // 1 CRI怀旧金曲频道: off the air
    {"CRI Hit FM 88.7", "CN", "chinese"},   // 2 CRI Hit FM 88.7
    {"山东新闻广播", "CN", "chinese"},      // 3 山东新闻频道
    {"山东经济广播", "CN", "chinese"},      // 4 山东经济频道
    {"山东文艺广播", "CN", "chinese"},      // 5 山东文艺频道
    {"山东生活广播", "CN", "chinese"},      // 6 山东生活频道
    {"山东交通广播", "CN", "chinese"},      // 7 山东交通频道
    {"山东乡村广播", "CN", "chinese"},      // 8 山东乡村频道
    {"山东音乐广播", "CN", "chinese"},      // 9 山东音乐频道
    {"山东体育休闲广播", "CN", "chinese"},  // 10 体育休闲频道
    {"山东音乐广播", "CN", "chinese"},      // 11 山东音乐频道
    {"山东经济广播", "CN", "chinese"},      // 12 经济频道FM96
    {"北京新闻广播", "CN", "chinese"},      // 13 新闻广播
    {"北京城市管理广播", "CN", "chinese"},  // 14 城管广播
    {"北京故事广播", "CN", "chinese"},      // 15 故事广播
    {"北京体育广播", "CN", "chinese"},      // 16 体育广播
    {"北京交通广播", "CN", "chinese"},      // 17 交通广播
    {"北京文艺广播", "CN", "chinese"},      // 18 文艺广播
    {"北京音乐广播", "CN", "chinese"},      // 19 音乐广播
    {"北京外语广播", "CN", "chinese"},      // 20 外语广播
    {"北京爱家广播", "CN", "chinese"},      // 21 爱家广播
    {},                                     // 22 古典音乐广播: off the air
    {},                                     // 23 通俗音乐广播: off the air
    {},                                     // 24 怀旧音乐广播: off the air
    {"北京教学广播", "CN", "chinese"},      // 25 教学广播
    {"北京长书广播", "CN", "chinese"},      // 26 长书广播
    {"北京戏曲曲艺广播", "CN", "chinese"},  // 27 戏曲曲艺广播
    {},                                     // 28 欢乐时光广播: off the air
    {},                                     // 29 银河网络音乐台: off the air
    {},                                     // 30 青檬音乐台: off the air
    {"中国之声", "CN", "chinese"},          // 31 中国之声
    {"美国之音", "US", "chinese"},          // 32 美国之音中文广播
    {"江苏经典流行音乐", "CN", "chinese"},  // 33 江苏经典流行音乐
    {"广东音乐之声", "CN", "chinese"},      // 34 广东音乐之声
    {"香港电台第一台", "HK", "cantonese"},  // 35 香港电台一台
    {},                                     // 36 奇美古典音乐: off the air
    {},                                     // 37 奇美古典音乐: off the air
    {"台北爱乐", "TW", "chinese"},          // 38 台北爱乐
    {"法国国际广播电台", "FR", "chinese"},  // 39 法国国际中文广播
    {},                                     // 40 C86音乐电台: off the air
    {},                                     // 41 传奇世界网络电台: off the air
    {},                                     // 42 稻香村游戏电台: off the air
    {},                                     // 43 地铁0号线: off the air
    {},                                     // 44 广东青少年网络电台: off the air
    {},                                     // 45 黑皮驴声: off the air
    {},                                     // 46 花开网络电台: off the air
    {},                                     // 47 Ibox网络电台: off the air
    {},                                     // 48 积木音乐台: off the air
    {},                                     // 49 金酷网络电台: off the air
    {},                                     // 50 wradio口袋电台: off the air
    {},                                     // 51 绿城网络电台: off the air
    {},                                     // 52 芒果Radio网络: off the air
    {},                                     // 53 猫扑网络电台: off the air
    {},                                     // 54 青大在线网络电台: off the air
    {},                                     // 55 热血电台: off the air
    {},                                     // 56 珊瑚虫之声: off the air
    {},                                     // 57 声动调频网络电台: off the air
    {},                                     // 58 完美音乐台: off the air
    {},                                     // 59 万象网络电台: off the air
    {},                                     // 60 问道网络电台: off the air
    {},                                     // 61 WOXY英文音乐台: off the air
    {},                                     // 62 中国校园之声: off the air
    {},                                     // 63 新浪游戏网络电台: off the air
    {},                                     // 64 萤火虫网络电台: off the air
    {},                                     // 65 中国游戏之声: off the air
    {"经济之声", "CN", "chinese"},          // 66 经济之声
    {"音乐之声", "CN", "chinese"},          // 67 音乐之声
    {"经典音乐广播", "CN", "chinese"},      // 68 都市之声
    {"台海之声", "CN", "chinese"},          // 69 中华之声
    {"神州之声", "CN", "chinese"},          // 70 神州之声
    {"大湾区之声", "CN", "chinese"},        // 71 华夏之声
    {},                                     // 72 华夏双语: off the air
    {"民族之声", "CN", "chinese"},          // 73 民族之声
    {"文艺之声", "CN", "chinese"},          // 74 文艺之声
    {},                                     // 75 银河台: off the air
    {"老年之声", "CN", "chinese"},          // 76 老年之声
    {"藏语广播", "CN", "tibetan"},          // 77 藏语广播
    {},                                     // 78 娱乐广播: off the air
    {},                                     // 79 CRI都市流行: off the air
    {},                                     // 80 CRI写意民谣: off the air
    {"客家之声", "CN", "hakka"},            // 81 CRI客家之声
    {"闽南之音", "CN", "min nan"},          // 82 CRI闽南之音
    {},                                     // 83 CRI巅峰体坛: off the air
    {},                                     // 84 CRI Office Radio: off the air
    {"环球资讯", "CN", "chinese"},          // 85 CRI环球资讯
    {"轻松调频", "CN", "chinese"},          // 86 CRI轻松调频
    {"CRI Hit FM", "CN", "chinese"},        // 87 CRI Hit Fm
    {},                                     // 88 CRI Music Mix: off the air
    {},                                     // 89 CRI英语漫听电台: off the air
    {"Easy FM", "CN", "english"},           // 90 CRI Easy FM
    {},                                     // 91 CRI Round the Clock: off the air
    {"CRI Nairobi", "KE", "english"},       // 92 CRI Nairobi 91.9 FM
    {"CRI 93.0", "LA", "lao"},              // 93 CRI Vientiane 93.0 FM
    {},                                     // 94 CRI Perth 104.9FM: off the air
    {},                                     // 95 CRI国际在线: off the air
    {"天津新闻广播", "CN", "chinese"},      // 96 天津新闻广播
    {"天津音乐广播", "CN", "chinese"},      // 97 天津音乐广播
    {"天津经济广播", "CN", "chinese"},      // 98 天津经济广播
    {"天津文艺广播", "CN", "chinese"},      // 99 天津文艺广播
    {"天津交通广播", "CN", "chinese"},      // 100 天津交通广播
    {"天津生活广播", "CN", "chinese"},      // 101 天津生活广播
    {"天津滨海广播", "CN", "chinese"},      // 102 天津滨海广播
    {"天津小说广播", "CN", "chinese"},      // 103 天津小说广播
    {"天津相声广播", "CN", "chinese"},      // 104 天津相声广播
    {"天津相声广播", "CN", "chinese"},      // 105 天津相声广播
    {},                                     // 106 天津区县广播: off the air
    {},                                     // 107 天津新闻中波: off the air
    {},                                     // 108 天津音乐中波: off the air
    {},                                     // 109 天津戏曲广播: off the air
    {"广东新闻广播", "CN", "chinese"},      // 110 广东新闻频道
    {"广东音乐之声", "CN", "chinese"},      // 111 广东音乐之声
    {"广东卫星广播", "CN", "chinese"},      // 112 广东卫星广播
    {"南粤之声", "CN", "chinese"},          // 113 广东南粤之声
    {"南方生活广播", "CN", "chinese"},      // 114 广东南方生活
    {"广东文体广播", "CN", "chinese"},      // 115 广东文体广播
    {"广东城市之声", "CN", "chinese"},      // 116 广东城市之声
    {},                                     // 117 宝安广播缤纷: off the air
    {},                                     // 118 宝安广播流连: off the air
    {"广州汽车音乐电台", "CN", "chinese"},  // 119 广州汽车音乐电台
}};

}  // namespace

const StationQuery* QueryForRow(size_t index) {
  if (index >= kQueries.size() || !kQueries[index].name) return nullptr;
  return &kQueries[index];
}

}  // namespace sonaro::directory
