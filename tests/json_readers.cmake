# Checks that every JSON document the program reads goes through the one
# bounded reader (src/base/json_reading.h, parseJsonWithin): nlohmann's own
# entry points accept a document nested deeply enough to overflow the stack
# in whatever copies, compares or writes it next.
# Run by ctest as `cmake -DSOURCE_DIR=... -P json_readers.cmake`.
set(failures "")  # one line each, appended as text: a line may hold ";"
file(GLOB_RECURSE files ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/tools/*.h ${SOURCE_DIR}/tools/*.cpp)
list(FILTER files EXCLUDE REGEX "/src/base/json_reading\\.cpp$")
foreach(file ${files})
  file(STRINGS ${file} lines REGEX "json::parse|json::accept|::from_(cbor|msgpack|bson|ubjson|bjdata)|json::sax_parse|>> *[a-zA-Z_]*[jJ]son[ ;)]")
  foreach(line ${lines})
    file(RELATIVE_PATH rel ${SOURCE_DIR} ${file})
    string(STRIP "${line}" line)
    string(APPEND failures "\n  ${rel}: ${line}")
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "JSON read past the bounded reader (use parseJsonWithin):${failures}")
endif()
