// Texts shown by the catalog open.
#pragma once

namespace tollamer {

inline constexpr char kSystemIndexDamagedMessage[] =
    "系统表索引出错，需扫描整个文件，请耐心等待！";
inline constexpr char kPageOwnerConflictMessage[] =
    "SQL 2005 m_objId 错误,将不能执行“扫描文件,提取所有表数据！”";

}  // namespace tollamer
