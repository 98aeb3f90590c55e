// Fixed texts of the attendance pages, as GB2312 bytes (the pages are GB2312).
// The Unicode text of each is in the comment beside it.
#pragma once

namespace tl::report::gb {

inline constexpr char kPunchList[] = "\xc1\xf7\xcb\xae\xbc\xcd\xc2\xbc";   // 流水纪录
inline constexpr char kExceptions[] = "\xbf\xbc\xc7\xda\xd2\xec\xb3\xa3";  // 考勤异常
inline constexpr char kStatistics[] = "\xbf\xbc\xc7\xda\xcd\xb3\xbc\xc6";  // 考勤统计
inline constexpr char kDate[] = "\xc8\xd5\xc6\xda";                        // 日期
inline constexpr char kTo[] = "\xd6\xc1";                                  // 至
inline constexpr char kUserNo[] = "\xb9\xa4\xba\xc5";                      // 工号
inline constexpr char kName[] = "\xd0\xd5\xc3\xfb";                        // 姓名
inline constexpr char kDept[] = "\xb2\xbf\xc3\xc5";                        // 部门
inline constexpr char kShift[] = "\xb0\xe0\xb4\xce";                       // 班次
inline constexpr char kOnDuty[] = "\xc9\xcf\xb0\xe0\xca\xb1\xbc\xe4";      // 上班时间
inline constexpr char kSignIn[] = "\xc7\xa9\xb5\xbd\xca\xb1\xbc\xe4";      // 签到时间
inline constexpr char kException[] = "\xd2\xec\xb3\xa3";                   // 异常
inline constexpr char kWorkTime[] = "\xb9\xa4\xd7\xf7\xca\xb1\xb3\xa4";    // 工作时长
inline constexpr char kOvertime[] = "\xbc\xd3\xb0\xe0";                    // 加班
inline constexpr char kLeave[] = "\xc7\xeb\xbc\xd9";                       // 请假
inline constexpr char kOther[] = "\xc6\xe4\xcb\xfc";                       // 其它
inline constexpr char kNotSet[] = "\xce\xb4\xc9\xe8\xb6\xa8";              // 未设定
inline constexpr char kAbsent[] = "\xbf\xf5\xb9\xa4";                      // 旷工
inline constexpr char kLate[] = "\xb3\xd9\xb5\xbd";                        // 迟到
inline constexpr char kEarly[] = "\xd4\xe7\xcd\xcb";                       // 早退
inline constexpr char kExpected[] = "\xd3\xa6\xb5\xbd";                    // 应到
inline constexpr char kAttended[] = "\xca\xb5\xb5\xbd";                    // 实到
inline constexpr char kUnitCount[] = "\xb4\xce";                           // 次
inline constexpr char kUnitMinutes[] = "\xb7\xd6\xd6\xd3";                 // 分钟
inline constexpr char kUnitHours[] = "\xd0\xa1\xca\xb1";                   // 小时
inline constexpr char kUnitDays[] = "\xcc\xec";                            // 天
inline constexpr char kIdeoSpace[] = "\xa1\xa1";                           // U+3000

}  // namespace tl::report::gb
