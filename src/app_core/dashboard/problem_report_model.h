#pragma once
// The problem-report sheet without any toolkit: its fixed Thai texts, the
// form's state (note, contact, saved line, error line, sending, the report
// identifier once sent) and what its buttons do. It never keeps a report:
// the preview, the size, a saved file and an upload are separate builds,
// each with its own identifier. An upload's answer that comes after the
// sheet has gone does nothing.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app_core/dashboard/problem_report_texts.h"
#include "engine/engine_context.h"
#include "engine/reporting.h"

namespace tessa {

class ProblemReportModel : public ProblemReportTexts, public std::enable_shared_from_this<ProblemReportModel> {
 public:
  static constexpr const char* kSuggestedFileName = "tessavinor-problem-report.json";

  // Each build reads the engine through `reports`; reports go to `endpoint`
  // (the stability-report endpoint by default).
  static std::shared_ptr<ProblemReportModel> create(EngineReports reports, EngineContext context,
                                                    std::string endpoint = {});

  // "ส่ง: …" with the report's limits in it.
  static std::string sentLine();
  // Bytes as kilobytes with one decimal: 2048 → "2.0", 1000 → "1.0".
  static std::string kilobytes(size_t bytes);
  // "ส่งไม่สำเร็จ: " + why + the hint that the file can still be saved.
  static std::string sendFailedText(const std::string& description);

  // A fresh build with the current note and contact, pretty-printed.
  std::string reportJSON() const;
  std::string payloadSizeKB() const;
  // "ดูข้อมูลทั้งหมดที่จะส่ง (… KB)"
  std::string disclosureLabel() const;

  const std::string& note() const { return note_; }
  const std::string& contact() const { return contact_; }
  void setNote(std::string note);
  void setContact(std::string contact);
  bool showPayload() const { return showPayload_; }
  void setShowPayload(bool shown);

  // Saving: the sheet asks where, then hands the place here. A fresh report
  // is written atomically; a failure clears the saved line and shows why.
  bool canSave() const { return !isSubmitting_; }
  void saveTo(const std::filesystem::path& path);
  const std::optional<std::string>& savedPath() const { return savedPath_; }
  std::optional<std::string> savedLine() const;
  const std::optional<std::string>& saveError() const { return saveError_; }

  // Sending. Answers false (and does nothing) while a send is in flight.
  bool submit();
  bool isSubmitting() const { return isSubmitting_; }
  const std::optional<std::string>& submittedReportID() const { return submittedReportID_; }
  const std::optional<std::string>& submitError() const { return submitError_; }

  // Puts the identifier on the pasteboard through `write`; the copy mark
  // stays for the life of the sheet.
  void copyReportID(const std::function<void(const std::string&)>& write);
  bool isCopied() const { return isCopied_; }
  void openPrivacyPolicy();

  const std::string& endpoint() const { return endpoint_; }
  // Runs after every change of state.
  std::function<void()> onChange;

 private:
  ProblemReportModel(EngineReports reports, EngineContext context, std::string endpoint);
  void changed();

  EngineReports reports_;
  EngineContext context_;
  std::string endpoint_;
  std::string note_;
  std::string contact_;
  bool showPayload_ = false;
  std::optional<std::string> savedPath_;
  std::optional<std::string> saveError_;
  bool isSubmitting_ = false;
  std::optional<std::string> submittedReportID_;
  std::optional<std::string> submitError_;
  bool isCopied_ = false;
};

}  // namespace tessa
