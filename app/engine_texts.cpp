#include "app/engine_texts.h"

#include "output/data_outcome.h"
#include "platform/file.h"

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

std::string TableReasonText(const std::string& error) {
  if (error == kNoColumnsError) return "列定义已丢失";
  if (error == kNoDataPagesError) return "未找到数据页（页已丢失或损坏）";
  if (error == kNotInCatalogError) return "系统表中没有此表";
  if (error == kCancelledError) return "已取消";
  if (error == kNoFileNameError) return "表名不能用作文件名";
  if (error.find(platform::kOutputIsInputText) != std::string::npos) return "输出文件不能是输入文件";
  const std::string write_failed = kWriteFailedError;
  if (error.rfind(write_failed, 0) == 0) return "写入失败：" + error.substr(write_failed.size());
  return "失败：" + error;
}

std::string TableOutcomeText(const TableDataResult& r) {
  std::string text;
  switch (OutcomeOf(r)) {
    case TableOutcome::kComplete: break;
    case TableOutcome::kShort:
      text = "恢复 " + std::to_string(r.stats.rows) + " 行，系统表记录 " +
             std::to_string(r.catalogRows) + " 行";
      break;
    case TableOutcome::kSkipped: text = "已跳过（" + TableReasonText(r.error) + "）"; break;
    case TableOutcome::kFailed: text = TableReasonText(r.error); break;
    case TableOutcome::kInferred: text = "列定义已丢失，记录以原始字节写入占位列"; break;
  }
  if (r.stats.pagesSkipped)
    text += (text.empty() ? "" : "；") + std::to_string(r.stats.pagesSkipped) + " 页无法读取";
  if (text.empty()) return {};
  return (r.tableName.empty() ? std::to_string(r.tableId) : r.tableName) + ": " + text;
}

void AppendTableOutcomes(WorkLog& log, const std::vector<TableDataResult>& results) {
  const DataOutcome outcome = SummarizeOutcome(results);
  if (outcome.Complete()) return;
  for (const TableDataResult& r : results)
    if (std::string line = TableOutcomeText(r); !line.empty()) log.AppendEntry(line);
  log.AppendEntry("未完成：" + std::to_string(outcome.shortTables) + " 个表行数不足，" +
                  std::to_string(outcome.inferred) + " 个表无列定义，" +
                  std::to_string(outcome.skipped) + " 个表跳过，" + std::to_string(outcome.failed) +
                  " 个表失败");
}

std::string EmptyGridText(bool columns_known, std::optional<uint64_t> catalog_rows,
                          size_t data_pages) {
  const std::string counted =
      catalog_rows ? "系统表记录此表有 " + std::to_string(*catalog_rows) + " 行，" : "此表的行数未知，";
  if (!columns_known) return counted + "但列定义已丢失，无法解码记录。";
  if (data_pages == 0)
    return counted + "但未找到它的数据页（页已丢失或损坏）。可在对象树的右键菜单中试“扫描文件,提取所有表数据”。";
  return counted + "但它的 " + std::to_string(data_pages) + " 个数据页中没有可读的记录（页已损坏）。";
}

}  // namespace tollamer::app
