# Writes a C++ source file that holds the bytes of a file, so that a program
# carries one copy of it that the build keeps in step with the file.
#
#   cmake -DINPUT=file -DOUTPUT=source.cpp -DHEADER=header.h -DNAMESPACE=ns -DFUNCTION=Name -P EmbedFile.cmake
#
# The source defines `std::string_view ns::Name()`, declared in HEADER, which
# answers the file's bytes exactly. OUTPUT is rewritten only when its text
# changes.
foreach(variable INPUT OUTPUT HEADER NAMESPACE FUNCTION)
  if(NOT DEFINED ${variable} OR "${${variable}}" STREQUAL "")
    message(FATAL_ERROR "EmbedFile.cmake: ${variable} is not given")
  endif()
endforeach()
if(NOT EXISTS "${INPUT}")
  message(FATAL_ERROR "EmbedFile.cmake: can't read ${INPUT}")
endif()

file(READ "${INPUT}" bytes HEX)
file(SIZE "${INPUT}" size)
# Sixteen bytes a line, each as 0xNN.
string(REPEAT "[0-9a-f]" 32 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
get_filename_component(input_name "${INPUT}" NAME)

file(WRITE "${OUTPUT}.tmp"
"// Generated from ${input_name} by EmbedFile.cmake; edit ${input_name} instead.
#include \"${HEADER}\"

namespace ${NAMESPACE} {

namespace {
// The file's ${size} bytes, and a terminator that is not part of them.
constexpr unsigned char kBytes[] = {
    ${bytes}0x00};
}  // namespace

std::string_view ${FUNCTION}() {
  return std::string_view(reinterpret_cast<const char*>(kBytes), sizeof kBytes - 1);
}

}  // namespace ${NAMESPACE}
")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
