#include "app_core/dashboard/problem_report_model.h"

#include <fmt/format.h>

#include "base/endpoints.h"
#include "base/files.h"
#include "platform/platform.h"

namespace tessa {

std::shared_ptr<ProblemReportModel> ProblemReportModel::create(EngineReports reports, EngineContext context,
                                                               std::string endpoint) {
  if (endpoint.empty()) endpoint = Endpoints::stabilityReport();
  return std::shared_ptr<ProblemReportModel>(
      new ProblemReportModel(std::move(reports), std::move(context), std::move(endpoint)));
}

ProblemReportModel::ProblemReportModel(EngineReports reports, EngineContext context, std::string endpoint)
    : reports_(std::move(reports)), context_(std::move(context)), endpoint_(std::move(endpoint)) {}

std::string ProblemReportModel::sentLine() {
  return fmt::format(kSentLineFormat, StabilityReport::kMaxEvents, StabilityReport::kStatsDays);
}

std::string ProblemReportModel::kilobytes(size_t bytes) {
  return fmt::format("{:.1f}", static_cast<double>(bytes) / 1024.0);
}

std::string ProblemReportModel::sendFailedText(const std::string& description) {
  return std::string(kSendFailedPrefix) + description + kSendFailedHintPrefix + kSaveButton + kSendFailedHintSuffix;
}

std::string ProblemReportModel::reportJSON() const {
  return StabilityReport::previewJSON(reports_.stabilityReport(), note_, contact_);
}

std::string ProblemReportModel::payloadSizeKB() const { return kilobytes(reportJSON().size()); }

std::string ProblemReportModel::disclosureLabel() const {
  return kDisclosurePrefix + payloadSizeKB() + " KB)";
}

void ProblemReportModel::changed() {
  if (onChange) onChange();
}

void ProblemReportModel::setNote(std::string note) {
  if (note == note_) return;
  note_ = std::move(note);
  changed();
}

void ProblemReportModel::setContact(std::string contact) {
  if (contact == contact_) return;
  contact_ = std::move(contact);
  changed();
}

void ProblemReportModel::setShowPayload(bool shown) {
  if (shown == showPayload_) return;
  showPayload_ = shown;
  changed();
}

std::optional<std::string> ProblemReportModel::savedLine() const {
  if (!savedPath_) return std::nullopt;
  return kSavedPrefix + *savedPath_;
}

void ProblemReportModel::saveTo(const std::filesystem::path& path) {
  if (!canSave()) return;
  WriteResult written = writeFileAtomically(path, reportJSON(), 0600);
  if (written) {
    savedPath_ = path.string();
    saveError_.reset();
  } else {
    // A stale "saved" line would read as if this save had worked.
    savedPath_.reset();
    saveError_ = kSaveFailedPrefix + written.error;
    context_.log("Problem report: saving failed - " + written.error);
  }
  changed();
}

bool ProblemReportModel::submit() {
  if (isSubmitting_) return false;
  isSubmitting_ = true;
  submitError_.reset();
  changed();
  StabilityReport report = StabilityReport::make(reports_.stabilityReport(), note_, contact_);
  std::weak_ptr<ProblemReportModel> weak = weak_from_this();
  StabilityReport::submit(reports_.uploadEnvironment(), report, endpoint_, [weak](StabilityReport::Result result) {
    auto self = weak.lock();
    if (!self) return;  // the sheet was closed meanwhile
    self->isSubmitting_ = false;
    if (auto* id = std::get_if<std::string>(&result)) {
      self->submittedReportID_ = *id;
    } else {
      self->submitError_ = sendFailedText(std::get<StabilityReportError>(result).description);
    }
    self->changed();
  });
  return true;
}

void ProblemReportModel::copyReportID(const std::function<void(const std::string&)>& write) {
  if (!submittedReportID_) return;
  if (write) write(*submittedReportID_);
  isCopied_ = true;
  changed();
}

void ProblemReportModel::openPrivacyPolicy() {
  if (Workspace* workspace = context_.platform.workspace) workspace->openURL(Endpoints::privacyPage());
}

}  // namespace tessa
