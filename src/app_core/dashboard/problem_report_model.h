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

namespace tessa {

class KeyboardEngine;

class ProblemReportModel : public std::enable_shared_from_this<ProblemReportModel> {
 public:
  // [design] The sheet is not translated: every text is Thai in every language.
  static constexpr const char* kTitle = "รายงานปัญหาให้ทีมพัฒนา";
  static constexpr const char* kSubtitle = "ประกอบขึ้นตอนคุณกดเท่านั้น · ไม่มีการส่งอัตโนมัติ";
  static constexpr const char* kCloseName = "ปิด";
  static constexpr const char* kNotSentLine =
      "ไม่ส่ง: สิ่งที่คุณพิมพ์ · ชื่อ · อีเมล (เว้นแต่คุณกรอกเอง) · รหัสประจำเครื่อง · ตำแหน่งไฟล์ · ภูมิภาค · "
      "รายชื่อแอปที่ไม่รู้จัก";
  static constexpr const char* kNoteTitle = "เล่าสิ่งที่เกิดขึ้น (ไม่บังคับ)";
  static constexpr const char* kNotePlaceholder = "เช่น: เปิดฝาแล้วแก้คำไม่ทำงาน";
  static constexpr const char* kNoteHint = "ข้อความนี้ไปกับรายงานตามที่พิมพ์ · อย่าใส่รหัสผ่านหรือข้อมูลส่วนตัว";
  static constexpr const char* kContactTitle = "อีเมลสำหรับติดต่อกลับ (ไม่บังคับ)";
  static constexpr const char* kPrivacyButton = "นโยบายความเป็นส่วนตัว…";
  static constexpr const char* kSaveButton = "บันทึกเป็นไฟล์";
  static constexpr const char* kSendButton = "ส่งรายงาน";
  static constexpr const char* kSavedPrefix = "บันทึกแล้ว: ";
  static constexpr const char* kSaveFailedPrefix = "บันทึกไม่สำเร็จ: ";  // [ours]
  static constexpr const char* kSendFailedPrefix = "ส่งไม่สำเร็จ: ";
  static constexpr const char* kSuccessTitle = "ส่งรายงานปัญหาสำเร็จ";
  static constexpr const char* kReportIdCaption = "รหัสรายงานของคุณ (Report ID):";
  static constexpr const char* kCopyTooltip = "คัดลอกรหัสรายงาน";
  static constexpr const char* kRetentionNote =
      "ข้อมูลจะถูกเก็บเป็นเวลา 90 วันและลบอัตโนมัติ คุณสามารถนำรหัสนี้ไปอ้างอิงกับทีมพัฒนา "
      "หรือใช้สั่งลบข้อมูลได้ทันทีที่หน้านโยบายความเป็นส่วนตัว";
  static constexpr const char* kOpenPrivacyLink = "เปิดหน้านโยบายความเป็นส่วนตัว";
  static constexpr const char* kDoneButton = "เสร็จสิ้น";
  static constexpr const char* kSuggestedFileName = "tessavinor-problem-report.json";

  // Reports go to `endpoint` (the stability-report endpoint by default).
  static std::shared_ptr<ProblemReportModel> create(KeyboardEngine& engine, std::string endpoint = {});

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
  ProblemReportModel(KeyboardEngine& engine, std::string endpoint);
  void changed();

  KeyboardEngine& engine_;
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
