// CTollamerDoc: owns the engine object of the one opened file and runs the
// open on a worker thread: engine open, catalog build of the chosen version,
// the work log lines. The user-interface half (tree, commands) follows when
// openFinished arrives on the user-interface thread.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

#include "app/deleted_rows_node.h"
#include "engine/catalog/mdf_database.h"
#include "output/open_database.h"
#include "output/work_log.h"

namespace tollamer::app {

// Why a file could not be opened, as the message box says it.
inline constexpr char kFileInUseMessage[] = "文件被其他软件占用！";
inline constexpr char kFileMissingMessage[] = "文件不存在！";
inline constexpr char kNotAFileMessage[] = "不是文件！";
inline constexpr char kNoReadPermissionMessage[] = "没有读取文件的权限！";
inline constexpr char kFileReadErrorMessage[] = "文件读取错误！";
inline constexpr char kSecondaryFileMessage[] = "这是数据库的辅助数据文件（.ndf），请打开主数据文件（.mdf）！";
inline constexpr char kCompressedBackupMessage[] = "备份文件已压缩或加密，无法读取！";
inline constexpr char kNotADataFileMessage[] = "不是 SQL Server 数据文件或备份文件！";
inline constexpr char kFilesNotTogetherMessage[] = "所选文件不属于同一个数据库（工作日志说明原因）！";
inline constexpr char kNoSuchBackupSetMessage[] = "备份文件中没有所选的备份集！";

// The message for an open that failed with `error`.
const char* OpenFailureMessage(platform::OpenError error);

class CTollamerDoc : public QObject {
  Q_OBJECT
 public:
  // Builds the catalog of the chosen version into the engine.
  using CatalogBuilder = std::function<void(CMdfDatabase&, VersionSetting)>;

  CTollamerDoc(EngineMessages& messages, WorkLog& log, CatalogBuilder builder,
               QObject* parent = nullptr);
  ~CTollamerDoc() override;

  // Steps before the worker: teardown, the report header, the file opened
  // and recognised, and what its pages say about the server version. Then
  // the caller asks for the version (when the file opened) and calls
  // StartOpenWorker, which reports a failed open.
  OpenStatus BeginOpen(const DatabaseFiles& files, VersionGuess* detected);
  OpenStatus BeginOpen(const QString& path, VersionGuess* detected) {
    return BeginOpen(DatabaseFiles{{path.toStdString()}, {}}, detected);
  }
  void StartOpenWorker(VersionSetting setting);
  // Tears the catalog down and closes the file.
  void Close();

  // True from BeginOpen until openFinished: nothing else may touch the engine.
  bool IsBusy() const { return busy_; }
  CMdfDatabase& Engine() { return engine_; }
  const QString& FilePath() const { return path_; }
  // The deleted rows of the opened file's tables, read by the open worker.
  const DeletedRowsByTable& DeletedRows() const { return deleted_; }
  // Waits for a running worker (program exit).
  void WaitForWorker();

 signals:
  // On the user-interface thread; ok = false when the file could not be opened.
  void openFinished(bool ok);

 private:
  CMdfDatabase engine_;
  WorkLog& log_;
  CatalogBuilder builder_;
  QString path_;
  OpenStatus status_ = OpenStatus::kCannotOpen;
  DeletedRowsByTable deleted_;
  std::atomic<bool> busy_{false};
  class QThread* worker_ = nullptr;
};

}  // namespace tollamer::app
