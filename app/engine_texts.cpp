#include "app/engine_texts.h"

namespace tollamer::app {

const char* NoticeText(EngineNotice notice) {
  switch (notice) {
    case EngineNotice::kBackupFormatUnknown: return "备份文件格式读取错误！";
    case EngineNotice::kSystemIndexDamaged: return "系统表索引出错，需扫描整个文件，请耐心等待！";
    case EngineNotice::kPageOwnerConflict:
      return "SQL 2005 m_objId 错误,将不能执行“扫描文件,提取所有表数据！”";
    case EngineNotice::kCompressedPageUnreadable: return "压缩页判断错误";
    case EngineNotice::kLongRegionMissing: return "长数据区定位错误";
    case EngineNotice::kFileOpenFailed: return "打开文件出错";
    case EngineNotice::kBackupOpenFailed: return "bak 文件打开失败！";
    case EngineNotice::kOutputIsInput: return "输出文件不能是输入文件！";
    case EngineNotice::kDataFileCreateFailed: return "mdf 文件创建失败！";
    case EngineNotice::kDataFileWriteFailed: return "mdf 文件写入失败！";
    case EngineNotice::kNoPagesInBackup: return "bak 文件中没有找到数据页！";
    case EngineNotice::kClusterSizeZero: return "簇大小不能为 0！";
    case EngineNotice::kVolumeBitmapUnreadable: return "Bitmap 错误";
    case EngineNotice::kFatUnreadable: return "fat table err";
    case EngineNotice::kFolderMissing: return "路径不存在！";
  }
  return "";
}

const char* QuestionText(EngineQuestion question) {
  switch (question) {
    case EngineQuestion::kScanFileForTable: return "表索引出错，需扫描整个文件，请耐心等待！";
  }
  return "";
}

}  // namespace tollamer::app
