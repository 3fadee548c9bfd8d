#include "app_core/dashboard/feature_demo.h"

namespace tessa {

const std::vector<FeatureDemo>& allFeatureDemos() {
  static const std::vector<FeatureDemo> all = {FeatureDemo::smartCorrection, FeatureDemo::undoRedo,
                                               FeatureDemo::cycleLanguage, FeatureDemo::confirmSuggestion,
                                               FeatureDemo::whitelist};
  return all;
}

std::string FeatureDemoInfo::title(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return "ระบบซ่อมคำอัตโนมัติ";
    case FeatureDemo::undoRedo: return "ยกเลิก / แปลงกลับ";
    case FeatureDemo::cycleLanguage: return "สลับภาษาถัดไป";
    case FeatureDemo::confirmSuggestion: return "ยืนยันคำแนะนำ";
    case FeatureDemo::whitelist: return "จำคำนี้ไว้";
  }
  return {};
}

std::string FeatureDemoInfo::hotkeyLabel(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return "พิมพ์ปกติ";
    case FeatureDemo::undoRedo: return "Ctrl Shift Z";
    case FeatureDemo::cycleLanguage: return "Ctrl Shift X";
    case FeatureDemo::confirmSuggestion: return "Ctrl Shift O";
    case FeatureDemo::whitelist: return "Ctrl Shift A";
  }
  return {};
}

std::vector<std::string> FeatureDemoInfo::hotkeyCaps(FeatureDemo demo) {
  std::vector<std::string> caps;
  const std::string label = hotkeyLabel(demo);
  size_t start = 0;
  while (true) {
    size_t space = label.find(' ', start);
    caps.push_back(label.substr(start, space == std::string::npos ? std::string::npos : space - start));
    if (space == std::string::npos) break;
    start = space + 1;
  }
  return caps;
}

DemoColor FeatureDemoInfo::accentColor(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return DemoColor::green;
    case FeatureDemo::undoRedo: return DemoColor::orange;
    case FeatureDemo::cycleLanguage: return DemoColor::cyan;
    case FeatureDemo::confirmSuggestion: return DemoColor::green;
    case FeatureDemo::whitelist: return DemoColor::blue;
  }
  return DemoColor::white;
}

std::string FeatureDemoInfo::hint(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return "Ctrl+Shift+Z ยกเลิก · Ctrl+Shift+A จำคำ";
    case FeatureDemo::undoRedo: return "กด Ctrl+Shift+Z อีกครั้งเพื่อแปลงกลับ (Toggle)";
    case FeatureDemo::cycleLanguage: return "กดซ้ำเพื่อสลับภาษาถัดไป";
    case FeatureDemo::confirmSuggestion: return "Esc ยกเลิก (ถ้ายังไม่กด)";
    case FeatureDemo::whitelist: return "ลบออกได้ที่แท็บคลังคำศัพท์ ⓧ";
  }
  return {};
}

std::string FeatureDemoInfo::summary(FeatureDemo demo) {
  switch (demo) {
    case FeatureDemo::smartCorrection: return "แอนิเมชันจำลอง: พิมพ์ uหำพ แล้วแปลงเป็น user อัตโนมัติ";
    case FeatureDemo::undoRedo: return "แอนิเมชันจำลอง: กด Ctrl+Shift+Z เพื่อย้อนกลับจาก user เป็น uหำพ";
    case FeatureDemo::cycleLanguage: return "แอนิเมชันจำลอง: กด Ctrl+Shift+X เพื่อสลับแป้นพิมพ์จาก ้ำสสน เป็น hello";
    case FeatureDemo::confirmSuggestion: return "แอนิเมชันจำลอง: กด Ctrl+Shift+O เพื่อยืนยันคำแนะนำ";
    case FeatureDemo::whitelist: return "แอนิเมชันจำลอง: กด Ctrl+Shift+A เพื่อจำคำเข้าคลังคำศัพท์";
  }
  return {};
}

std::vector<DemoStep> FeatureDemoInfo::scriptLines(FeatureDemo demo) {
  using C = DemoColor;
  switch (demo) {
    case FeatureDemo::smartCorrection:
      return {{"u", C::white, ""},         {"uห", C::white, ""},
              {"uหำ", C::white, ""},       {"uหำพ", C::white, ""},
              {"uหำพ ", C::yellow, "กำลังตรวจสอบ..."}, {"user", C::green, "✅ แปลงสำเร็จ"}};
    case FeatureDemo::undoRedo:
      return {{"user ✅", C::green, "แปลงคำแล้ว"},
              {"user ✅", C::orange, "⚡️ กด Ctrl+Shift+Z"},
              {"uหำพ", C::orange, "↩️ ย้อนกลับเป็นคำเดิมแล้ว"}};
    case FeatureDemo::cycleLanguage:
      return {{"้ำสสน", C::white, "ตั้งใจพิมพ์ hello แต่ลืมสลับเป็นภาษาอังกฤษ"},
              {"้ำสสน", C::cyan, "⚡️ กด Ctrl+Shift+X"},
              {"hello", C::cyan, "🌐 สลับตามแป้นพิมพ์ (้ำสสน → hello)"}};
    case FeatureDemo::confirmSuggestion:
      return {{"uหำพ", C::white, "🔍 user — พิมพ์ผิดภาษา?"},
              {"uหำพ", C::green, "⚡️ กด Ctrl+Shift+O"},
              {"user", C::green, "✅ ยืนยันแล้ว"}};
    case FeatureDemo::whitelist:
      return {{"user ✅", C::green, "แปลงคำแล้ว"},
              {"user ✅", C::blue, "⚡️ กด Ctrl+Shift+A"},
              {"uหำพ", C::blue, "📚 เพิ่มเข้าคลังคำศัพท์แล้ว"}};
  }
  return {};
}

std::vector<double> FeatureDemoInfo::stepDelays(const std::vector<DemoStep>& script) {
  std::vector<double> delays;
  for (size_t i = 0; i < script.size(); ++i) {
    const bool typing = i + 1 < script.size() && script[i].color == DemoColor::white &&
                        script[i + 1].color == DemoColor::white;
    if (typing)
      delays.push_back(0.18);
    else if (script[i].caption.find("กำลัง") != std::string::npos || script[i].caption.find("กด ") != std::string::npos)
      delays.push_back(0.6);
    else
      delays.push_back(0.5);
  }
  return delays;
}

}  // namespace tessa
