// The built-in Station table. Generated once from the station list and kept by hand since;
// texts are UTF-8 here and GBK in the program. Tree texts and table labels meet only by exact
// text.
#include "core/station_table.h"

namespace sonaro::core {

const std::array<StationRow, kStationCount> kStationTable = {{
    {"怀旧金曲频道", "CRI怀旧金曲频道", Scheme::Mms, 1, 0, "/oldies"},         // 1
    {"CRI Hit FM 88.7", "CRI Hit FM 88.7", Scheme::Mms, 2, 0, "/fm887"},       // 2
    {"新闻频道", "山东新闻频道", Scheme::Http, 3, 8001, "/channel0"},          // 3
    {"经济频道", "山东经济频道", Scheme::Http, 3, 8001, "/channel1"},          // 4
    {"文艺频道", "山东文艺频道", Scheme::Http, 3, 8001, "/channel2"},          // 5
    {"生活频道", "山东生活频道", Scheme::Http, 3, 8001, "/channel3"},          // 6
    {"交通频道", "山东交通频道", Scheme::Http, 3, 8001, "/channel4"},          // 7
    {"乡村频道", "山东乡村频道", Scheme::Http, 3, 8001, "/channel5"},          // 8
    {"音乐频道", "山东音乐频道", Scheme::Http, 3, 8001, "/channel6"},          // 9
    {"体育休闲频道", "体育休闲频道", Scheme::Http, 3, 8001, "/channel7"},      // 10
    {"休闲音乐频道", "山东音乐频道", Scheme::Http, 3, 8001, "/channel8"},      // 11
    {"经济频道FM96", "经济频道FM96", Scheme::Http, 3, 8001, "/channel9"},      // 12
    {"新闻广播", "新闻广播", Scheme::Mms, 4, 0, "/fm1006"},                    // 13
    {"城管广播", "城管广播", Scheme::Mms, 4, 0, "/fm1073"},                    // 14
    {"故事广播", "故事广播", Scheme::Mms, 4, 0, "/am603"},                     // 15
    {"体育广播", "体育广播", Scheme::Mms, 4, 0, "/fm1025"},                    // 16
    {"交通广播", "交通广播", Scheme::Mms, 4, 0, "/fm1039"},                    // 17
    {"文艺广播", "文艺广播", Scheme::Mms, 4, 0, "/fm876"},                     // 18
    {"音乐广播", "音乐广播", Scheme::Mms, 4, 0, "/fm974"},                     // 19
    {"外语广播", "外语广播", Scheme::Mms, 4, 0, "/am774"},                     // 20
    {"爱家广播", "爱家广播", Scheme::Mms, 4, 0, "/am927"},                     // 21
    {"古典音乐广播", "古典音乐广播", Scheme::Mms, 4, 0, "/cfm986"},            // 22
    {"通俗音乐广播", "通俗音乐广播", Scheme::Mms, 4, 0, "/cfm970"},            // 23
    {"怀旧音乐广播", "怀旧音乐广播", Scheme::Mms, 4, 0, "/cfm1075"},           // 24
    {"教学广播", "教学广播", Scheme::Mms, 4, 0, "/cfm994"},                    // 25
    {"长书广播", "长书广播", Scheme::Mms, 4, 0, "/cfm1043"},                   // 26
    {"戏曲曲艺广播", "戏曲曲艺广播", Scheme::Mms, 4, 0, "/cfm1051"},           // 27
    {"欢乐时光广播", "欢乐时光广播", Scheme::Mms, 4, 0, "/cfm1065"},           // 28
    {"银河网络音乐台", "银河网络音乐台", Scheme::Mms, 5, 0, "/pop"},           // 29
    {"青檬音乐台", "青檬音乐台", Scheme::Mms, 6, 0, "/911pop?cccode=cc1276"},  // 30
    {"中国之声", "中国之声", Scheme::Mms, 7, 0, "/cnr001"},                    // 31
    {"美国之音中文广播", "美国之音中文广播", Scheme::Mms, 8, 0,
     "/D/1832/2110/v0001/reflector:51831"},                                          // 32
    {"江苏经典流行音乐", "江苏经典流行音乐", Scheme::Http, 9, 8000, "/channel975"},  // 33
    {"广东音乐之声", "广东音乐之声", Scheme::Mms, 10, 0, "/musicfm"},                // 34
    {"香港电台一台", "香港电台一台", Scheme::Mms, 11, 0, "/radio1"},                 // 35
    {"奇美古典音乐", "奇美古典音乐", Scheme::Mms, 12, 0, "/RA000014"},               // 36
    {"奇美古典音乐", "奇美古典音乐", Scheme::Mms, 12, 0, "/RA000014"},               // 37
    {"台北爱乐", "台北爱乐", Scheme::Mms, 12, 0, "/RA000018"},                       // 38
    {"法国国际中文广播", "法国国际中文广播", Scheme::Mms, 13, 0,
     "/D/291/33841/v0001/reflector:50290"},                                               // 39
    {"C86音乐电台", "C86音乐电台", Scheme::Mms, 14, 0, "/c86/"},                          // 40
    {"传奇世界网络电台", "传奇世界网络电台", Scheme::Mms, 15, 5556, "/chuanshi"},         // 41
    {"稻香村游戏电台", "稻香村游戏电台", Scheme::Mms, 16, 5556, "/jw"},                   // 42
    {"地铁0号线", "地铁0号线", Scheme::Mms, 17, 0, "/ch34"},                              // 43
    {"广东青少年网络电台", "广东青少年网络电台", Scheme::Mms, 18, 0, "/live"},            // 44
    {"黑皮驴声", "黑皮驴声", Scheme::Mms, 19, 8088, "/live"},                             // 45
    {"花开网络电台", "花开网络电台", Scheme::Mms, 20, 0, "/fradio"},                      // 46
    {"Ibox网络电台", "Ibox网络电台", Scheme::Http, 21, 0, "/play/good.asx"},              // 47
    {"积木音乐台", "积木音乐台", Scheme::Mms, 22, 0, "/live1"},                           // 48
    {"金酷网络电台", "金酷网络电台", Scheme::Mms, 23, 5556, "/jk"},                       // 49
    {"wradio口袋电台", "wradio口袋电台", Scheme::Mms, 24, 0, "/kzdt_new"},                // 50
    {"绿城网络电台", "绿城网络电台", Scheme::Http, 20, 0, "/voice"},                      // 51
    {"芒果Radio网络", "芒果Radio网络", Scheme::Mms, 25, 0, "/音乐"},                      // 52
    {"猫扑网络电台", "猫扑网络电台", Scheme::Mms, 26, 0, "/mopradio"},                    // 53
    {"青大在线网络电台", "青大在线网络电台", Scheme::Http, 27, 0, "/radio.asx"},          // 54
    {"热血电台", "热血电台", Scheme::Mms, 28, 5556, "/rexue"},                            // 55
    {"珊瑚虫之声", "珊瑚虫之声", Scheme::Mms, 29, 0, "/tingmx"},                          // 56
    {"声动调频网络电台", "声动调频网络电台", Scheme::Http, 30, 0, "/radio/001.asx"},      // 57
    {"完美音乐台", "完美音乐台", Scheme::Mms, 31, 5556, "/playradio"},                    // 58
    {"万象网络电台", "万象网络电台", Scheme::Mms, 32, 5556, "/wx"},                       // 59
    {"问道网络电台", "问道网络电台", Scheme::Mms, 33, 5556, "/wd"},                       // 60
    {"WOXY英文音乐台", "WOXY英文音乐台", Scheme::Http, 34, 0, "/stream/mpg128.asx"},      // 61
    {"中国校园之声", "中国校园之声", Scheme::Http, 35, 0, "/player/our/good.asx"},        // 62
    {"新浪游戏网络电台", "新浪游戏网络电台", Scheme::Mms, 36, 5556, "/sina"},             // 63
    {"萤火虫网络电台", "萤火虫网络电台", Scheme::Mms, 37, 1022, "/YHC-LIV"},              // 64
    {"中国游戏之声", "中国游戏之声", Scheme::Mms, 38, 0, "/5ting"},                       // 65
    {"经济之声", "经济之声", Scheme::Mms, 7, 0, "/cnr002"},                               // 66
    {"音乐之声", "音乐之声", Scheme::Mms, 7, 0, "/cnr003"},                               // 67
    {"都市之声", "都市之声", Scheme::Mms, 7, 0, "/cnr004"},                               // 68
    {"中华之声", "中华之声", Scheme::Mms, 7, 0, "/cnr005"},                               // 69
    {"神州之声", "神州之声", Scheme::Mms, 7, 0, "/cnr006"},                               // 70
    {"华夏之声", "华夏之声", Scheme::Mms, 7, 0, "/cnr007_p"},                             // 71
    {"华夏双语", "华夏双语", Scheme::Mms, 7, 0, "/cnr007_s"},                             // 72
    {"民族之声", "民族之声", Scheme::Mms, 7, 0, "/cnr008"},                               // 73
    {"文艺之声", "文艺之声", Scheme::Mms, 7, 0, "/cnr009"},                               // 74
    {"银河台", "银河台", Scheme::Mms, 7, 0, "/cnr014"},                                   // 75
    {"老年之声", "老年之声", Scheme::Mms, 7, 0, "/cnr011"},                               // 76
    {"藏语广播", "藏语广播", Scheme::Mms, 7, 0, "/cnr013"},                               // 77
    {"娱乐广播", "娱乐广播", Scheme::Mms, 7, 0, "/cnr015"},                               // 78
    {"CRI都市流行", "CRI都市流行", Scheme::Mms, 1, 0, "/pop"},                            // 79
    {"CRI写意民谣", "CRI写意民谣", Scheme::Mms, 1, 0, "/country"},                        // 80
    {"CRI客家之声", "CRI客家之声", Scheme::Mms, 1, 0, "/hakka"},                          // 81
    {"CRI闽南之音", "CRI闽南之音", Scheme::Mms, 1, 0, "/minnan"},                         // 82
    {"CRI巅峰体坛", "CRI巅峰体坛", Scheme::Mms, 1, 0, "/sports"},                         // 83
    {"CRI Office Radio", "CRI Office Radio", Scheme::Mms, 1, 0, "/office"},               // 84
    {"CRI环球资讯", "CRI环球资讯", Scheme::Mms, 39, 0, "/crinewsradio"},                  // 85
    {"CRI轻松调频", "CRI轻松调频", Scheme::Mms, 40, 0, "/fm91.5"},                        // 86
    {"CRI Hit Fm", "CRI Hit Fm", Scheme::Mms, 2, 0, "/fm887"},                            // 87
    {"CRI Music Mix", "CRI Music Mix", Scheme::Mms, 41, 0, "/chi/inet/ad090302001.wma"},  // 88
    {"CRI英语漫听电台", "CRI英语漫听电台", Scheme::Mms, 1, 0, "/english"},                // 89
    {"CRI Easy FM", "CRI Easy FM", Scheme::Mms, 42, 0, "/fm915"},                         // 90
    {"CRI Round the Clock", "CRI Round the Clock", Scheme::Mms, 42, 0, "/clock"},         // 91
    {"CRI Nairobi 91.9 FM", "CRI Nairobi 91.9 FM", Scheme::Mms, 42, 0, "/kenya"},         // 92
    {"CRI Vientiane 93.0 FM", "CRI Vientiane 93.0 FM", Scheme::Mms, 42, 0, "/lao"},       // 93
    {"CRI Perth 104.9FM", "CRI Perth 104.9FM", Scheme::Mms, 42, 0, "/aus"},               // 94
    {"CRI国际在线", "CRI国际在线", Scheme::Mms, 43, 0, "/chn"},                           // 95
    {"天津新闻广播", "天津新闻广播", Scheme::Mms, 44, 0, "/live1"},                       // 96
    {"天津音乐广播", "天津音乐广播", Scheme::Mms, 44, 0, "/live2"},                       // 97
    {"天津经济广播", "天津经济广播", Scheme::Mms, 44, 0, "/live3"},                       // 98
    {"天津文艺广播", "天津文艺广播", Scheme::Mms, 44, 0, "/live4"},                       // 99
    {"天津交通广播", "天津交通广播", Scheme::Mms, 44, 0, "/live5"},                       // 100
    {"天津生活广播", "天津生活广播", Scheme::Mms, 44, 0, "/live6"},                       // 101
    {"天津滨海广播", "天津滨海广播", Scheme::Mms, 45, 0, "/live7"},                       // 102
    {"天津小说广播", "天津小说广播", Scheme::Mms, 44, 0, "/live8"},                       // 103
    {"天津相声广播", "天津相声广播", Scheme::Mms, 44, 0, "/live9"},                       // 104
    {"天津相声广播", "天津相声广播", Scheme::Mms, 44, 0, "/live9"},                       // 105
    {"天津区县广播", "天津区县广播", Scheme::Mms, 44, 0, "/live11"},                      // 106
    {"天津新闻中波", "天津新闻中波", Scheme::Mms, 44, 0, "/live12"},                      // 107
    {"天津音乐中波", "天津音乐中波", Scheme::Mms, 44, 0, "/live13"},                      // 108
    {"天津戏曲广播", "天津戏曲广播", Scheme::Mms, 12, 0, "/RA000018"},                    // 109
    {"广东新闻频道", "广东新闻频道", Scheme::Mms, 46, 0, "/914"},                         // 110
    {"广东音乐之声", "广东音乐之声", Scheme::Mms, 10, 0, "/musicfm"},                     // 111
    {"广东卫星广播", "广东卫星广播", Scheme::Mms, 46, 0, "/914"},                         // 112
    {"广东南粤之声", "广东南粤之声", Scheme::Mms, 46, 0, "/1057"},                        // 113
    {"广东南方生活", "广东南方生活", Scheme::Mms, 46, 0, "/936"},                         // 114
    {"广东文体广播", "广东文体广播", Scheme::Mms, 46, 0, "/1077"},                        // 115
    {"广东城市之声", "广东城市之声", Scheme::Mms, 47, 0, "/liveaudio"},                   // 116
    {"宝安广播缤纷", "宝安广播缤纷", Scheme::Mms, 48, 8080, "/live"},                     // 117
    {"宝安广播流连", "宝安广播流连", Scheme::Mms, 49, 8080, "/live"},                     // 118
    {"广州汽车音乐电台", "广州汽车音乐电台", Scheme::Mms, 50, 0, "/fm1027"},              // 119
}};

}  // namespace sonaro::core
