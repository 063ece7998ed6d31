#include "app/standard_texts.h"

#include <cstring>

namespace tollamer::app {

namespace {

struct Text {
  const char* context;  // null: any context
  const char* source;
  const char* chinese;
};

constexpr Text kTexts[] = {
    // Standard buttons.
    {"QPlatformTheme", "OK", "确定"},
    {"QPlatformTheme", "Cancel", "取消"},
    {"QPlatformTheme", "Open", "打开"},
    {"QPlatformTheme", "Save", "保存"},
    {"QPlatformTheme", "Save All", "全部保存"},
    {"QPlatformTheme", "Close", "关闭"},
    {"QPlatformTheme", "Apply", "应用"},
    {"QPlatformTheme", "Reset", "重置"},
    {"QPlatformTheme", "Help", "帮助"},
    {"QPlatformTheme", "Discard", "放弃"},
    {"QPlatformTheme", "&Yes", "是(&Y)"},
    {"QPlatformTheme", "Yes to &All", "全部是(&A)"},
    {"QPlatformTheme", "&No", "否(&N)"},
    {"QPlatformTheme", "N&o to All", "全部否(&O)"},
    {"QPlatformTheme", "Abort", "中止"},
    {"QPlatformTheme", "Retry", "重试"},
    {"QPlatformTheme", "Ignore", "忽略"},
    {"QPlatformTheme", "Restore Defaults", "恢复默认值"},
    {"QMessageBox", "Show Details...", "显示详细信息..."},
    {"QMessageBox", "Hide Details...", "隐藏详细信息..."},
    // The file dialog.
    {"QFileDialog", "Look in:", "查找范围:"},
    {"QFileDialog", "File &name:", "文件名(&N):"},
    {"QFileDialog", "Files of type:", "文件类型:"},
    {"QFileDialog", "&Open", "打开(&O)"},
    {"QFileDialog", "&Save", "保存(&S)"},
    {"QFileDialog", "&Choose", "选择(&C)"},
    {"QFileDialog", "Directory:", "目录:"},
    {"QFileDialog", "Back", "后退"},
    {"QFileDialog", "Forward", "前进"},
    {"QFileDialog", "Parent Directory", "上一级目录"},
    {"QFileDialog", "Create New Folder", "新建文件夹"},
    {"QFileDialog", "List View", "列表"},
    {"QFileDialog", "Detail View", "详细信息"},
    {"QFileDialog", "New Folder", "新建文件夹"},
    {"QFileDialog", "All Files (*)", "所有文件 (*)"},
    {"QFileDialog", "Directories", "文件夹"},
    {"QFileSystemModel", "Name", "名称"},
    {"QFileSystemModel", "Size", "大小"},
    {"QFileSystemModel", "Type", "类型"},
    {"QFileSystemModel", "Kind", "类型"},
    {"QFileSystemModel", "Date Modified", "修改日期"},
    {"QFileSystemModel", "My Computer", "计算机"},
    {"QFileSystemModel", "Computer", "计算机"},
    {"QFileSystemModel", "Folder", "文件夹"},
    // Edit menus of text fields.
    {nullptr, "&Undo", "撤销(&U)"},
    {nullptr, "&Redo", "重做(&R)"},
    {nullptr, "Cu&t", "剪切(&T)"},
    {nullptr, "&Copy", "复制(&C)"},
    {nullptr, "&Paste", "粘贴(&P)"},
    {nullptr, "Delete", "删除"},
    {nullptr, "Select All", "全选"},
    {nullptr, "Copy &Link Location", "复制链接地址(&L)"},
};

}  // namespace

QString StandardTextsTranslator::translate(const char* context, const char* source_text,
                                           const char*, int) const {
  if (!context || !source_text) return {};
  for (const Text& t : kTexts) {
    if (t.context && std::strcmp(t.context, context) != 0) continue;
    if (!t.context && std::strcmp(context, "QLineEdit") != 0 &&
        std::strcmp(context, "QWidgetTextControl") != 0)
      continue;
    if (std::strcmp(t.source, source_text) == 0) return QString::fromUtf8(t.chinese);
  }
  return {};
}

}  // namespace tollamer::app
