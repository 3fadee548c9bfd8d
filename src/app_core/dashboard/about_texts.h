#pragma once
// The About page's credit lines (AboutModel::creditLines).
//
// [design] The system's fixed wording, shown as written in every application
// language (the credits list is not translated). Change a text only when the
// design changes, and keep the tests that pin it.

namespace tessa::about_texts {

// The credits, as written in every language.
inline constexpr const char* kCreditLines[] = {
    "• **LibreOffice Dictionaries**: th_TH, lo_LA, ru_RU, uk_UA, bg_BG, sr, be_BY, mn_MN, el_GR, he_IL "
    "(LGPL / MPL / GPL / BSD)",
    "• **PyThaiNLP**: words_th.txt (CC0 1.0 Universal)",
    "• **SCOWL / en_US Hunspell**: words_en.txt (Copyright 2000-2018 Kevin Atkinson and the SCOWL "
    "contributors) — การใช้และเผยแพร่เป็นไปตามเงื่อนไขในเอกสารของ SCOWL",
    "• **Google Language Resources**: lo_spellcheck_dict.txt (Apache License 2.0)",
    "• **LaoNLP & Wiktionary**: wiktionary-20210720.txt (CC-BY-SA 3.0)",
    "• **Hspell**: he_IL morphological dataset (AGPLv3 / GPLv2)",
    "• **Community Contributors**: Macedonian (community volunteers), Kazakh (community volunteers), "
    "Tajik (community volunteers), Yiddish (community volunteers)",
};

}  // namespace tessa::about_texts
