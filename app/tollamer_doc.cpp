#include "app/tollamer_doc.h"

#include <QThread>

#include "output/open_log.h"

namespace tollamer::app {

namespace {
// Deleted rows kept per table for the tree's node (the export gives them all).
constexpr size_t kDeletedRowsShown = 2000;
}  // namespace

const char* OpenFailureMessage(platform::OpenError error) {
  switch (error) {
    case platform::OpenError::kNotFound: return kFileMissingMessage;
    case platform::OpenError::kNotRegularFile: return kNotAFileMessage;
    case platform::OpenError::kAccessDenied: return kNoReadPermissionMessage;
    case platform::OpenError::kInUse: return kFileInUseMessage;
    case platform::OpenError::kNone:
    case platform::OpenError::kOther: break;
  }
  return kFileReadErrorMessage;
}

CTollamerDoc::CTollamerDoc(EngineMessages& messages, WorkLog& log, CatalogBuilder builder,
                           QObject* parent)
    : QObject(parent), engine_(messages), log_(log), builder_(std::move(builder)) {}

CTollamerDoc::~CTollamerDoc() { WaitForWorker(); }

OpenStatus CTollamerDoc::BeginOpen(const DatabaseFiles& files, VersionGuess* detected) {
  busy_ = true;
  deleted_.clear();
  if (engine_.IsOpen()) engine_.Teardown();
  path_ = files.paths.empty() ? QString() : QString::fromStdString(files.paths.front());
  AppendRepairStart(log_, files.Label(), LocalTimeNow(), [](std::chrono::milliseconds ms) {
    QThread::msleep(static_cast<unsigned long>(ms.count()));
  });
  status_ = OpenDataFile(engine_, files);
  if (status_ == OpenStatus::kCannotOpen && (engine_.Store().Refusal() == OpenRefusal::kNotTogether ||
                                             engine_.Store().Refusal() == OpenRefusal::kNoSuchBackupSet))
    log_.AppendEntry("Cannot open the files: " + engine_.Store().LastError());
  if (status_ == OpenStatus::kOpened)
    ChooseVersion(VersionRequest{}, engine_.Store(), detected);
  return status_;
}

void CTollamerDoc::StartOpenWorker(VersionSetting setting) {
  WaitForWorker();
  worker_ = QThread::create([this, setting] {
    if (status_ != OpenStatus::kOpened) {
      // A backup whose page data is not found has said so already.
      const OpenRefusal refusal = engine_.Store().Refusal();
      if (status_ == OpenStatus::kNotDataFile)
        engine_.Messages().ShowStop(kNotADataFileMessage);
      else if (refusal == OpenRefusal::kSecondaryFile)
        engine_.Messages().ShowStop(kSecondaryFileMessage);
      else if (refusal == OpenRefusal::kBackupCompressed || refusal == OpenRefusal::kBackupEncrypted)
        engine_.Messages().ShowStop(kCompressedBackupMessage);
      else if (refusal == OpenRefusal::kNotTogether)
        engine_.Messages().ShowStop(kFilesNotTogetherMessage);
      else if (refusal == OpenRefusal::kNoSuchBackupSet)
        engine_.Messages().ShowStop(kNoSuchBackupSetMessage);
      else if (refusal == OpenRefusal::kNone)
        engine_.Messages().ShowStop(OpenFailureMessage(engine_.Store().LastOpenError()));
      if (engine_.IsOpen()) engine_.Teardown();
      busy_ = false;
      QMetaObject::invokeMethod(this, [this] { emit openFinished(false); }, Qt::QueuedConnection);
      return;
    }
    if (builder_ && setting != VersionSetting::kNone) builder_(engine_, setting);
    deleted_ = CollectDeletedRows(engine_, setting, kDeletedRowsShown);
    AppendFileLayout(log_, engine_.Store());
    AppendPageChecks(log_, engine_.Store());
    AppendCatalogSummary(log_, engine_.catalog);
    busy_ = false;
    QMetaObject::invokeMethod(this, [this] { emit openFinished(true); }, Qt::QueuedConnection);
  });
  worker_->start();
}

void CTollamerDoc::Close() {
  deleted_.clear();
  if (engine_.IsOpen()) engine_.Teardown();
}

void CTollamerDoc::WaitForWorker() {
  if (!worker_) return;
  worker_->wait();
  delete worker_;
  worker_ = nullptr;
}

}  // namespace tollamer::app
