// Forced into every file of the fuzzing build when clang is older than 15:
// libstdc++ offers std::source_location only with __builtin_source_location,
// which clang 14 lacks, while its __builtin_FILE and friends do the same job.
// Never part of the normal build.
#pragma once
#if defined(__clang__) && !__has_builtin(__builtin_source_location)
#include <cstdint>
namespace std {
struct source_location {
  static constexpr source_location current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           uint_least32_t line = __builtin_LINE(),
                                           uint_least32_t column = __builtin_COLUMN()) noexcept {
    source_location here;
    here.file_ = file;
    here.function_ = function;
    here.line_ = line;
    here.column_ = column;
    return here;
  }
  constexpr source_location() noexcept = default;
  constexpr const char* file_name() const noexcept { return file_; }
  constexpr const char* function_name() const noexcept { return function_; }
  constexpr uint_least32_t line() const noexcept { return line_; }
  constexpr uint_least32_t column() const noexcept { return column_; }

 private:
  const char* file_ = "";
  const char* function_ = "";
  uint_least32_t line_ = 0;
  uint_least32_t column_ = 0;
};
}  // namespace std
#endif
