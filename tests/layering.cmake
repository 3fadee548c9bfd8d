# Checks that each folder under src/ includes only its own layer and the
# layers below it, as the libraries link (CMakeLists.txt):
#   base <- l10n, platform <- hud
#   platform <- dictionaries, typing (also <- l10n), reliability, clipboard
#   dictionaries, typing, reliability, hud <- engine
#   engine, clipboard <- app_core <- ui <- app
# and that the real back ends (src/platform/x11, src/platform/linux) never
# include the simulated desktop (platform/sim), though they share its library,
# and that no window, page, sheet, model or controller of src/ui and
# src/app_core holds the whole engine: only the application delegate names
# KeyboardEngine there; the rest take its narrow views; and that no two
# headers share a file name.
# ICU is included by src/base/unicode.cpp alone: every other file reads
# Unicode through base/unicode.h.
# Run by ctest as `cmake -DSOURCE_DIR=... -P layering.cmake`.
cmake_policy(SET CMP0057 NEW)
set(allowed_base base)
set(allowed_l10n base l10n)
set(allowed_platform base platform)
set(allowed_hud base platform l10n hud)
set(allowed_dictionaries base platform dictionaries)
set(allowed_typing base platform l10n typing)
set(allowed_reliability base platform reliability)
set(allowed_clipboard base platform clipboard)
set(allowed_engine base platform l10n hud dictionaries typing reliability engine)
set(allowed_app_core ${allowed_engine} clipboard app_core)
set(allowed_ui ${allowed_app_core} ui)
set(allowed_app ${allowed_ui} app)

set(layers base l10n platform hud dictionaries typing reliability clipboard engine app_core ui app)
set(failures "")
foreach(folder ${layers})
  set(allowed ${allowed_${folder}})
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"[a-z_0-9]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([a-z_0-9]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST allowed)
        file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
        list(APPEND failures "${rel}: ${line} (src/${folder} may include only: ${allowed})")
      endif()
    endforeach()
  endforeach()
endforeach()
# The real back ends stand on their own: what they share with the simulated
# desktop lives in src/platform/ itself.
foreach(folder platform/x11 platform/linux)
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"platform/sim/")
    foreach(line ${includes})
      file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
      list(APPEND failures "${rel}: ${line} (src/${folder} is a real back end: it may not include platform/sim)")
    endforeach()
  endforeach()
endforeach()
# One home for Unicode: no file of src/ or tools/ but base/unicode.cpp
# includes ICU.
file(GLOB_RECURSE files ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp)
foreach(file ${files})
  file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
  if(rel STREQUAL "src/base/unicode.cpp")
    continue()
  endif()
  file(STRINGS ${file} icu REGEX "^#include <unicode/" LIMIT_COUNT 1)
  if(icu)
    list(APPEND failures "${rel}: ${icu} (only src/base/unicode.cpp includes ICU: use base/unicode.h)")
  endif()
endforeach()
# The pages and models take the engine's narrow views (src/engine/engine_views.h
# and the headers it gathers); the application delegate, which makes the
# engine, is the one file there that holds it.
foreach(folder ui app_core)
  file(GLOB_RECURSE files ${SOURCE_DIR}/src/${folder}/*.h ${SOURCE_DIR}/src/${folder}/*.cpp)
  foreach(file ${files})
    get_filename_component(name ${file} NAME_WE)
    if(name STREQUAL "app_delegate")
      continue()
    endif()
    file(STRINGS ${file} named REGEX "KeyboardEngine" LIMIT_COUNT 1)
    if(named)
      file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
      list(APPEND failures
           "${rel} names KeyboardEngine (in src/${folder} only the application delegate holds it: take its views)")
    endif()
  endforeach()
endforeach()
# No two headers share a file name, so a name met in a log, a diff or an
# include says which file it is.
file(GLOB_RECURSE headers ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tests/*.h
     ${SOURCE_DIR}/bench/*.h ${SOURCE_DIR}/fuzz/*.h)
list(FILTER headers EXCLUDE REGEX "/tests/layering_wrong_way/")
foreach(file ${headers})
  get_filename_component(name ${file} NAME)
  file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
  string(MAKE_C_IDENTIFIER "header_${name}" key)
  if(DEFINED ${key})
    list(APPEND failures "${rel} has the file name of ${${key}}: name one for what it holds")
  else()
    set(${key} ${rel})
  endif()
endforeach()
if(failures)
  list(JOIN failures "\n" message)
  message(FATAL_ERROR "Includes across layers:\n${message}")
endif()
message(STATUS "layering: every include stays within its layer or below, only base/unicode.cpp includes ICU, only the delegate holds the engine, and no two headers share a name")
